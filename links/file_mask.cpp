#include "links/file_mask.h"

#include <cstddef>

namespace kestrix {

namespace {

constexpr int kMaxWildcards = 30;

char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Whether the set starting at pattern[open] (a "[") takes `c`; `close` is the
// index of its "]".
bool SetTakes(std::string_view pattern, size_t open, size_t close, char c) {
  size_t i = open + 1;
  bool negated = false;
  if (i < close && pattern[i] == '!') {
    negated = true;
    ++i;
  }
  const char folded = Fold(c);
  bool listed = false;
  while (i < close) {
    if (i + 2 < close && pattern[i + 1] == '-') {
      const char lo = Fold(pattern[i]);
      const char hi = Fold(pattern[i + 2]);
      if (folded >= lo && folded <= hi) listed = true;
      i += 3;
    } else {
      if (Fold(pattern[i]) == folded) listed = true;
      ++i;
    }
  }
  return listed != negated;
}

// One step of the pattern: how many pattern characters it takes and whether
// it is taken by `c`. Not used for "*".
bool StepTakes(std::string_view pattern, size_t p, char c, size_t& width) {
  if (pattern[p] == '?') {
    width = 1;
    return true;
  }
  if (pattern[p] == '[') {
    const size_t close = pattern.find(']', p + 1);
    width = close - p + 1;
    return SetTakes(pattern, p, close, c);
  }
  width = 1;
  return Fold(pattern[p]) == Fold(c);
}

}  // namespace

std::optional<std::string> MaskError(std::string_view pattern) {
  int wildcards = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '*' && c != '?' && c != '[') continue;
    if (++wildcards > kMaxWildcards) {
      return "'" + std::string(pattern) + "' is an invalid mask at (" + std::to_string(i + 1) + ")";
    }
    if (c == '[') {
      const size_t close = pattern.find(']', i + 1);
      if (close == std::string_view::npos) {
        return "'" + std::string(pattern) + "' is an invalid mask at (" + std::to_string(i + 1) +
               ")";
      }
      i = close;
    }
  }
  return std::nullopt;
}

bool MatchesMask(std::string_view text, std::string_view pattern) {
  if (auto error = MaskError(pattern)) throw TMaskError(*error);
  // Greedy scan that returns to the last "*" on a mismatch: a later "*" makes
  // every earlier choice final, so one saved position is enough.
  size_t t = 0;
  size_t p = 0;
  size_t starP = std::string_view::npos;
  size_t starT = 0;
  while (t < text.size()) {
    size_t width = 1;
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && StepTakes(pattern, p, text[t], width)) {
      p += width;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace kestrix
