// Any page: the parser must not crash, and what it lists must hang together.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "links/html_parser.h"

namespace {

constexpr std::size_t kMaxInput = 64 * 1024;

void Check(bool ok) {
  if (!ok) std::abort();
}

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2 || size > kMaxInput) return 0;
  using namespace kestrix;
  // The first two bytes choose the kept kinds; the rest is the page.
  const auto kept = static_cast<uint16_t>((data[0] | (data[1] << 8)) & 0x1FF);
  const std::string page(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = page.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(page.substr(start, nl - start));
  }
  lines.push_back(page.substr(start));

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
  return 0;
}
