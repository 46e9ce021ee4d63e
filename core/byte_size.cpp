#include "core/byte_size.h"

#include <limits>

#include "core/ascii.h"

namespace kestrix {
namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The multiplier a unit text names, or 0 when it names none.
int64_t UnitFactor(std::string_view unit) {
  if (unit.empty() || EqualsNoCase(unit, "b")) return 1;
  static constexpr std::string_view kPrefixes = "KMGT";
  const size_t power = kPrefixes.find(AsciiUpper(unit.front()));
  if (power == std::string_view::npos) return 0;
  const std::string_view rest = unit.substr(1);
  if (!rest.empty() && !EqualsNoCase(rest, "b") && !EqualsNoCase(rest, "ib")) return 0;
  return int64_t{1} << (10 * (power + 1));
}

}  // namespace

std::optional<int64_t> ParseByteSize(std::string_view text) {
  text = Trim(text);
  size_t i = 0;
  int64_t whole = 0;
  while (i < text.size() && IsDigit(text[i])) {
    const int digit = text[i] - '0';
    if (whole > (kMax - digit) / 10) return std::nullopt;
    whole = whole * 10 + digit;
    ++i;
  }
  if (i == 0) return std::nullopt;
  int64_t fraction = 0, scale = 1;
  if (i < text.size() && text[i] == '.') {
    ++i;
    const size_t first = i;
    while (i < text.size() && IsDigit(text[i]) && i - first < 3) {
      fraction = fraction * 10 + (text[i] - '0');
      scale *= 10;
      ++i;
    }
    if (i == first || (i < text.size() && IsDigit(text[i]))) return std::nullopt;
  }
  const int64_t factor = UnitFactor(Trim(text.substr(i)));
  if (factor == 0 || whole > kMax / factor) return std::nullopt;
  // fraction < 1000 and factor <= 2^40, so this cannot overflow.
  const int64_t part = fraction * factor / scale;
  if (whole * factor > kMax - part) return std::nullopt;
  return whole * factor + part;
}

std::string FormatByteSize(int64_t bytes) {
  static constexpr const char* kNames[] = {"B", "KB", "MB", "GB", "TB"};
  if (bytes < 0) bytes = 0;
  int unit = 0;
  int64_t factor = 1;
  while (unit < 4 && bytes >= factor * 1024) {
    factor *= 1024;
    ++unit;
  }
  // Tenths of the unit, rounded; a value that rounds up to 1024 of a unit is
  // one of the next.
  int64_t tenths = bytes / factor * 10 + ((bytes % factor) * 10 + factor / 2) / factor;
  if (tenths >= 10240 && unit < 4) {
    factor *= 1024;
    ++unit;
    tenths = bytes / factor * 10 + ((bytes % factor) * 10 + factor / 2) / factor;
  }
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10 != 0) text += "." + std::to_string(tenths % 10);
  return text + " " + kNames[unit];
}

}  // namespace kestrix
