// Any URL, as found in a page or after resolution against one: its folder
// and file name must stay inside the project folder, hold no separator or
// control character, fit the file system and never repeat.
#include <string>

#include "core/dot_segments.h"
#include "core/used_names.h"
#include "links/local_naming.h"
#include "links/url_paths.h"
#include "tests/fuzz/fuzz_entry.h"

namespace {

using kestrix::fuzz::Check;

constexpr const char* kDownloads = "/dl/";
constexpr const char* kProject = "P";

void CheckStored(const std::string& url, const std::string& mask, bool replicate, bool addHtm,
                 kestrix::UsedNames& used) {
  using namespace kestrix;
  const std::string dir = LocalDir(url, kDownloads, kProject, replicate);
  Check(dir.ends_with('/') && IsInsideProject(dir, kDownloads, kProject));
  for (std::size_t start = 0, end; start < dir.size(); start = end + 1) {
    end = dir.find('/', start);
    Check(end - start <= kMaxNameComponent);
  }
  const std::string first = MakeLocalFileName(url, dir, mask, used, addHtm, "index.html");
  const std::string second = MakeLocalFileName(url, dir, mask, used, addHtm, "index.html");
  for (const std::string& name : {first, second}) {
    Check(!name.empty() && name.size() <= kMaxNameComponent);
    Check(name != "." && name != "..");
    for (char c : name) Check(c != '/' && static_cast<unsigned char>(c) >= 32 && c != 127);
    Check(IsInsideProject(dir + name, kDownloads, kProject));
  }
  Check(first != second);
}

}  // namespace

KESTRIX_FUZZ_TARGET(4096, input) {
  if (input.empty()) return;
  // The first byte holds the options; a NUL byte, if any, ends the mask.
  const bool replicate = input[0] & 1;
  const bool addHtm = input[0] & 2;
  std::string text(input.substr(1));
  std::string mask;
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos && (input[0] & 4)) {
    mask = text.substr(nul + 1);
    text.resize(nul);
  }
  kestrix::UsedNames used;
  CheckStored(text, mask, replicate, addHtm, used);
  const std::string resolved = kestrix::ResolveUrl(text, "http", "h", "/a/b/");
  // A resolved URL has no dot segment left.
  Check(kestrix::WithoutDotSegments(resolved) == resolved);
  CheckStored(resolved, mask, replicate, addHtm, used);
}
