// Any style sheet: the scanner must not crash, and every reference it lists
// must lie where it says, as rewriting splices there.
#include <string>
#include <vector>

#include "core/ascii.h"
#include "links/css_links.h"
#include "tests/fuzz/fuzz_entry.h"

KESTRIX_FUZZ_TARGET(64 * 1024, input) {
  std::vector<std::string> lines = fuzz::Lines(input);

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
}
