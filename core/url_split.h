// Taking URLs apart. Pure text functions with no tie to the socket layer, so
// link analysis can use them without pulling in networking.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrix {

struct TUrlParts {
  std::string Proto;
  std::string User;
  std::string Pass;
  std::string Host;
  std::string Port;
  std::string Path;

  bool operator==(const TUrlParts&) const = default;
};

// Cuts a URL into protocol, user, password, host, port and path. Odd inputs
// are cut exactly the same way every time: a bare name is taken for a host,
// "//h/x" has an empty host and the path "/h/x".
TUrlParts SplitUrl(std::string_view url);

// The directory part of a URL or path, up to and including its last "/"
// (looking no further than the first "?"); "/" when there is none.
std::string_view UrlDirView(std::string_view url);
inline std::string GetUrlDir(std::string_view url) {
  return std::string(UrlDirView(url));
}

// The last segment with its query or fragment: "http://h/d/p.cgi?a=1/2" gives
// "p.cgi?a=1/2". An empty URL gives "Error!!!".
std::string_view UrlFileNameView(std::string_view url);
inline std::string GetUrlFileName(std::string_view url) {
  return std::string(UrlFileNameView(url));
}

// 1-based position of the rightmost occurrence of `sub` in `s`; 0 when absent.
std::size_t LastPosOf(std::string_view sub, std::string_view s);

}  // namespace kestrix
