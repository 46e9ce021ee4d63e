#include "links/url_paths.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

struct OneArgCase {
  const char* in;
  const char* want;
};

TEST(UrlPaths, GetUrlDir) {
  const OneArgCase cases[] = {
      {"http://h/a/b.html?x=/y", "http://h/a/"},
      {"b.html", "/"},
      {"", "/"},
      {"/a/b/", "/a/b/"},
      {"?/x", "/"},
      {"a/b?c", "a/"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetUrlDir(c.in), c.want) << c.in;
}

TEST(UrlPaths, GetUrlFileName) {
  const OneArgCase cases[] = {
      {"http://h/d/p.cgi?a=1/2", "p.cgi?a=1/2"}, {"http://h/d/", ""}, {"", "Error!!!"},
      {"http://h/d/p.html#a/b", "p.html#a/b"},   {"name", "name"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetUrlFileName(c.in), c.want) << c.in;
}

TEST(UrlPaths, UrlDirWithSlashAndValidDirNames) {
  EXPECT_EQ(UrlDirWithSlash("http://host/other/x.html"), "/other/");
  EXPECT_EQ(UrlDirWithSlash("http://host"), "/");
  EXPECT_TRUE(IsValidDirName("/a b/c.d/"));
  for (const char* bad : {"/a\"/", "/a:/", "/a</", "/a>/", "/a?/", "/a|/"}) {
    EXPECT_FALSE(IsValidDirName(bad)) << bad;
  }
  EXPECT_EQ(RemoveAmp("a=1&amp;b=2&amp;c"), "a=1&b=2&c");
}

struct ResolveCase {
  const char* link;
  const char* want;
};

class ResolveTable : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTable, AgainstPageInA_B) {
  EXPECT_EQ(ResolveUrl(GetParam().link, "http", "h", "/a/b/"), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Links, ResolveTable,
    ::testing::Values(
        ResolveCase{"c.html", "http://h/a/b/c.html"},
        ResolveCase{"./c.html", "http://h/a/b/c.html"},
        ResolveCase{"././c.html", "http://h/a/b/c.html"},
        ResolveCase{"../c/p.html", "http://h/a/c/p.html"},
        ResolveCase{"../p.html", "http://h/a/p.html"},
        ResolveCase{"../../../p.html", "http://h/p.html"}, ResolveCase{"./../", "http://h/a/"},
        ResolveCase{"./../x/", "http://h/a/x/"}, ResolveCase{"./../p.html#s1", "http://h/a/p.html"},
        ResolveCase{"/x/y.html", "http://h/x/y.html"}, ResolveCase{"/y.html", "http://h/y.html"},
        ResolveCase{"p q.html#top", "http://h/a/b/p%20q.html"}, ResolveCase{"/", "http://h/"},
        ResolveCase{"  c.html\t", "http://h/a/b/c.html"},
        ResolveCase{"sub/p.asp?id=1&amp;n=2", "http://h/a/b/sub/p.asp?id=1&n=2"},
        ResolveCase{"?q=1", "http://h/a/b/?q=1"}));

TEST(UrlPaths, ResolveKeepsThePortAndAnExistingProtocol) {
  EXPECT_EQ(ResolveUrl("x.html", "http", "h:8080", "/"), "http://h:8080/x.html");
  EXPECT_EQ(ResolveUrl("/", "HTTP", "http://h", "/d/"), "http://h/");
  EXPECT_EQ(ResolveUrl("x.html", "ftp", "h", "/pub/"), "ftp://h/pub/x.html");
}

}  // namespace
}  // namespace kestrix
