#include "core/byte_size.h"

#include <gtest/gtest.h>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/core/byte_sizes.txt.
TEST(ByteSize, ReadsWhatUsersTypeAndFormatsForMessages) {
  const auto rows = test::ReadRows("core/byte_sizes.txt");
  ASSERT_GE(rows.size(), 35u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 3u) << r[0];
    if (r[0] == "read") {
      const std::optional<int64_t> bytes = ParseByteSize(r[1]);
      EXPECT_EQ(bytes ? std::to_string(*bytes) : "-", r[2]) << "'" << r[1] << "'";
    } else {
      EXPECT_EQ(FormatByteSize(std::stoll(r[1])), r[2]) << r[1];
    }
  }
}

}  // namespace
}  // namespace kestrix
