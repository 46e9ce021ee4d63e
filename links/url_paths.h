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
// page's URL names one; `dir` is the page's directory ending in "/".
std::string ResolveUrl(std::string_view link, std::string_view proto, std::string_view host,
                       std::string_view dir);

// True when `name` holds none of the characters invalid in a folder part.
bool IsValidDirName(std::string_view name);

// Removes every "amp;", so that "&amp;" written in a page becomes "&".
std::string RemoveAmp(std::string_view text);

}  // namespace kestrix
