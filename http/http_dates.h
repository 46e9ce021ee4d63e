// Dates in HTTP header fields, and the client's date type: days since
// 1899-12-30, the fraction being the time of day, always taken as GMT.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

// A date-time as "Mon, 05 Dec 2005 13:22:03"; milliseconds are dropped.
std::string FormatHttpDate(double dateTime);

// The three forms a server may send: "Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT" and "Sun Nov  6 08:49:37 1994". The
// weekday is not checked; anything else, or an impossible date, gives
// nullopt.
std::optional<double> HttpDateValue(std::string_view text);

// The current time in the client's date type.
double DateTimeNow();

// How many seconds a "Retry-After:" value asks to wait: a count of
// seconds, or a date taken against `now` (the reply's own "Date:" when it
// has one, so that the two clocks need not agree); a date already past is 0.
// nullopt when the value is neither.
std::optional<std::int64_t> RetryAfterSeconds(std::string_view value, double now);

}  // namespace kestrix
