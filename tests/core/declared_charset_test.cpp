#include "core/declared_charset.h"

#include <gtest/gtest.h>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/core/charsets.txt.
TEST(DeclaredCharset, TakesTheFirstMetaDeclarationOfTheHead) {
  const auto rows = test::ReadRows("core/charsets.txt");
  ASSERT_GE(rows.size(), 6u);
  for (const auto& r : rows) EXPECT_EQ(DeclaredCharset(r[0]), r[1]) << r[0];
  // A declaration past the head is not read.
  EXPECT_EQ(DeclaredCharset(std::string(5000, ' ') + "<meta charset=koi8-r>"), "");
}

// A page converted from KOI8-R still declares KOI8-R; its bytes are
// Windows-1251 by then.
TEST(SavedPageCharset, AConvertedPageIsWindows1251WhateverItDeclares) {
  const std::string page = "<meta charset=koi8-r>";
  EXPECT_EQ(SavedPageCharset(page, false), "koi8-r");
  EXPECT_EQ(SavedPageCharset(page, true), "windows-1251");
}

}  // namespace
}  // namespace kestrix
