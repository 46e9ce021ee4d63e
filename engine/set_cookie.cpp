#include "engine/set_cookie.h"

#include <limits>

#include "core/ascii.h"
#include "engine/header_date.h"

namespace kestrix {
namespace {

constexpr size_t kMaxAttributeValue = 1024;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// "-"? DIGIT+; a value too large to hold is taken as the largest there is.
std::optional<int64_t> ParseMaxAge(std::string_view value) {
  const bool negative = !value.empty() && value.front() == '-';
  if (negative) value.remove_prefix(1);
  if (value.empty()) return std::nullopt;
  int64_t number = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    if (number < std::numeric_limits<int64_t>::max() / 10) number = number * 10 + (c - '0');
  }
  return negative ? -number : number;
}

void ApplyAttribute(TSetCookie& cookie, std::string_view name, std::string_view value) {
  if (value.size() > kMaxAttributeValue) return;
  if (EqualsNoCase(name, "expires")) {
    if (const std::optional<int64_t> when = ParseHeaderDate(value)) cookie.Expires = when;
  } else if (EqualsNoCase(name, "max-age")) {
    if (const std::optional<int64_t> delta = ParseMaxAge(value)) cookie.MaxAge = delta;
  } else if (EqualsNoCase(name, "domain")) {
    if (value.empty()) return;
    if (value.front() == '.') value.remove_prefix(1);
    cookie.Domain = AsciiLower(value);
  } else if (EqualsNoCase(name, "path")) {
    const bool usable = !value.empty() && value.front() == '/' && !HasCookieControlBytes(value);
    cookie.Path = usable ? std::string(value) : std::string();
  } else if (EqualsNoCase(name, "secure")) {
    cookie.Secure = true;
  } else if (EqualsNoCase(name, "httponly")) {
    cookie.HttpOnly = true;
  }
}

}  // namespace

bool HasCookieControlBytes(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

std::optional<TSetCookie> ParseSetCookie(std::string_view header) {
  const size_t semicolon = header.find(';');
  const std::string_view pair = header.substr(0, semicolon);
  const size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  TSetCookie cookie;
  cookie.Name = TrimBlanks(pair.substr(0, equals));
  cookie.Value = TrimBlanks(pair.substr(equals + 1));
  if (cookie.Name.empty() || HasCookieControlBytes(cookie.Name) ||
      HasCookieControlBytes(cookie.Value)) {
    return std::nullopt;
  }
  std::string_view rest =
      semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
  while (!rest.empty()) {
    const size_t end = rest.find(';');
    const std::string_view attribute = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const size_t split = attribute.find('=');
    const std::string_view name = TrimBlanks(attribute.substr(0, split));
    const std::string_view value = split == std::string_view::npos
                                       ? std::string_view()
                                       : TrimBlanks(attribute.substr(split + 1));
    ApplyAttribute(cookie, name, value);
  }
  return cookie;
}

}  // namespace kestrix
