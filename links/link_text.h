// A link as written in a page and as the program uses it: its scheme, the
// URL its character references stand for, and the form in which a local
// path is written back so that a browser reaches the file.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// The scheme a link starts with ("https" of "https://h/"; letters, digits,
// "+", "-" and "." before a ":" that comes ahead of any "/", "?" or "#"), as
// written; empty when the link has none.
std::string_view LinkScheme(std::string_view link);

// Whether the link names its server itself: it has a scheme, or it starts
// with "//" and takes the page's scheme.
bool IsAbsoluteLink(std::string_view link);

// Whether the program fetches links of this scheme: http, https and ftp.
bool IsFetchableScheme(std::string_view scheme);

// The URL an attribute value stands for: "&amp;", "&lt;", "&gt;", "&quot;",
// "&apos;" and numeric references to ASCII characters are decoded, anything
// else stays as written.
std::string DecodeLinkEntities(std::string_view value);

// A link value as a browser reads it: blanks and control characters
// around it are stripped, and tabs and line breaks inside it removed.
std::string CleanLinkValue(std::string value);

// A local path as written into a saved page: what a browser would decode or
// cut ("%", "#", "?", blanks, quotes, "<", ">", "&", parentheses, "\" and
// bytes outside ASCII)
// is percent-encoded, so "a b.html" on disk is reached by "a%20b.html".
std::string EncodeLocalLink(std::string_view path);

}  // namespace kestrix
