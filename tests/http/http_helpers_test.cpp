#include "http/http_helpers.h"

#include <gtest/gtest.h>

#include "http/socket_errors.h"

namespace kestrix {
namespace {

double At(int days, int h, int m, int s) {
  return days + (h * 3600 + m * 60 + s) / 86400.0;
}

TEST(FormatHttpDate, Table) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {At(38691, 13, 22, 3), "Mon, 05 Dec 2005 13:22:03"},
      {At(34636, 19, 43, 31), "Sat, 29 Oct 1994 19:43:31"},
      {2, "Mon, 01 Jan 1900 00:00:00"},
      {0, "Sat, 30 Dec 1899 00:00:00"},
      {At(36585, 0, 0, 1), "Tue, 29 Feb 2000 00:00:01"},
      // Milliseconds are dropped; a value rounding up to midnight is the next day.
      {At(38691, 13, 22, 3) + 0.4 / 86400, "Mon, 05 Dec 2005 13:22:03"},
      {38692 - 0.0001 / 86400, "Tue, 06 Dec 2005 00:00:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatHttpDate(c.value), c.text) << c.value;
}

TEST(EncodeBase64, Table) {
  EXPECT_EQ(EncodeBase64(""), "");
  EXPECT_EQ(EncodeBase64("f"), "Zg==");
  EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
  EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
  EXPECT_EQ(EncodeBase64("user:pass"), "dXNlcjpwYXNz");
  EXPECT_EQ(EncodeBase64("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(EncodeBase64(std::string("\xff\x00", 2)), "/wA=");
}

TEST(RequestGuards, ControlCharactersAndSpacesAreEncodedInTheTarget) {
  EXPECT_EQ(EncodeRequestTarget("/a b"), "/a%20b");
  EXPECT_EQ(EncodeRequestTarget("/x\r\nHost: evil"), "/x%0D%0AHost:%20evil");
  EXPECT_EQ(EncodeRequestTarget(std::string("/n\0u\x7f", 5)), "/n%00u%7F");
  EXPECT_EQ(EncodeRequestTarget("/plain/%41?q=1&r=\xe9"), "/plain/%41?q=1&r=\xe9");
  EXPECT_TRUE(IsSafeHostName("www.example.com"));
  EXPECT_FALSE(IsSafeHostName("a\r\nb"));
  EXPECT_FALSE(IsSafeHostName("a b"));
  EXPECT_FALSE(IsSafeHostName(std::string("a\0b", 3)));
}

TEST(RequestGuards, OnlyHttpRelocationsAreFollowed) {
  struct Case {
    const char* value;
    bool follow;
  } cases[] = {
      {"/rooted", true},
      {"http://h/x", true},
      {"HTTP://h/x", true},
      {"http:x/y", true},
      {"page.htm", true},
      {"dir/page.htm", true},
      {"h:81/x", true},
      {"localhost:8080", true},
      {"?q=1", true},
      {"https://h/x", false},
      {"ftp://h/x", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"data:text/html,hi", false},
      {"mailto:a@b", false},
      {"about:blank", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsFollowableLocation(c.value), c.follow) << c.value;
}

TEST(ParseDecimal, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(ParseDecimal("0"), 0);
  EXPECT_EQ(ParseDecimal("123456789012"), 123456789012);
  EXPECT_EQ(ParseDecimal("-5"), -5);
  for (const char* bad : {"", "-", "12a", " 1", "1 ", "0x10", "99999999999999999999"}) {
    EXPECT_FALSE(ParseDecimal(bad).has_value()) << bad;
  }
}

TEST(WSocketErrorText, KnownAndUnknownCodes) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, "No Error"},
      {10004, "Interrupted system call"},
      {10035, "Operation would block"},
      {10047, "Address family not supported by protocol family"},
      {10053, "Connection aborted"},
      {10054, "Connection reset by peer"},
      {10059, "Too many references: can't splice"},
      {10060, "Connection timed out"},
      {10061, "Connection refused"},
      {10069, "Disc quota exceeded"},
      {10071, "Too many levels of remote in path"},
      {10092, "WinSock DLL cannot support this application"},
      {10093, "WinSock not initialized"},
      {11001, "Host not found"},
      {11004, "No Data"},
      {12345, "Not a WinSock error"},
      {10072, "Not a WinSock error"},
      {-1, "Not a WinSock error"},
  };
  for (const auto& c : cases) EXPECT_EQ(WSocketErrorText(c.code), c.text) << c.code;
}

TEST(WinsockErrorFromErrno, MapsTheCodesTheProgramRecords) {
  EXPECT_EQ(WinsockErrorFromErrno(0), 0);
  EXPECT_EQ(WinsockErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WinsockErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(WinsockErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(WinsockErrorFromErrno(ECONNABORTED), 10053);
  EXPECT_EQ(WinsockErrorFromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(WinsockErrorFromErrno(ENETUNREACH), 10051);
  EXPECT_EQ(WinsockErrorFromErrno(EADDRINUSE), 10048);
  EXPECT_EQ(WinsockErrorFromErrno(EAGAIN), 10035);
  EXPECT_NE(WinsockErrorFromErrno(EIO), 0);  // unknown errors never read as success
}

}  // namespace
}  // namespace kestrix
