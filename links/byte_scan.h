// Word-at-a-time byte search for the parser's hot loops: pages are mostly
// prose, and looking at eight bytes per step keeps parsing well above the
// speed at which pages arrive.
#pragma once

#include <cstdint>
#include <cstring>

namespace kestrix {

inline constexpr uint64_t kOnes = 0x0101010101010101ull;
inline constexpr uint64_t kHighs = 0x8080808080808080ull;

inline uint64_t LoadWord(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// High bit set in the lanes of `word` that equal `byte`. The lowest set bit
// is always exact; lanes above a match may be flagged falsely, so callers
// take only the first flag or treat a flag as "look closer".
inline uint64_t MatchByte(uint64_t word, unsigned char byte) {
  const uint64_t x = word ^ (kOnes * byte);
  return (x - kOnes) & ~x & kHighs;
}

// Index of the first lane flagged in a non-zero mask (little-endian lanes).
inline std::size_t FirstLane(uint64_t mask) {
  return static_cast<std::size_t>(__builtin_ctzll(mask)) / 8;
}

}  // namespace kestrix
