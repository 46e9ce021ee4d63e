// Dates in reply headers read the lenient way browsers read a cookie's
// Expires: the fields may come in any order and with any separators, so the
// forms servers really send (IMF-fixdate, the old two-digit-year form,
// asctime, and many near misses) all give the same instant.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrix {

// Seconds since 1970-01-01 00:00:00 UTC. The text is cut into runs of
// letters, digits and ":"; the first run shaped as hh:mm:ss gives the time,
// the first of one or two digits the day, the first starting with a month's
// three letters the month, the first of two to four digits the year (70-99
// meaning 19xx, 0-69 meaning 20xx). Nothing when a part is missing or the
// date does not exist, or the year is before 1601.
std::optional<int64_t> ParseHeaderDate(std::string_view text);

// Seconds since 1970 of a date and time of the proleptic Gregorian calendar
// (no validation).
int64_t UnixSecondsOf(int year, int month, int day, int hour, int minute, int second);

}  // namespace kestrix
