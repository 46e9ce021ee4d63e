#include "core/dot_segments.h"

#include <gtest/gtest.h>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The "path" and "url" rows of tests/fixtures/core/urls.txt.
TEST(DotSegments, OnlyThePathLosesItsDots) {
  const auto paths = test::ReadRows("core/urls.txt", "path");
  const auto urls = test::ReadRows("core/urls.txt", "url");
  ASSERT_GE(paths.size() + urls.size(), 14u);
  for (const auto& r : paths) EXPECT_EQ(RemoveDotSegments(r[0]), r[1]) << r[0];
  for (const auto& r : urls) EXPECT_EQ(WithoutDotSegments(r[0]), r[1]) << r[0];
}

}  // namespace
}  // namespace kestrix
