#include "links/content_names.h"

#include <gtest/gtest.h>

#include "core/used_names.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/links/content_names.txt.
TEST(ContentNames, ExpectedPagesAndTheExtensionTheReplyGives) {
  const auto pages = test::ReadRows("links/content_names.txt", "page");
  ASSERT_GE(pages.size(), 20u);
  for (const auto& r : pages) EXPECT_EQ(IsExpectedPageName(r[0]), r[1] == "1") << r[0];
  const auto contents = test::ReadRows("links/content_names.txt", "content");
  ASSERT_GE(contents.size(), 16u);
  for (const auto& r : contents)
    EXPECT_EQ(NameForContent(r[0], r[1], r[2], r[3] == "1"), r[4]) << r[1] << " " << r[2];
}

TEST(ContentNames, ARenamedFileStaysUnique) {
  UsedNames used;
  used.Add("/dl/P/logo");
  used.Add("/dl/P/logo.png");
  EXPECT_EQ(RenameForContent("http://h/logo", "/dl/P/", "logo", "image/png", true, used),
            "logo1.png");
  EXPECT_TRUE(used.Contains("/dl/P/logo1.png"));
  EXPECT_EQ(RenameForContent("http://h/a.png", "/dl/P/", "a.png", "image/png", true, used),
            "a.png");
  EXPECT_EQ(used.size(), 3u);
}

}  // namespace
}  // namespace kestrix
