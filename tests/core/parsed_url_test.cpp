// A URL taken apart once must give what the separate helpers give, and the
// server test must hold http and https of one host for one site.
#include <gtest/gtest.h>

#include "core/parsed_url.h"

namespace kestrix {
namespace {

TEST(ParsedUrlTest, PartsAreTheHelpersViews) {
  for (const char* url :
       {"http://h/d/p.cgi?a=1/2#f", "HTTPS://User:Pw@Host.Org:8443/A/B.html?Q#Z", "ftp://h/x.zip",
        "http://h", "https://h/", "//h/x", "/abs/p.html", "rel/p.html?x", "", "http://h/d/?q=a/b",
        "mailto:me@h", "http://h:80/a#b?c", "h:8080/x"}) {
    SCOPED_TRACE(url);
    const TParsedUrl parsed = ParseUrl(url);
    const TUrlParts parts = SplitUrl(url);
    EXPECT_EQ(parsed.Parts, parts);
    EXPECT_EQ(parsed.Dir(), GetUrlDir(parts.Path));
    EXPECT_EQ(parsed.FileName(), GetUrlFileName(url));
    std::string joined(parsed.Path());
    if (parts.Path.find('?') < parts.Path.find('#')) joined += "?" + std::string(parsed.Query());
    if (parts.Path.find('#') != std::string::npos) joined += "#" + std::string(parsed.Fragment());
    EXPECT_EQ(joined, parts.Path);
  }
  const TParsedUrl p = ParseUrl("HTTPS://User:Pw@Host.Org:8443/A/B.html?Q#Z");
  EXPECT_EQ(p.Scheme, "https");
  EXPECT_EQ(p.HostKey, "host.org");
  EXPECT_EQ(p.Parts.Host, "Host.Org");  // the host folder keeps the case written
  EXPECT_EQ(p.PortKey, "8443");
  EXPECT_EQ(p.Query(), "Q");
  EXPECT_EQ(p.Fragment(), "Z");

  const struct {
    const char* url;
    const char* shorter;
  } ports[] = {
      {"http://h:80/x", "http://h/x"},
      {"HTTPS://u:p@H:443/x?a:1", "HTTPS://u:p@H/x?a:1"},
      {"http://h:80", "http://h"},

      {"ftp://h:21/f.zip", "ftp://h/f.zip"},
      {"https://h:80/x", "https://h:80/x"},
      {"http://h:8080/x", "http://h:8080/x"},
      {"http://h/x:80", "http://h/x:80"},
      {"mailto:me@h:80", "mailto:me@h:80"},
  };
  for (const auto& c : ports) EXPECT_EQ(WithoutDefaultPort(ParseUrl(c.url)), c.shorter) << c.url;
}

TEST(ParsedUrlTest, HttpAndHttpsOfOneHostAreOneServer) {
  const struct {
    const char* a;
    const char* b;
    bool same;    // SameServer
    bool folder;  // InsideFolder(b, a)
  } cases[] = {
      {"http://h/", "https://h/y", true, true},
      {"http://h:80/", "https://h:443/", true, true},
      {"HTTP://H/", "http://h:80/", true, true},
      {"https://h:8443/", "http://h:8443/a", true, true},
      {"https://u@h/", "http://h/", true, true},
      {"http://h:8080/", "http://h/", true, false},  // every port of the host, as always
      {"http://h:443/", "https://h/", true, false},  // 443 is https's own port, not http's
      {"http://h/", "http://h2/", false, false},
      {"http://h/", "ftp://h/", false, false},
      {"ftp://h:21/", "ftp://h/", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " " + c.b);
    EXPECT_EQ(SameServer(ParseUrl(c.a), ParseUrl(c.b)), c.same);
    EXPECT_EQ(SameServer(ParseUrl(c.b), ParseUrl(c.a)), c.same);
    EXPECT_EQ(InsideFolder(ParseUrl(c.b), ParseUrl(c.a)), c.folder);
  }
  const TParsedUrl dir = ParseUrl("http://h/Doc/");
  EXPECT_TRUE(InsideFolder(ParseUrl("https://h/doc/a/p.html"), dir));
  EXPECT_TRUE(InsideFolder(ParseUrl("http://h:80/Doc/p.html"), dir));
  EXPECT_FALSE(InsideFolder(ParseUrl("https://h/other/doc/p.html"), dir));
  EXPECT_FALSE(InsideFolder(ParseUrl("https://o/doc/p.html"), dir));
}

}  // namespace
}  // namespace kestrix
