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

// The stored form (empty without a host) and the form a job starts from.
TEST(JobUrl, StoredAndStartingForms) {
  const struct {
    const char* in;
    const char* stored;
    const char* starting;
  } cases[] = {
      {"example.org", "http://example.org/", "http://example.org/"},
      {"http://user:pw@example.org:8080/a b.html?x=1", "http://example.org:8080/a b.html?x=1",
       "http://example.org:8080/a%20b.html?x=1"},
      {"ftp://files.example.org/pub/", "ftp://files.example.org/pub/",
       "ftp://files.example.org/pub/"},
      {"", "", "http:///"},
      {"http:///nohost", "", "http:///nohost"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NormaliseJobUrl(c.in), c.stored) << c.in;
    EXPECT_EQ(StartingUrl(c.in), c.starting) << c.in;
  }
}

}  // namespace
}  // namespace kestrix
