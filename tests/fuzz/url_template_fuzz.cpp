// Any template: expansion must end, and its output must stay within limits.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "links/url_template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const std::string templ(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> out;
  kestrix::ExpandUrlTemplate(templ, out);
  std::size_t bytes = 0;
  for (const std::string& url : out) bytes += url.size();
  if (out.size() > kestrix::kMaxTemplateUrls || bytes > kestrix::kMaxTemplateBytes) std::abort();
  return 0;
}
