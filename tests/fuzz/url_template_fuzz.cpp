// Any template: expansion must end, and its output must stay within limits.
#include <string>
#include <vector>

#include "links/url_template.h"
#include "tests/fuzz/fuzz_entry.h"

KESTRIX_FUZZ_TARGET(4096, input) {
  const std::string templ(input);
  std::vector<std::string> out;
  ExpandUrlTemplate(templ, out);
  std::size_t bytes = 0;
  for (const std::string& url : out) bytes += url.size();
  Check(out.size() <= kMaxTemplateUrls && bytes <= kMaxTemplateBytes);
}
