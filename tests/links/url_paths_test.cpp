#include "links/url_paths.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The helper, the link and what it gives, one a row of
// tests/fixtures/links/url_paths.txt.
TEST(UrlPaths, EachHelperOfTheTable) {
  const TLinkBase base{"http", "a", "/b/c/", "d;p"};
  const std::map<std::string, std::function<std::string(const std::string&)>> helpers = {
      {"dir", [](const std::string& link) { return GetUrlDir(link); }},
      {"file", [](const std::string& link) { return GetUrlFileName(link); }},
      {"resolve", [](const std::string& link) { return ResolveUrl(link, "http", "h", "/a/b/"); }},
      {"absolute", [&base](const std::string& link) { return AbsoluteUrl(link, base); }},
      {"slashdir", [](const std::string& url) { return UrlDirWithSlash(url); }},
      {"validdir", [](const std::string& dir) { return IsValidDirName(dir) ? "1" : "0"; }},
      {"unamp", [](const std::string& text) { return RemoveAmp(text); }},
  };
  const auto rows = test::ReadRows("links/url_paths.txt");
  ASSERT_GE(rows.size(), 70u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u) << row[0];
    EXPECT_EQ(helpers.at(row[0])(row[1]), row[2]) << row[0] << " " << row[1];
  }
  // The port and a protocol already in the host stay.
  EXPECT_EQ(ResolveUrl("x.html", "http", "h:8080", "/"), "http://h:8080/x.html");
  EXPECT_EQ(ResolveUrl("/", "HTTP", "http://h", "/d/"), "http://h/");
  EXPECT_EQ(ResolveUrl("x.html", "ftp", "h", "/pub/"), "ftp://h/pub/x.html");
}

}  // namespace
}  // namespace kestrix
