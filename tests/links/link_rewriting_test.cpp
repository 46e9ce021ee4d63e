#include "links/link_rewriting.h"

#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/links/analysis_fixture.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/links/link_places.txt.
TEST(FindLinkTextTest, DoubleQuotesThenSingleThenEquals) {
  const auto rows = test::ReadRows("links/link_places.txt");
  ASSERT_GE(rows.size(), 4u);
  for (const auto& r : rows) {
    THTMLTag tag;
    tag.StartLine = std::stoi(r[1]);
    tag.EndLine = std::stoi(r[2]);
    const auto place = FindLinkText(testing::SplitLines(r[0]), tag, "p.html");
    EXPECT_EQ(place ? std::to_string(place->Line) + " " + std::to_string(place->Pos) : "-", r[3])
        << r[0];
  }
}

}  // namespace
}  // namespace kestrix
