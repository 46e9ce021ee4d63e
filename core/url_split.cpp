#include "core/url_split.h"

#include "core/ascii.h"

namespace kestrix {

std::size_t LastPosOf(std::string_view sub, std::string_view s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  const std::size_t pos = s.rfind(sub);
  return pos == std::string_view::npos ? 0 : pos + 1;
}

std::string_view UrlDirView(std::string_view url) {
  if (url.empty()) return "/";
  const std::size_t query = url.find('?');
  const std::string_view s = query == std::string_view::npos ? url : url.substr(0, query + 1);
  const std::size_t slash = s.rfind('/');
  if (slash == std::string_view::npos) return "/";
  return s.substr(0, slash + 1);
}

std::string_view UrlFileNameView(std::string_view url) {
  if (url.empty()) return "Error!!!";
  const std::size_t mark = url.find_first_of("#?");
  const std::size_t end = mark == std::string_view::npos ? url.size() : mark;
  const std::size_t slash = url.substr(0, end).rfind('/');
  return slash == std::string_view::npos ? url : url.substr(slash + 1);
}

TUrlParts SplitUrl(std::string_view url) {
  TUrlParts parts;
  if (url.empty()) return parts;

  std::string_view rest;
  if (const std::size_t sep = url.find("://"); sep != std::string_view::npos) {
    parts.Proto = url.substr(0, sep);
    rest = url.substr(sep + 3);
  } else if (url.front() == '/') {
    parts.Proto = "http";
    if (url.size() >= 2 && url[1] != '/') {
      parts.Path = url;
      return parts;
    }
    rest = url.substr(1);
  } else if (StartsNoCase(url, "http:")) {
    parts.Proto = "http";
    if (url.size() > 6 && url[6] != '/') {
      parts.Path = url.substr(5);
      return parts;
    }
    rest = url.size() > 6 ? url.substr(6) : std::string_view{};
  } else if (StartsNoCase(url, "mailto:")) {
    parts.Proto = "mailto";
    rest = url.substr(url.find(':') + 1);
  } else {
    rest = url;
  }

  std::string_view authority = rest;
  if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
    parts.Path = rest.substr(slash);
    authority = rest.substr(0, slash);
  }

  const std::size_t colon = LastPosOf(":", authority);
  const std::size_t at = LastPosOf("@", authority);
  if (colon == 0 && at == 0) {
    parts.Host = authority;
    return parts;
  }
  if (colon > at) {
    parts.Port = authority.substr(colon);
    parts.Host = authority.substr(at, colon - 1 - at);
    if (at == 0) return parts;
  } else {
    parts.Host = authority.substr(at);
  }
  const std::string_view user = authority.substr(0, at - 1);
  if (const std::size_t c = user.find(':'); c != std::string_view::npos) {
    parts.User = user.substr(0, c);
    parts.Pass = user.substr(c + 1);
  } else {
    parts.User = user;
  }
  return parts;
}

}  // namespace kestrix
