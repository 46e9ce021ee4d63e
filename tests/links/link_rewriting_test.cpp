#include "links/link_rewriting.h"

#include <gtest/gtest.h>

#include "links/html_items.h"

namespace kestrix {
namespace {

THTMLTag TagOn(int32_t start, int32_t end) {
  THTMLTag tag;
  tag.StartLine = start;
  tag.EndLine = end;
  return tag;
}

TEST(FindLinkTextTest, DoubleQuotesThenSingleThenEquals) {
  const std::vector<std::string> lines = {"<a x='p.html' y=\"q\"", " z=p.html href=\"p.html\">"};
  const auto place = FindLinkText(lines, TagOn(0, 1), "p.html");
  ASSERT_TRUE(place);
  EXPECT_EQ(place->Line, 1);
  EXPECT_EQ(place->Pos, 16u);
  const auto single = FindLinkText({"<a x='p.html' z=p.html>"}, TagOn(0, 0), "p.html");
  ASSERT_TRUE(single);
  EXPECT_EQ(single->Pos, 6u);
  const auto bare = FindLinkText({"<a z=p.html>"}, TagOn(0, 0), "p.html");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->Pos, 5u);
  EXPECT_FALSE(FindLinkText({"<a href=\"p.html\">"}, TagOn(1, 1), "p.html"));
}

}  // namespace
}  // namespace kestrix
