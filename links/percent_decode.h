// Percent decoding of local file names.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

// "%" and two hexadecimal digits give the byte they name, "%%" gives "%",
// "+" gives a space. A malformed sequence is kept literally, so that one odd
// link never stops the analysis of the rest of its page.
std::string PercentDecodeName(std::string_view name);

}  // namespace kestrix
