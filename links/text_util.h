// Small byte-string helpers shared by link analysis. Case folding is ASCII
// only: pages are bytes in their own code page and are never re-encoded.
#pragma once

#include <string>
#include <string_view>

#include "core/ascii.h"

namespace kestrix {

// Trims bytes up to and including the space from both ends: spaces and
// control characters.
std::string_view TrimControls(std::string_view s);

// True when `hay` contains `needle` with `needle` given in upper case.
bool ContainsUpper(std::string_view hay, std::string_view upperNeedle);

}  // namespace kestrix
