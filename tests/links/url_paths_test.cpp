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

TEST(UrlPaths, ResolveAgainstAPageInAB) {
  const OneArgCase cases[] = {
      {"c.html", "http://h/a/b/c.html"},
      {"../p.html", "http://h/a/p.html"},
      {"./../p.html#s1", "http://h/a/p.html"},
      {"/x/y.html", "http://h/x/y.html"},
      {"/y.html", "http://h/y.html"},
      {"p q.html#top", "http://h/a/b/p%20q.html"},
      {"/", "http://h/"},
      {"  c.html\t", "http://h/a/b/c.html"},
      {"sub/p.asp?id=1&amp;n=2", "http://h/a/b/sub/p.asp?id=1&n=2"},
      {"?q=1", "http://h/a/b/?q=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveUrl(c.in, "http", "h", "/a/b/"), c.want) << c.in;
  // The port and a protocol already in the host stay.
  EXPECT_EQ(ResolveUrl("x.html", "http", "h:8080", "/"), "http://h:8080/x.html");
  EXPECT_EQ(ResolveUrl("/", "HTTP", "http://h", "/d/"), "http://h/");
  EXPECT_EQ(ResolveUrl("x.html", "ftp", "h", "/pub/"), "ftp://h/pub/x.html");
}

// RFC 3986's examples (5.4.1 and 5.4.2) against "http://a/b/c/d;p?q",
// fragments left out: candidates keep theirs aside. The self links ("",
// "#s") are no candidates, and "http:g" is taken as a relative path.
TEST(UrlPaths, AbsoluteUrlsOfTheStandardsExamples) {
  const TLinkBase base{"http", "a", "/b/c/", "d;p"};
  const OneArgCase cases[] = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"g#s", "http://a/b/c/g"},
      {"g?y#s", "http://a/b/c/g?y"},
      {";x", "http://a/b/c/;x"},
      {"g;x", "http://a/b/c/g;x"},
      {"g;x?y#s", "http://a/b/c/g;x?y"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../", "http://a/"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"../../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {".g", "http://a/b/c/.g"},
      {"g..", "http://a/b/c/g.."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"./g/.", "http://a/b/c/g/"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g?y/../x", "http://a/b/c/g?y/../x"},
      {"g#s/./x", "http://a/b/c/g"},
      // Absolute links lose their dot segments too.
      {"http://a/b/c/./../g", "http://a/b/g"},
      {"HTTPS://a/b/..", "HTTPS://a/"},
  };
  for (const auto& c : cases) EXPECT_EQ(AbsoluteUrl(c.in, base), c.want) << c.in;
}

}  // namespace
}  // namespace kestrix
