#include "core/byte_size.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(ByteSize, ReadsWhatUsersType) {
  constexpr int64_t K = 1024, M = K * K, G = M * K;
  const struct {
    const char* text;
    std::optional<int64_t> bytes;
  } cases[] = {
      {"500", 500},
      {"0", 0},
      {"500K", 500 * K},
      {"500k", 500 * K},
      {"20M", 20 * M},
      {"20mb", 20 * M},
      {" 2 GB ", 2 * G},
      {"2GiB", 2 * G},
      {"1T", G * K},
      {"1.5M", M + M / 2},
      {"0.001K", 1},
      {"12B", 12},
      {"8191P", std::nullopt},
      {"", std::nullopt},
      {"K", std::nullopt},
      {"-5", std::nullopt},
      {"+5", std::nullopt},
      {"5 K B", std::nullopt},
      {"5KK", std::nullopt},
      {"5x", std::nullopt},
      {"1.", std::nullopt},
      {".5K", std::nullopt},
      {"1.2345K", std::nullopt},
      {"1,5M", std::nullopt},
      {"9223372036854775807", INT64_MAX},
      {"9223372036854775808", std::nullopt},
      {"8388608T", std::nullopt},  // 2^63 bytes
      {"8388607.999T", 8388607 * G * K + 999 * G * K / 1000},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseByteSize(c.text), c.bytes) << "'" << c.text << "'";
}

TEST(ByteSize, FormatsForMessages) {
  const struct {
    int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 B"},
      {1023, "1023 B"},
      {1024, "1 KB"},
      {1536, "1.5 KB"},
      {20 << 20, "20 MB"},
      {(1 << 20) - 1, "1 MB"},  // 1023.999 KB rounds up into the next unit
      {int64_t{2} << 30, "2 GB"},
      {int64_t{3} << 40, "3 TB"},
      {int64_t{5000} << 40, "5000 TB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace kestrix
