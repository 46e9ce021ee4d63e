#include "engine/page_type.h"

#include "core/ascii.h"

namespace kestrix {

bool IsHtmlType(const std::string& contentType) {
  const std::string type = AsciiLower(contentType);
  return type.find("htm") != std::string::npos || type.find("text") != std::string::npos;
}

}  // namespace kestrix
