// Any style sheet: the scanner must not crash, and every reference it lists
// must lie where it says, as rewriting splices there.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ascii.h"
#include "links/css_links.h"

namespace {

constexpr std::size_t kMaxInput = 64 * 1024;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > kMaxInput) return 0;
  using namespace kestrix;
  const std::string sheet(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = sheet.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(sheet.substr(start, nl - start));
  }
  lines.push_back(sheet.substr(start));

  const std::vector<TCssRef> refs = FindCssRefs(lines);
  for (std::size_t i = 0; i < refs.size(); ++i) {
    const TCssRef& ref = refs[i];
    Check(ref.Line >= 0 && static_cast<std::size_t>(ref.Line) < lines.size());
    const std::string& line = lines[static_cast<std::size_t>(ref.Line)];
    Check(ref.Pos + ref.Length <= line.size());
    Check(line.compare(ref.Pos, ref.Length, ref.Link) == 0);
    Check(!ref.Link.empty() && ref.Link[0] != '#' && !StartsNoCase(ref.Link, "data:"));
    // In reading order and apart, so that edits from the last stay valid.
    if (i > 0) {
      const TCssRef& prev = refs[i - 1];
      Check(prev.Line < ref.Line || prev.Pos + prev.Length <= ref.Pos);
    }
  }
  return 0;
}
