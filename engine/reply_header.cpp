#include "engine/reply_header.h"

#include <cctype>
#include <string_view>

#include "core/ascii.h"
#include "core/url_split.h"
#include "engine/http_date.h"
#include "links/url_paths.h"

namespace kestrix {
namespace {

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

std::size_t LastReplyStart(const std::vector<std::string>& header) {
  for (std::size_t i = header.size(); i > 0; --i) {
    if (StartsNoCase(header[i - 1], "http/")) return i - 1;
  }
  return 0;
}

std::string RelocationTarget(const std::vector<std::string>& header,
                             const std::string& clientLocation, const std::string& fromUrl) {
  std::string target;
  bool found = false;
  for (std::size_t i = LastReplyStart(header); i < header.size() && !found; ++i) {
    // "Content-Location:" names the body, not where to go.
    if (StartsNoCase(header[i], "location:")) {
      target = Trim(std::string_view(header[i]).substr(9));
      found = true;
    }
  }
  if (target.empty()) return clientLocation;
  const std::string lower = AsciiLower(target);
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
    const std::size_t at = AsciiLower(header[i]).find("last-modified:");
    if (at == std::string::npos) continue;
    // A date before 1899-12-30 ("Mon, 1 Jan 0001") is no file's date; kept,
    // it would be sent back as a condition no server can read.
    const double date = ParseHttpDate(std::string_view(header[i]).substr(at + 14));
    return date > 0 ? date : 0;
  }
  return std::nullopt;
}

std::string HeaderValue(const std::vector<std::string>& header, std::string_view name) {
  const std::string prefix = AsciiLower(name) + ":";
  for (std::size_t i = LastReplyStart(header); i < header.size(); ++i) {
    if (StartsNoCase(header[i], prefix)) {
      return Trim(std::string_view(header[i]).substr(prefix.size()));
    }
  }
  return {};
}

bool IsHtmlType(const std::string& contentType) {
  const std::string type = AsciiLower(contentType);
  return type.find("htm") != std::string::npos || type.find("text") != std::string::npos;
}

}  // namespace kestrix
