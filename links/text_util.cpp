#include "links/text_util.h"

namespace kestrix {

std::string_view TrimControls(std::string_view s) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool ContainsUpper(std::string_view hay, std::string_view upperNeedle) {
  if (upperNeedle.empty()) return true;
  if (hay.size() < upperNeedle.size()) return false;
  const std::size_t last = hay.size() - upperNeedle.size();
  for (std::size_t i = 0; i <= last; ++i) {
    std::size_t k = 0;
    while (k < upperNeedle.size() && AsciiUpper(hay[i + k]) == upperNeedle[k]) ++k;
    if (k == upperNeedle.size()) return true;
  }
  return false;
}

}  // namespace kestrix
