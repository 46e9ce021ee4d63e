#include "core/url_split.h"

#include <gtest/gtest.h>

#include "core/job_url.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

TEST(SplitUrl, CutsIntoSixParts) {
  const auto rows = test::ReadRows("core/urls.txt", "split");
  ASSERT_GE(rows.size(), 13u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 7u) << r[0];
    EXPECT_EQ(SplitUrl(r[0]), (TUrlParts{r[1], r[2], r[3], r[4], r[5], r[6]})) << r[0];
  }
}

TEST(LastPosOf, FindsRightmostOneBased) {
  EXPECT_EQ(LastPosOf(":", "a:b:c"), 4u);
  EXPECT_EQ(LastPosOf("ab", "abcab"), 4u);
  EXPECT_EQ(LastPosOf("@", "abc"), 0u);
  EXPECT_EQ(LastPosOf("", "abc"), 0u);
  EXPECT_EQ(LastPosOf("abcd", "abc"), 0u);
}

// The "job" rows of tests/fixtures/core/urls.txt.
TEST(JobUrl, StoredAndStartingForms) {
  const auto rows = test::ReadRows("core/urls.txt", "job");
  ASSERT_GE(rows.size(), 5u);
  for (const auto& r : rows) {
    EXPECT_EQ(NormaliseJobUrl(r[0]), r[1]) << r[0];
    EXPECT_EQ(StartingUrl(r[0]), r[2]) << r[0];
  }
}

}  // namespace
}  // namespace kestrix
