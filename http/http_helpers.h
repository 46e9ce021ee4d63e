// Text helpers of the HTTP client: dates and Base64 for request headers, the
// client's exception, and the guards that keep page data from splitting a
// request.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "http/http_dates.h"

namespace kestrix {

class EHttpException : public std::runtime_error {
 public:
  EHttpException(const std::string& message, std::uint16_t code)
      : std::runtime_error(message), ErrorCode(code) {}
  std::uint16_t ErrorCode;
};

enum : std::uint16_t {
  httperrBusy = 1,         // "HTTP component is busy"
  httperrNoData = 2,       // "HTTP component has nothing to post"
  httperrLineTooLong = 4,  // "HTTP line too long"
  httperrTooManyLines = 5  // "HTTP header has too many lines"
};

// Standard Base64 with "=" padding and no line breaks.
std::string EncodeBase64(std::string_view data);

// Percent-encodes spaces, control characters and DEL, so that nothing taken
// from a page or a reply can end the request line early.
std::string EncodeRequestTarget(std::string_view target);

// False for a host name holding spaces, control characters or DEL.
bool IsSafeHostName(std::string_view host);

// False for a header value holding control characters (other than tab) or
// DEL, which could end its line early.
bool IsSafeHeaderValue(std::string_view value);

// False for a "Location:" value naming another scheme than http or https
// ("file:", "ftp:", "javascript:", "data:", "mailto:" ...).
bool IsFollowableLocation(std::string_view value);

// A whole decimal integer with an optional sign, as the header fields carry
// them; nullopt for anything else.
std::optional<std::int64_t> ParseDecimal(std::string_view text);

}  // namespace kestrix
