#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/links/html_text.txt.
TEST(DecodeHtmlText, ReferencesAndWhiteSpace) {
  const auto rows = test::ReadRows("links/html_text.txt");
  ASSERT_GE(rows.size(), 30u);
  for (const auto& row : rows) EXPECT_EQ(DecodeHtmlText(row[0]), row[1]) << row[0];
}

}  // namespace
}  // namespace kestrix
