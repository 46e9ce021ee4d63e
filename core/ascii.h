// Case folding and case-blind tests on byte strings. ASCII letters only:
// pages, URLs and settings are bytes in their own code page, never
// re-encoded, and the outcome must not depend on the process locale.
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

// The blanks of HTML and CSS text: space, tab, line breaks and form feed.
inline bool IsHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

inline void AsciiLowerInPlace(std::string& s) {
  for (char& c : s) c = AsciiLowerChar(c);
}

inline std::string AsciiLower(std::string_view s) {
  std::string out(s);
  AsciiLowerInPlace(out);
  return out;
}

inline std::string AsciiUpperString(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i])) return false;
  }
  return true;
}

inline bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

inline bool ContainsNoCase(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  if (part.size() > text.size()) return false;
  const char first = AsciiLowerChar(part.front());
  const std::string_view rest = part.substr(1);
  const std::size_t last = text.size() - part.size();
  for (std::size_t i = 0; i <= last; ++i) {
    if (AsciiLowerChar(text[i]) == first && EqualsNoCase(text.substr(i + 1, rest.size()), rest)) {
      return true;
    }
  }
  return false;
}

}  // namespace kestrix
