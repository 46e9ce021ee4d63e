// Containment and prefix tests without regard to ASCII letter case, as link
// analysis makes them on URLs.
#pragma once

#include <string>
#include <string_view>

#include "links/text_util.h"

namespace kestrix {

inline bool ContainsNoCase(std::string_view text, std::string_view part) {
  return AsciiLower(text).find(AsciiLower(part)) != std::string::npos;
}

inline bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         AsciiLower(text.substr(0, prefix.size())) == AsciiLower(prefix);
}

}  // namespace kestrix
