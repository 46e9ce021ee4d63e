#include "links/koi8.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

std::string Decode(std::string s) {
  DecodeKoi8(s.data(), s.size());
  return s;
}

TEST(Koi8, ConvertsLettersAndLookAlikes) {
  EXPECT_EQ(Decode("\xA3\xB3\x9A\x9C\x9E"), "\xB8\xA8\xA0\xB0\xB7");
  EXPECT_EQ(Decode("\x80\x81\x86\x93\xA0\xBF"), "-\xA6+\xAF=\xB9");
  const std::string ascii = "<a href=\"x.html\">plain</a>\r\n\t\x01\x7f";
  EXPECT_EQ(Decode(ascii), ascii);
}

TEST(Koi8, LettersMapOntoTheSameLetters) {
  // KOI8-R orders the alphabet phonetically; Windows-1251 alphabetically.
  const char* koi =
      "\xC1\xC2\xD7\xC7\xC4\xC5\xD6\xDA\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0"
      "\xD2\xD3\xD4\xD5\xC6\xC8\xC3\xDE\xDB\xDD\xDF\xD9\xD8\xDC\xC0\xD1";
  std::string lower(koi);
  std::string upper = lower;
  for (char& c : upper) c = static_cast<char>(static_cast<unsigned char>(c) + 0x20);
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(static_cast<unsigned char>(Decode(lower.substr(i, 1))[0]), 0xE0 + i) << i;
    EXPECT_EQ(static_cast<unsigned char>(Decode(upper.substr(i, 1))[0]), 0xC0 + i) << i;
  }
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
