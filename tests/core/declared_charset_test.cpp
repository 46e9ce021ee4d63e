#include "core/declared_charset.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(DeclaredCharset, TakesTheFirstMetaDeclarationOfTheHead) {
  const struct {
    std::string page;
    std::string charset;
  } cases[] = {
      {"<html><head><meta charset=\"KOI8-R\"></head>", "koi8-r"},
      {"<META HTTP-EQUIV='Content-Type' CONTENT='text/html; Charset = iso-8859-1'>", "iso-8859-1"},
      {"<meta name=x content=\"text/html;charset=windows-1251\"><meta charset=utf-8>",
       "windows-1251"},
      {"<meta charset=''><meta charset=utf-8>", "utf-8"},
      {"<p>charset=koi8-r</p><meta name=\"description\" content=\"x\">", ""},
      {"<meta charset", ""},
      {std::string(5000, ' ') + "<meta charset=koi8-r>", ""},  // past the head
  };
  for (const auto& c : cases) EXPECT_EQ(DeclaredCharset(c.page), c.charset) << c.page;
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
