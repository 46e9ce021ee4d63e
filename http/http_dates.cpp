#include "http/http_dates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/ascii.h"

namespace kestrix {
namespace {

constexpr std::int64_t kUnixEpochDay = 25569;  // 1970-01-01 in days since 1899-12-30
// A wait longer than a year is no request to come back, and must not overflow.
constexpr std::int64_t kLongestWait = 366LL * 86400;

// Civil date of a count of days since 1970-01-01.
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// Days since 1970-01-01 of a civil date.
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yoe = year - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool IsLeap(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int MonthOf(std::string_view name) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  for (int m = 0; m < 12; ++m) {
    if (EqualsNoCase(name, kMonths[m])) return m + 1;
  }
  return 0;
}

std::optional<int> Number(std::string_view text, std::size_t minDigits, std::size_t maxDigits) {
  if (text.size() < minDigits || text.size() > maxDigits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string_view> Words(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t from = text.find_first_not_of(separators, at);
    if (from == std::string_view::npos) break;
    std::size_t to = text.find_first_of(separators, from);
    if (to == std::string_view::npos) to = text.size();
    words.push_back(text.substr(from, to - from));
    at = to;
  }
  return words;
}

std::optional<double> Compose(std::optional<int> year, int month, std::optional<int> day,
                              std::string_view time) {
  const std::vector<std::string_view> hms = Words(time, ":");
  if (!year || !day || month == 0 || hms.size() != 3) return std::nullopt;
  const auto h = Number(hms[0], 2, 2), m = Number(hms[1], 2, 2), s = Number(hms[2], 2, 2);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int monthDays = month == 2 && IsLeap(*year) ? 29 : kDays[month - 1];
  // A leap second (":60") is read as the last second of its minute.
  if (!h || !m || !s || *h > 23 || *m > 59 || *s > 60 || *day < 1 || *day > monthDays) {
    return std::nullopt;
  }
  const double days = static_cast<double>(DaysFromCivil(*year, month, *day) + kUnixEpochDay);
  return days + (*h * 3600.0 + *m * 60.0 + std::min(*s, 59)) / 86400.0;
}

}  // namespace

std::string FormatHttpDate(double dateTime) {
  constexpr std::int64_t kMsPerDay = 86400000;
  std::int64_t days = static_cast<std::int64_t>(std::trunc(dateTime));
  std::int64_t ms = std::llround(std::fabs(dateTime - static_cast<double>(days)) * kMsPerDay);
  if (ms >= kMsPerDay) {  // rounding reached midnight: it is the next day
    ++days;
    ms -= kMsPerDay;
  }
  int year = 0, month = 0, day = 0;
  CivilFromDays(days - kUnixEpochDay, year, month, day);
  // Day value 2 is Monday, 1900-01-01.
  std::int64_t weekday = ((days - 2) % 7 + 7) % 7;
  static const char kDays[] = "MonTueWedThuFriSatSun";
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  std::int64_t seconds = ms / 1000;
  char text[64];
  std::snprintf(text, sizeof text, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d", kDays + weekday * 3,
                day, kMonths + (month - 1) * 3, year, static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

std::optional<double> HttpDateValue(std::string_view text) {
  const std::vector<std::string_view> w = Words(text, " \t");
  if (w.size() == 4 && w[0].back() == ',' && w[3] == "GMT") {  // RFC 850
    const std::vector<std::string_view> dmy = Words(w[1], "-");
    if (dmy.size() != 3) return std::nullopt;
    std::optional<int> year = Number(dmy[2], 2, 2);
    if (year) *year += *year < 70 ? 2000 : 1900;
    return Compose(year, MonthOf(dmy[1]), Number(dmy[0], 2, 2), w[2]);
  }
  if (w.size() == 6 && w[0].back() == ',' && w[5] == "GMT") {  // the usual form
    return Compose(Number(w[3], 4, 4), MonthOf(w[2]), Number(w[1], 1, 2), w[4]);
  }
  if (w.size() == 5) {  // the C library's asctime()
    return Compose(Number(w[4], 4, 4), MonthOf(w[1]), Number(w[2], 1, 2), w[3]);
  }
  return std::nullopt;
}

double DateTimeNow() {
  return static_cast<double>(std::time(nullptr)) / 86400.0 + kUnixEpochDay;
}

std::optional<std::int64_t> RetryAfterSeconds(std::string_view value, double now) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (!value.empty() && value.find_first_not_of("0123456789") == std::string_view::npos) {
    std::int64_t seconds = 0;
    for (char c : value) {
      seconds = std::min(seconds * 10 + (c - '0'), kLongestWait);
    }
    return seconds;
  }
  const std::optional<double> date = HttpDateValue(value);
  if (!date) return std::nullopt;
  const double seconds = std::round((*date - now) * 86400.0);
  return static_cast<std::int64_t>(std::clamp(seconds, 0.0, static_cast<double>(kLongestWait)));
}

}  // namespace kestrix
