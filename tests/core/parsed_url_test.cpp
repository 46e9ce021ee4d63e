// A URL taken apart once must give what the separate helpers give, and the
// server test must hold http and https of one host for one site.
#include <gtest/gtest.h>

#include "core/parsed_url.h"
#include "tests/support/case_file.h"

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

  const auto ports = test::ReadRows("core/urls.txt", "port");
  ASSERT_GE(ports.size(), 8u);
  for (const auto& r : ports) EXPECT_EQ(WithoutDefaultPort(ParseUrl(r[0])), r[1]) << r[0];
}

// The "server" rows of tests/fixtures/core/urls.txt.
TEST(ParsedUrlTest, HttpAndHttpsOfOneHostAreOneServer) {
  const auto rows = test::ReadRows("core/urls.txt", "server");
  ASSERT_GE(rows.size(), 10u);
  for (const auto& r : rows) {
    SCOPED_TRACE(r[0] + " " + r[1]);
    EXPECT_EQ(SameServer(ParseUrl(r[0]), ParseUrl(r[1])), r[2] == "1");
    EXPECT_EQ(SameServer(ParseUrl(r[1]), ParseUrl(r[0])), r[2] == "1");
    EXPECT_EQ(InsideFolder(ParseUrl(r[1]), ParseUrl(r[0])), r[3] == "1");
  }
}

}  // namespace
}  // namespace kestrix
