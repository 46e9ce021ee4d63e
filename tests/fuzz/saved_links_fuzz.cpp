// Any saved page, sheet or script: the names its scripts give must be
// plain file names, the local links read back must be resolved paths, and
// editing them again must keep the page's lines.
#include <string>
#include <vector>

#include "core/dot_segments.h"
#include "links/relink.h"
#include "links/script_files.h"
#include "tests/fuzz/fuzz_entry.h"

KESTRIX_FUZZ_TARGET(64 * 1024, input) {
  if (input.empty()) return;
  const bool styleSheet = input[0] & 1;
  const std::string text(input.substr(1));
  for (const std::string& name : FindScriptNamedFiles(text, kMaxFilesPerScript)) {
    Check(!name.empty() && name.size() <= kMaxScriptFileName);
    for (const char c : name) Check(static_cast<unsigned char>(c) > ' ');
  }

  std::vector<std::string> lines = fuzz::Lines(text);
  TRelinks relinks;
  bool toUrl = true;
  for (const std::string& path : LocalLinksOf(lines, "/dl/P/h/a/p.htm", styleSheet)) {
    Check(path.starts_with("/") && RemoveDotSegments(path) == path);
    relinks[path] =
        toUrl ? TRelink{"http://h/x?a=\"'&b=(1) 2", ""} : TRelink{"", "/dl/P/h/b/n x(1).htm"};
    toUrl = !toUrl;
  }
  const std::size_t count = lines.size();
  RelinkPage(lines, "/dl/P/h/a/p.htm", styleSheet, relinks);
  Check(lines.size() == count);
}
