// Any page: the parser must not crash, and what it lists must hang together.
#include <cstdint>
#include <string>
#include <vector>

#include "links/html_parser.h"
#include "tests/fuzz/fuzz_entry.h"

namespace {

using kestrix::fuzz::Check;

// Tag marks and tabs never reach a collected text; a text without
// references comes out with line feeds, tabs and space runs folded.
void CheckText(const kestrix::THTMLText& text) {
  Check(text.RawText.find_first_of("<>\t") == std::string::npos);
  if (text.RawText.find('&') == std::string::npos) {
    Check(text.Text.find_first_of("\n\t") == std::string::npos);
    Check(text.Text.find("  ") == std::string::npos);
  }
}

}  // namespace

KESTRIX_FUZZ_TARGET(64 * 1024, input) {
  if (input.size() < 2) return;
  // The first two bytes choose the kept kinds; the rest is the page.
  const auto* data = reinterpret_cast<const unsigned char*>(input.data());
  const auto kept = static_cast<uint16_t>((data[0] | (data[1] << 8)) & 0x1FF);
  std::vector<std::string> lines = fuzz::Lines(input.substr(2));

  static THTMLParser parser;  // one parser for every page, as in the program
  parser.Clear();
  parser.KeptKinds = kept;
  parser.Lines = &lines;
  parser.Parse();

  const auto lineCount = static_cast<int32_t>(lines.size());
  int32_t texts = 0;
  for (const THTMLItem& item : parser.Items) {
    if (const THTMLTag* tag = AsTag(item)) {
      Check(tag->Kind != kKindNone && tag->Name.front() != '/');
      Check(0 <= tag->StartLine && tag->StartLine <= tag->EndLine && tag->EndLine < lineCount);
      for (const THTMLTag* p = tag->Parent; p; p = p->Parent) Check(p->Kind != kKindNone);
      Check(tag->RawText.find_first_of("<>\t") == std::string::npos);
      if (tag->Text) CheckText(*tag->Text);
    } else {
      const THTMLText* text = AsText(item);
      Check(text != nullptr && text->Index == texts++);
      CheckText(*text);
      Check(0 <= text->StartLine && text->EndLine < lineCount);
    }
  }
  Check(parser.TextCount() == texts);
}
