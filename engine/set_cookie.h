// One Set-Cookie header value taken apart the way browsers read it: a
// name=value pair, then attributes separated by ";". Nothing here knows the
// request or the time; the jar decides what the cookie means for both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

struct TSetCookie {
  std::string Name;
  std::string Value;
  std::optional<int64_t> Expires;  // seconds since 1970, from a readable Expires
  std::optional<int64_t> MaxAge;   // seconds from now; 0 or less asks for deletion
  std::string Domain;              // lower case, without a leading "."; empty when not given
  std::string Path;                // empty when not given or not starting with "/"
  bool Secure = false;
  bool HttpOnly = false;
};

// Nothing when the header carries no usable cookie: no "=" in its first
// part, an empty name, or a name or value holding control characters
// (which could never be sent back in a header or kept in a cookies file).
// Unknown attributes, SameSite among them, and attribute values longer than
// 1024 bytes are ignored; the last of a repeated attribute wins.
std::optional<TSetCookie> ParseSetCookie(std::string_view header);

// Whether the text holds a byte that has no place in a header field or in
// a line of a cookies file, whose fields TABs separate: a control byte (TAB
// included) or DEL.
bool HasCookieControlBytes(std::string_view text);

}  // namespace kestrix
