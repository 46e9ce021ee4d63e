// Turning a link as written in a page into an absolute URL, and taking URLs
// apart into directory and file name. Pure text functions.
#pragma once

#include <string>
#include <string_view>

#include "core/url_split.h"  // GetUrlDir, GetUrlFileName

namespace kestrix {

// The directory of the URL's path, ending in "/".
std::string UrlDirWithSlash(std::string_view url);

// Makes a link relative to a page absolute. `host` carries ":port" when the
// page's URL names one; `dir` is the page's directory ending in "/". The
// fragment is dropped and dot segments are removed from the path.
std::string ResolveUrl(std::string_view link, std::string_view proto, std::string_view host,
                       std::string_view dir);

// What a page's links are resolved against: its scheme, host (with ":port"
// when its URL names one), folder (ending in "/") and file name.
struct TLinkBase {
  std::string_view Proto;
  std::string_view Host;
  std::string_view Dir;
  std::string_view File;
};

// The absolute URL a link on the page stands for, without its fragment:
// "//host/x" takes the page's scheme, "?q" names the page's own file, a web
// or ftp URL loses its dot segments, a link of another scheme stays as
// written, anything else is resolved against the page's folder.
std::string AbsoluteUrl(std::string_view link, const TLinkBase& base);

// True when `name` holds none of the characters invalid in a folder part.
bool IsValidDirName(std::string_view name);

// Removes every "amp;", so that "&amp;" written in a page becomes "&".
std::string RemoveAmp(std::string_view text);

}  // namespace kestrix
