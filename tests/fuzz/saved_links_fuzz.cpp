// Any saved page, sheet or script: the names its scripts give must be
// plain file names, the local links read back must be resolved paths, and
// editing them again must keep the page's lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/dot_segments.h"
#include "links/relink.h"
#include "links/script_files.h"

namespace {

constexpr std::size_t kMaxInput = 64 * 1024;

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1 || size > kMaxInput) return 0;
  using namespace kestrix;
  const bool styleSheet = data[0] & 1;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  for (const std::string& name : FindScriptNamedFiles(text, kMaxFilesPerScript)) {
    Check(!name.empty() && name.size() <= kMaxScriptFileName);
    for (const char c : name) Check(static_cast<unsigned char>(c) > ' ');
  }

  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  lines.push_back(text.substr(start));
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
  return 0;
}
