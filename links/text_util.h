// Small byte-string helpers shared by link analysis. Case folding is ASCII
// only: pages are bytes in their own code page and are never re-encoded.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

inline char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
inline char AsciiLowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

std::string AsciiLower(std::string_view s);
std::string AsciiUpperString(std::string_view s);

// Trims bytes up to and including the space from both ends: spaces and
// control characters.
std::string_view TrimControls(std::string_view s);

// True when `hay` contains `needle` with `needle` given in upper case.
bool ContainsUpper(std::string_view hay, std::string_view upperNeedle);

}  // namespace kestrix
