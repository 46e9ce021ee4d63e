// Small text helpers for link analysis, where containment and prefix tests
// ignore ASCII letter case and pages are bytes that are never re-encoded.
#pragma once

#include <string>
#include <string_view>

namespace kestrix {

inline char FoldChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldChar(c);
  return out;
}

inline bool ContainsNoCase(std::string_view text, std::string_view part) {
  return Lower(text).find(Lower(part)) != std::string::npos;
}

inline bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == Lower(prefix);
}

// Without the spaces and control characters at both ends.
inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

}  // namespace kestrix
