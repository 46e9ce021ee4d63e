#include "links/percent_decode.h"

namespace kestrix {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecodeName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c != '%') {
      out.push_back(c);
    } else if (i + 1 < name.size() && name[i + 1] == '%') {
      out.push_back('%');
      ++i;
    } else if (i + 2 < name.size() && HexValue(name[i + 1]) >= 0 && HexValue(name[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(name[i + 1]) * 16 + HexValue(name[i + 2])));
      i += 2;
    } else {
      out.push_back('%');
    }
  }
  return out;
}

}  // namespace kestrix
