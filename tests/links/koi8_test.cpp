#include "links/koi8.h"

#include <gtest/gtest.h>

#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

std::string Decode(std::string s) {
  DecodeKoi8(s.data(), s.size());
  return s;
}

// The rows of tests/fixtures/links/koi8.txt.
TEST(Koi8, ConvertsLettersAndLookAlikes) {
  const auto rows = test::ReadRows("links/koi8.txt");
  ASSERT_GE(rows.size(), 5u);
  for (const auto& r : rows) EXPECT_EQ(Decode(r[0]), r[1]) << r[0];
}

TEST(Koi8File, ConvertsInPlaceKeepingTheSizeAndReportsWhatCannotBeOpened) {
  test::TScratchDir dir;
  test::WriteFile(dir / "page.html", "<p>\xF0\xD2\xC9\xD7\xC5\xD4</p>\n");
  ASSERT_TRUE(DecodeKoi8File(dir / "page.html"));
  EXPECT_EQ(test::ReadWholeFile(dir / "page.html"), "<p>\xCF\xF0\xE8\xE2\xE5\xF2</p>\n");
  test::WriteFile(dir / "empty.html", "");
  EXPECT_TRUE(DecodeKoi8File(dir / "empty.html"));
  EXPECT_EQ(test::ReadWholeFile(dir / "empty.html"), "");
  EXPECT_FALSE(DecodeKoi8File(dir / "missing.html"));
  EXPECT_FALSE(DecodeKoi8File(dir.Path()));
}

}  // namespace
}  // namespace kestrix
