// Reading relocations and dates from the header lines of a relocation chain,
// and the Last-Modified parser.
#include <gtest/gtest.h>

#include "engine/http_date.h"
#include "engine/reply_header.h"

namespace kestrix {
namespace {

struct DateCase {
  const char* text;
  int year, month, day, hour, minute, second;  // year 0: the result is 0
};

const DateCase kDates[] = {
    {"Sat, 29 Oct 1994 19:43:31 GMT", 1994, 10, 29, 19, 43, 31},
    {"Sunday, 06-Nov-94 08:49:37 GMT", 94, 11, 6, 8, 49, 37},  // taken as year 94
    {"Mon, 05 dec 2005 13:22:03", 2005, 12, 5, 13, 22, 3},
    {"Thu,  01   Jan   1970  00:00:00 GMT extra parts", 1970, 1, 1, 0, 0, 0},
    {"Tue, 29 Feb 2000 12:00", 2000, 2, 29, 12, 0, 0},  // missing seconds stay 0
    {"Wed, 31 Dec 1899 23:59:59 GMT", 1899, 12, 31, 23, 59, 59},
    {"Sat, 29 Okt 1994 19:43:31 GMT", 0, 0, 0, 0, 0, 0},  // misspelt month
    {"Sat, 29 October 1994 19:43:31 GMT", 0, 0, 0, 0, 0, 0},
    {"Sat, 30 Feb 1994 19:43:31 GMT", 0, 0, 0, 0, 0, 0},  // impossible date
    {"Sat, 29 Oct 1994 24:00:00 GMT", 0, 0, 0, 0, 0, 0},
    {"Sat, 2x Oct 1994 19:43:31 GMT", 0, 0, 0, 0, 0, 0},  // no number
    {"Sat, 29 Oct", 0, 0, 0, 0, 0, 0},                    // year stays 0
    {"Sun Nov  6 08:49:37 1994", 0, 0, 0, 0, 0, 0},       // asctime: day is "Nov"
    {"", 0, 0, 0, 0, 0, 0},
    {"Sat, 99999999999 Oct 1994", 0, 0, 0, 0, 0, 0},
};

TEST(HttpDate, ParsesTheFormsServersSend) {
  for (const DateCase& c : kDates) {
    SCOPED_TRACE(c.text);
    const double expected =
        c.year == 0 ? 0 : EncodeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second);
    EXPECT_DOUBLE_EQ(ParseHttpDate(c.text), expected);
  }
}

TEST(HttpDate, CountsDaysFromTheEndOf1899) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 0, 0, 0), 2);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1994, 10, 29, 19, 43, 31), 34636 + 71011.0 / 86'400);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 13, 1, 0, 0, 0), 0);
}

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
  EXPECT_EQ(LastModifiedOf({"HTTP/1.0 200 OK", "Last-Modified: Mon, 01 Jan 0001 00:00:00 GMT"}),
            0.0);
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
