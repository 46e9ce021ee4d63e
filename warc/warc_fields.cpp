#include "warc/warc_fields.h"

#include <openssl/rand.h>

#include <ctime>
#include <random>

namespace kestrix {

void TWarcFields::Add(std::string_view name, std::string_view value) {
  // A name is a token: a settings key with a blank or a colon would break
  // the line.
  std::string token(name);
  for (char& c : token) {
    const auto byte = static_cast<unsigned char>(c);
    const bool separator =
        std::string_view("()<>@,;:\\\"/[]?={} \t").find(c) != std::string_view::npos;
    if (byte <= 0x20 || byte >= 0x7F || separator) c = '-';
  }
  std::string clean(value);
  for (char& c : clean) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  fields_.emplace_back(std::move(token), std::move(clean));
}

std::string TWarcFields::Lines() const {
  std::string text;
  for (const auto& [name, value] : fields_) text += name + ": " + value + "\r\n";
  return text;
}

std::string TWarcFields::Text(std::uint64_t contentLength) const {
  return "WARC/1.1\r\n" + Lines() + "Content-Length: " + std::to_string(contentLength) + "\r\n\r\n";
}

std::string NewRecordId() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) {
    // Not expected on Linux; identifiers must still differ.
    static std::random_device device;
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(device());
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = "<urn:uuid:";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text + ">";
}

std::string WarcDate(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string CdxTimestamp(std::string_view warcDate) {
  std::string digits;
  for (char c : warcDate) {
    if (c >= '0' && c <= '9') digits += c;
    if (digits.size() == 14) break;
  }
  return digits;
}

std::string SafeUri(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
        c == '`' || c == '{' || c == '|' || c == '}') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kestrix
