#include "engine/http_date.h"

#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "core/ascii.h"

namespace kestrix {
namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == ',' || c == '-' || c == ':';
}

std::vector<std::string_view> SplitParts(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    if (i > start) parts.push_back(text.substr(start, i - start));
  }
  return parts;
}

bool ToInt(std::string_view part, int& value) {
  const char* first = part.data();
  const char* last = part.data() + part.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && first != last;
}

// The month is looked for as a piece of the twelve names written one after
// the other, so that its position tells the month.
int MonthOf(std::string_view part) {
  static constexpr std::string_view kMonths = "janfebmaraprmayjunjulaugsepoctnovdec";
  const std::string lower = AsciiLower(part);
  const size_t found = kMonths.find(lower);
  if (found == std::string_view::npos) return 0;
  return static_cast<int>(found + 1 + 2) / 3;
}

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 0001-01-01 (proleptic Gregorian) to the given date.
long DaysFromYearOne(int year, int month, int day) {
  const long y = year - 1;
  long days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

}  // namespace

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return 0;
  if (day < 1 || day > DaysInMonth(year, month)) return 0;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return 0;
  static const long kEpoch = DaysFromYearOne(1899, 12, 30);
  const double days = static_cast<double>(DaysFromYearOne(year, month, day) - kEpoch);
  const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before the epoch the fraction counts forward from the negative whole day.
  return days >= 0 ? days + time : days - time;
}

double ParseHttpDate(std::string_view text) {
  const std::vector<std::string_view> parts = SplitParts(text);
  int day = 1, month = 1, year = 0, hour = 0, minute = 0, second = 0;
  int* const numbers[] = {&day, nullptr, &year, &hour, &minute, &second};
  for (size_t i = 1; i < parts.size() && i <= 6; ++i) {
    if (i == 2) {
      month = MonthOf(parts[i]);
      if (month == 0) return 0;
    } else if (!ToInt(parts[i], *numbers[i - 1])) {
      return 0;
    }
  }
  return EncodeDateTime(year, month, day, hour, minute, second);
}

}  // namespace kestrix
