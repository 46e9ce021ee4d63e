#include "tests/fuzz/fuzz_entry.h"

#include <cstdint>
#include <cstdlib>

namespace kestrix::fuzz {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1)
    lines.emplace_back(text.substr(start, nl - start));
  lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace kestrix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kestrix::fuzz::kMaxInput) return 0;
  kestrix::fuzz::FuzzOne({reinterpret_cast<const char*>(data), size});
  return 0;
}
