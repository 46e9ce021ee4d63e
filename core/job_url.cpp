#include "core/job_url.h"

#include "core/url_split.h"

namespace kestrix {
namespace {

std::string JoinedForm(const TUrlParts& parts) {
  std::string url = (parts.Proto.empty() ? std::string("http") : parts.Proto) + "://" + parts.Host;
  if (!parts.Port.empty()) url += ":" + parts.Port;
  url += parts.Path.empty() ? std::string("/") : parts.Path;
  return url;
}

}  // namespace

std::string NormaliseJobUrl(std::string_view url) {
  const TUrlParts parts = SplitUrl(url);
  return parts.Host.empty() ? std::string() : JoinedForm(parts);
}

std::string StartingUrl(std::string_view jobUrl) {
  return BlanksEscaped(JoinedForm(SplitUrl(jobUrl)));
}

std::string BlanksEscaped(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (const char c : url) {
    if (c == ' ') {
      out += "%20";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kestrix
