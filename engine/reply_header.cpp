#include "engine/reply_header.h"

#include <cctype>
#include <string_view>

#include "core/url_split.h"
#include "engine/http_date.h"
#include "links/url_paths.h"

namespace kestrix {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  return text.size() >= lowerPrefix.size() &&
         Lower(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

std::size_t LastReplyStart(const std::vector<std::string>& header) {
  for (std::size_t i = header.size(); i > 0; --i) {
    if (StartsWithNoCase(header[i - 1], "http/")) return i - 1;
  }
  return 0;
}

std::string RelocationTarget(const std::vector<std::string>& header,
                             const std::string& clientLocation, const std::string& fromUrl) {
  std::string target;
  bool found = false;
  for (std::size_t i = LastReplyStart(header); i < header.size() && !found; ++i) {
    // "Content-Location:" names the body, not where to go.
    if (StartsWithNoCase(header[i], "location:")) {
      target = Trim(std::string_view(header[i]).substr(9));
      found = true;
    }
  }
  if (target.empty()) return clientLocation;
  const std::string lower = Lower(target);
  if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0 ||
      lower.rfind("ftp://", 0) == 0) {
    return target;
  }
  // The client's absolute form of a relative value leaves out the port.
  const TUrlParts from = SplitUrl(fromUrl);
  return ResolveUrl(target, from.Proto.empty() ? "http" : from.Proto,
                    from.Port.empty() ? from.Host : from.Host + ":" + from.Port,
                    UrlDirWithSlash(fromUrl));
}

std::optional<double> LastModifiedOf(const std::vector<std::string>& header) {
  for (std::size_t i = LastReplyStart(header); i < header.size(); ++i) {
    const std::size_t at = Lower(header[i]).find("last-modified:");
    if (at != std::string::npos) return ParseHttpDate(std::string_view(header[i]).substr(at + 14));
  }
  return std::nullopt;
}

std::string HeaderValue(const std::vector<std::string>& header, std::string_view name) {
  const std::string prefix = Lower(name) + ":";
  for (std::size_t i = LastReplyStart(header); i < header.size(); ++i) {
    if (StartsWithNoCase(header[i], prefix)) {
      return Trim(std::string_view(header[i]).substr(prefix.size()));
    }
  }
  return {};
}

bool IsHtmlType(const std::string& contentType) {
  const std::string type = Lower(contentType);
  return type.find("htm") != std::string::npos || type.find("text") != std::string::npos;
}

}  // namespace kestrix
