// What every fuzz target shares: the entry drops inputs over the target's
// cap and hands the rest on as text; a failed check aborts, so that the
// fuzzer keeps the input that broke it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::fuzz {

// Each target defines these two with KESTRIX_FUZZ_TARGET below: the
// largest input it takes, and its run on one input.
extern const std::size_t kMaxInput;
void FuzzOne(std::string_view input);

void Check(bool ok);

// The text cut at each line feed, as the program holds a page: a text
// ending in one has an empty last line.
std::vector<std::string> Lines(std::string_view text);

}  // namespace kestrix::fuzz

#define KESTRIX_FUZZ_TARGET(maxInput, input)               \
  const std::size_t kestrix::fuzz::kMaxInput = (maxInput); \
  void kestrix::fuzz::FuzzOne(std::string_view input)
