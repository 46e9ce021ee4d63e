#include "links/url_template.h"

#include <gtest/gtest.h>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

using Urls = std::vector<std::string>;

Urls Expand(const std::string& templ) {
  Urls out;
  ExpandUrlTemplate(templ, out);
  return out;
}

// The rows of tests/fixtures/links/url_templates.txt.
TEST(UrlTemplate, ExpandsEveryGroupInOrder) {
  const auto rows = test::ReadRows("links/url_templates.txt");
  ASSERT_GE(rows.size(), 20u);
  for (const auto& row : rows)
    EXPECT_EQ(Expand(row[0]), Urls(row.begin() + 1, row.end())) << row[0];
}

TEST(UrlTemplate, AppendsToTheListAndEmptiesItWhenMalformed) {
  Urls out = {"kept"};
  ExpandUrlTemplate("<1-2>", out);
  EXPECT_EQ(out, (Urls{"kept", "1", "2"}));
  ExpandUrlTemplate("<1-2", out);
  EXPECT_TRUE(out.empty());
}

TEST(UrlTemplate, HugeSeriesAreMalformedInsteadOfExhaustingMemory) {
  EXPECT_EQ(Expand("<1-100000>").size(), kMaxTemplateUrls);
  EXPECT_TRUE(Expand("<1-100001>").empty());
  EXPECT_TRUE(Expand("<1-99999><1-99999>").empty());
  EXPECT_TRUE(Expand("<1-400><1-400>").empty());  // 160000 combinations
  EXPECT_TRUE(Expand("<99999999999999999>").empty());
  // 1000 URLs of 100 KB each would be 100 MB of text.
  EXPECT_TRUE(Expand(std::string(100000, 'x') + "<1-1000>").empty());
  EXPECT_EQ(Expand("<1-100><1-1000>").size(), 100000u);
}

TEST(UrlTemplate, ManyGroupsDoNotExhaustTheStack) {
  std::string templ;
  for (int i = 0; i < 50000; ++i) templ += "<1>";
  const Urls out = Expand(templ);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], std::string(50000, '1'));
}

}  // namespace
}  // namespace kestrix
