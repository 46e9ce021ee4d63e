#include "links/url_template.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

using Urls = std::vector<std::string>;

Urls Expand(const std::string& templ) {
  Urls out;
  ExpandUrlTemplate(templ, out);
  return out;
}

struct TemplateCase {
  const char* templ;
  Urls want;
};

class TemplateTable : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateTable, Expands) {
  EXPECT_EQ(Expand(GetParam().templ), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Series, TemplateTable,
    ::testing::Values(
        TemplateCase{"http://h/p<1-3>.html",
                     {"http://h/p1.html", "http://h/p2.html", "http://h/p3.html"}},
        TemplateCase{"http://h/<a,c>/<2-1>",
                     {"http://h/a/2", "http://h/a/1", "http://h/c/2", "http://h/c/1"}},
        TemplateCase{"http://h/x<z-x,a>.gif",
                     {"http://h/xz.gif", "http://h/xy.gif", "http://h/xx.gif", "http://h/xa.gif"}},
        TemplateCase{"<08-10>", {"8", "9", "10"}}, TemplateCase{"<1, 5>", {"1", "5"}},
        TemplateCase{"<ab>", {"b"}},   // in a run of letters the last counts
        TemplateCase{"<a-Z>", {"a"}},  // another letter class ends no range
        TemplateCase{"<\xC0-\xC2>", {"\xC0", "\xC1", "\xC2"}},
        TemplateCase{"<-5>", {"5"}},    // only an upper end, closed by ">"
        TemplateCase{"<-5,1>", {"1"}},  // ... ended by ","
        TemplateCase{"<7->", {"7"}},
        TemplateCase{"<1<2>", {"12"}},                     // "<" inside a group is ignored
        TemplateCase{"<1-3>x<5>", {"1x5", "2x5", "3x5"}},  // each group starts afresh
        TemplateCase{"<1*2,3>", {"2", "3"}},               // other characters clear the item
        TemplateCase{"a,b-c<1>", {"a,b-c1"}}));

INSTANTIATE_TEST_SUITE_P(Empty, TemplateTable,
                         ::testing::Values(TemplateCase{"http://h/plain.html", {}},
                                           TemplateCase{"http://h/<1-2", {}},
                                           TemplateCase{"http://h/1-2>", {}},
                                           TemplateCase{"http://h/<>/x", {}},
                                           TemplateCase{"<1><>", {}}));

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
