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

}  // namespace kestrix
