#include "links/link_text.h"

#include "links/text_util.h"

namespace kestrix {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSchemeChar(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The code of a numeric reference body ("38", "x26"), or -1.
int NumericCode(std::string_view body) {
  const bool hex = !body.empty() && (body[0] == 'x' || body[0] == 'X');
  if (hex) body.remove_prefix(1);
  if (body.empty() || body.size() > 6) return -1;
  int value = 0;
  for (char c : body) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return -1;
    value = value * (hex ? 16 : 10) + digit;
  }
  return value;
}

int NamedCode(std::string_view name) {
  if (name == "amp" || name == "AMP") return '&';
  if (name == "lt" || name == "LT") return '<';
  if (name == "gt" || name == "GT") return '>';
  if (name == "quot" || name == "QUOT") return '"';
  if (name == "apos") return '\'';
  return -1;
}

}  // namespace

std::string_view LinkScheme(std::string_view link) {
  link = TrimControls(link);
  if (link.empty() || !IsAsciiLetter(link.front())) return {};
  for (std::size_t i = 1; i < link.size(); ++i) {
    if (link[i] == ':') return link.substr(0, i);
    if (!IsSchemeChar(link[i])) return {};
  }
  return {};
}

bool IsAbsoluteLink(std::string_view link) {
  link = TrimControls(link);
  return link.starts_with("//") || !LinkScheme(link).empty();
}

bool IsFetchableScheme(std::string_view scheme) {
  return EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https") ||
         EqualsNoCase(scheme, "ftp");
}

std::string DecodeLinkEntities(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    const char c = value[i];
    // Names and numbers of the references decoded here are short; a longer
    // run is no reference and is copied as it stands.
    const std::size_t semi = c == '&' ? value.substr(i, 10).find(';') : std::string_view::npos;
    if (semi == std::string_view::npos || semi < 2) {
      out.push_back(c);
      ++i;
      continue;
    }
    const std::string_view body = value.substr(i + 1, semi - 1);
    const int code = body[0] == '#' ? NumericCode(body.substr(1)) : NamedCode(body);
    if (code <= 0 || code >= 128) {
      out.push_back(c);
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(code));
    i += semi + 1;
  }
  return out;
}

std::string CleanLinkValue(std::string value) {
  const std::string_view kept = TrimControls(value);
  if (kept.size() != value.size()) value = std::string(kept);
  std::erase_if(value, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
  return value;
}

std::string EncodeLocalLink(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte >= 127 ||
        std::string_view("%#?\"'<>&()\\").find(c) != std::string_view::npos) {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace kestrix
