// Reading relocations and dates from the header lines of a relocation chain.
#include <gtest/gtest.h>

#include "engine/http_date.h"
#include "engine/reply_header.h"

namespace kestrix {
namespace {

const std::vector<std::string> kChain = {
    "HTTP/1.0 302 Found",
    "Location: /first.html",
    "Last-Modified: Sat, 29 Oct 1994 19:43:31 GMT",
    "HTTP/1.1 301 Moved",
    "Content-Location: /not-this.html",
    "location:   ../up/next.html  ",
};

TEST(ReplyHeader, RelocationIsReadFromTheLastReply) {
  struct Case {
    std::vector<std::string> header;
    const char* from;
    const char* expected;
  };
  const Case cases[] = {
      {kChain, "http://h:8080/a/b/page.html", "http://h:8080/a/up/next.html"},
      {{"HTTP/1.0 302 Found", "Location: http://other/x"}, "http://h:81/", "http://other/x"},
      {{"HTTP/1.0 302 Found", "LOCATION: FTP://f/x"}, "http://h/", "FTP://f/x"},
      {{"HTTP/1.0 302 Found", "Location: /root.html"}, "http://h:81/a/b", "http://h:81/root.html"},
      {{"HTTP/1.0 302 Found", "Location: same.html"}, "http://h/a/b", "http://h/a/same.html"},
      {{"HTTP/1.0 302 Found", "Content-Location: /c.html"}, "http://h/", "client"},
      {{}, "http://h/", "client"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(RelocationTarget(c.header, "client", c.from), c.expected);
  }
}

TEST(ReplyHeader, DateComesFromTheLastReplyOnly) {
  EXPECT_EQ(LastModifiedOf(kChain), std::nullopt);
  std::vector<std::string> header = kChain;
  header.push_back("Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_DOUBLE_EQ(*LastModifiedOf(header), EncodeDateTime(1994, 11, 6, 8, 49, 37));
  EXPECT_EQ(LastModifiedOf({"HTTP/1.0 200 OK", "Last-Modified: Sat, 29 Okt 1994"}), 0.0);
}

TEST(ReplyHeader, PagesAreTheTypesNamingHtmlOrText) {
  EXPECT_TRUE(IsHtmlType("text/html; charset=utf-8"));
  EXPECT_TRUE(IsHtmlType("application/xhtml+xml"));
  EXPECT_TRUE(IsHtmlType("TEXT/PLAIN"));
  EXPECT_FALSE(IsHtmlType("image/png"));
  EXPECT_FALSE(IsHtmlType(""));
}

}  // namespace
}  // namespace kestrix
