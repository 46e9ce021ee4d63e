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

TEST(UrlTemplate, ExpandsEveryGroupInOrder) {
  const struct {
    const char* templ;
    Urls want;
  } cases[] = {
      {"http://h/p<1-3>.html", {"http://h/p1.html", "http://h/p2.html", "http://h/p3.html"}},
      {"http://h/<a,c>/<2-1>", {"http://h/a/2", "http://h/a/1", "http://h/c/2", "http://h/c/1"}},
      {"http://h/x<z-x,a>.gif",
       {"http://h/xz.gif", "http://h/xy.gif", "http://h/xx.gif", "http://h/xa.gif"}},
      {"<08-10>", {"8", "9", "10"}},
      {"<1, 5>", {"1", "5"}},
      {"<ab>", {"b"}},   // in a run of letters the last counts
      {"<a-Z>", {"a"}},  // another letter class ends no range
      {"<\xC0-\xC2>", {"\xC0", "\xC1", "\xC2"}},
      {"<-5>", {"5"}},    // only an upper end, closed by ">"
      {"<-5,1>", {"1"}},  // ... ended by ","
      {"<7->", {"7"}},
      {"<1<2>", {"12"}},                     // "<" inside a group is ignored
      {"<1-3>x<5>", {"1x5", "2x5", "3x5"}},  // each group starts afresh
      {"<1*2,3>", {"2", "3"}},               // other characters clear the item
      {"a,b-c<1>", {"a,b-c1"}},
      // No group, or a malformed one: nothing.
      {"http://h/plain.html", {}},
      {"http://h/<1-2", {}},
      {"http://h/1-2>", {}},
      {"http://h/<>/x", {}},
      {"<1><>", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.templ), c.want) << c.templ;
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
