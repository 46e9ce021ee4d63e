// Reading the Last-Modified date of a reply into the date form the queue
// keeps (days since 1899-12-30, the fraction being the time of day).
#pragma once

#include <string_view>

namespace kestrix {

// Parses "Sat, 29 Oct 1994 19:43:31 GMT" and its relatives: the text is cut
// at blanks, ",", "-" and ":", the first part (the weekday) is skipped, then
// come day, month name, year, hour, minute and second; later parts are
// ignored. Missing parts stay day 1, month 1, year 0, time 0. Any failure (a
// part that is no number, an unknown month, an impossible date) gives 0.
double ParseHttpDate(std::string_view text);

// Days since 1899-12-30 for a valid date and time, or 0 when it is not one.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace kestrix
