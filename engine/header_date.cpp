#include "engine/header_date.h"

#include <string>
#include <vector>

#include "core/ascii.h"

namespace kestrix {
namespace {

bool IsDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads 1..max digits at `at`; the digits must not be followed by another
// digit. Moves `at` past them.
bool ReadNumber(std::string_view token, size_t& at, size_t min, size_t max, int& value) {
  const size_t start = at;
  value = 0;
  while (at < token.size() && IsDigit(token[at]) && at - start < max) {
    value = value * 10 + (token[at] - '0');
    ++at;
  }
  const size_t count = at - start;
  return count >= min && (at == token.size() || !IsDigit(token[at]));
}

bool ReadTime(std::string_view token, int& hour, int& minute, int& second) {
  size_t at = 0;
  return ReadNumber(token, at, 1, 2, hour) && at < token.size() && token[at++] == ':' &&
         ReadNumber(token, at, 1, 2, minute) && at < token.size() && token[at++] == ':' &&
         ReadNumber(token, at, 1, 2, second);
}

int MonthOf(std::string_view token) {
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  for (int m = 0; m < 12; ++m) {
    if (StartsNoCase(token, kMonths[m])) return m + 1;
  }
  return 0;
}

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

int64_t UnixSecondsOf(int year, int month, int day, int hour, int minute, int second) {
  // Days from 1970-01-01 of a civil date, counting years from March so that
  // the leap day falls at the end of the counted year.
  const int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<int64_t> ParseHeaderDate(std::string_view text) {
  bool haveTime = false, haveDay = false, haveMonth = false, haveYear = false;
  int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsDelimiter(static_cast<unsigned char>(text[i]))) ++i;
    const size_t start = i;
    while (i < text.size() && !IsDelimiter(static_cast<unsigned char>(text[i]))) ++i;
    const std::string_view token = text.substr(start, i - start);
    if (token.empty()) continue;
    size_t at = 0;
    int h = 0, m = 0, s = 0;
    if (!haveTime && ReadTime(token, h, m, s)) {
      haveTime = true;
      hour = h, minute = m, second = s;
    } else if (!haveDay && ReadNumber(token, at, 1, 2, day)) {
      haveDay = true;
    } else if (!haveMonth && (month = MonthOf(token)) != 0) {
      haveMonth = true;
    } else if (at = 0; !haveYear && ReadNumber(token, at, 2, 4, year)) {
      haveYear = true;
    }
  }
  if (!haveTime || !haveDay || !haveMonth || !haveYear) return std::nullopt;
  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (year < 1601 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  return UnixSecondsOf(year, month, day, hour, minute, second);
}

}  // namespace kestrix
