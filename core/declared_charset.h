// The character set a page declares for itself in a meta tag, for showing
// its texts (link texts, URLs) without mojibake.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// The charset named by the first <meta charset=...> or <meta ...
// content="...; charset=..."> in the page's head (its first 4 KiB), in lower
// case; empty when the page names none.
std::string DeclaredCharset(std::string_view page);
// The charset of a saved page's texts: Windows-1251 once the page was
// converted from KOI8-R (its declaration still names KOI8-R then), else
// what the page declares.
std::string SavedPageCharset(std::string_view page, bool koi8Converted);

}  // namespace kestrix
