#include "tests/support/local_link.h"

#include <cctype>

namespace kestrix::test {

std::string LinkToPath(const std::string& link) {
  const std::string text = link.substr(0, link.find('#'));
  std::string path;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      path += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += text[i];
    }
  }
  return path;
}

}  // namespace kestrix::test
