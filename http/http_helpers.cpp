#include "http/http_helpers.h"

#include <cctype>
#include <limits>

#include "core/ascii.h"

namespace kestrix {

std::string EncodeBase64(std::string_view data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(data[i]) << 16 |
                 static_cast<unsigned char>(data[i + 1]) << 8 |
                 static_cast<unsigned char>(data[i + 2]);
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += kAlphabet[v >> 6 & 63];
    out += kAlphabet[v & 63];
  }
  if (std::size_t rest = data.size() - i) {
    unsigned v = static_cast<unsigned char>(data[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(data[i + 1]) << 8;
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string EncodeRequestTarget(std::string_view target) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(target.size());
  for (char c : target) {
    auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool IsSafeHostName(std::string_view host) {
  for (char c : host) {
    auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F) return false;
  }
  return true;
}

bool IsSafeHeaderValue(std::string_view value) {
  for (char c : value) {
    auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && b != '\t') || b == 0x7F) return false;
  }
  return true;
}

bool IsFollowableLocation(std::string_view value) {
  if (value.empty() || value.front() == '/') return true;
  if (std::size_t sep = value.find("://"); sep != std::string_view::npos) {
    const std::string scheme = AsciiLower(value.substr(0, sep));
    return scheme == "http" || scheme == "https";
  }
  if (StartsNoCase(value, "http:")) return true;
  std::size_t colon = value.find(':');
  if (colon == std::string_view::npos || colon == 0) return true;
  std::string_view scheme = value.substr(0, colon);
  if (scheme.find_first_of("/?#") != std::string_view::npos) return true;
  if (!std::isalpha(static_cast<unsigned char>(scheme[0]))) return true;
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return true;
    }
  }
  // "name:81/x" is a host with a port, which the relocation rules accept;
  // anything else before a colon is a scheme of its own.
  std::string_view rest = value.substr(colon + 1);
  std::string_view port = rest.substr(0, rest.find('/'));
  return !port.empty() && port.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<std::int64_t> ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    if (value > (std::numeric_limits<std::int64_t>::max() - 9) / 10) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace kestrix
