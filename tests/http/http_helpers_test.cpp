#include "http/http_helpers.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "http/socket_errors.h"

namespace kestrix {
namespace {

double At(int days, int h, int m, int s) {
  return days + (h * 3600 + m * 60 + s) / 86400.0;
}

TEST(FormatHttpDate, Table) {
  const std::pair<double, const char*> cases[] = {
      {At(38691, 13, 22, 3), "Mon, 05 Dec 2005 13:22:03"},
      {2, "Mon, 01 Jan 1900 00:00:00"},
      {0, "Sat, 30 Dec 1899 00:00:00"},
      {At(36585, 0, 0, 1), "Tue, 29 Feb 2000 00:00:01"},
      // Milliseconds are dropped; a value rounding up to midnight is the next day.
      {At(38691, 13, 22, 3) + 0.4 / 86400, "Mon, 05 Dec 2005 13:22:03"},
      {38692 - 0.0001 / 86400, "Tue, 06 Dec 2005 00:00:00"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatHttpDate(value), text) << value;
}

TEST(HttpDates, TheThreeFormsAndRetryAfter) {
  const double nov6 = At(34644, 8, 49, 37);  // Sun, 06 Nov 1994 08:49:37
  const std::pair<const char*, std::optional<double>> dates[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", nov6},
      {"Sunday, 06-Nov-94 08:49:37 GMT", nov6},
      {"Sun Nov  6 08:49:37 1994", nov6},
      {"Thu, 01 Jan 1970 00:00:00 GMT", 25569},
      {"Mon, 29 Feb 2021 00:00:00 GMT", std::nullopt},  // no such day
      {"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 CET", std::nullopt},
      {"yesterday", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, value] : dates) {
    const std::optional<double> parsed = HttpDateValue(text);
    ASSERT_EQ(parsed.has_value(), value.has_value()) << text;
    if (value) {
      EXPECT_NEAR(*parsed, *value, 1e-9) << text;
    }
  }
  const std::pair<const char*, std::optional<std::int64_t>> waits[] = {
      {"120", 120},
      {" 0 ", 0},
      {"Sun, 06 Nov 1994 08:51:37 GMT", 120},  // a date, against the reply's own clock
      {"Sun, 06 Nov 1994 08:00:00 GMT", 0},    // already past
      {"99999999999999999999999", 366 * 86400},
      {"-5", std::nullopt},
      {"1.5", std::nullopt},
      {"soon", std::nullopt},
  };
  for (const auto& [text, seconds] : waits)
    EXPECT_EQ(RetryAfterSeconds(text, nov6), seconds) << text;
}

TEST(EncodeBase64, Table) {
  const std::pair<std::string, const char*> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
      {std::string("\xff\x00", 2), "/wA="}};
  for (const auto& [in, out] : cases) EXPECT_EQ(EncodeBase64(in), out) << in;
}

TEST(RequestGuards, ControlCharactersAndSpacesAreEncodedInTheTarget) {
  EXPECT_EQ(EncodeRequestTarget("/a b"), "/a%20b");
  EXPECT_EQ(EncodeRequestTarget("/x\r\nHost: evil"), "/x%0D%0AHost:%20evil");
  EXPECT_EQ(EncodeRequestTarget(std::string("/n\0u\x7f", 5)), "/n%00u%7F");
  EXPECT_EQ(EncodeRequestTarget("/plain/%41?q=1&r=\xe9"), "/plain/%41?q=1&r=\xe9");
  EXPECT_TRUE(IsSafeHostName("www.example.com"));
  for (const std::string& bad : {std::string("a\r\nb"), std::string("a b"), std::string("a\0b", 3)})
    EXPECT_FALSE(IsSafeHostName(bad)) << bad;
  EXPECT_TRUE(IsSafeHeaderValue("W/\"a1\"\t"));
  EXPECT_FALSE(IsSafeHeaderValue("\"a1\"\rX-Injected: 1"));
}

TEST(RequestGuards, OnlyHttpAndHttpsRelocationsAreFollowed) {
  for (const char* value : {"/rooted", "http://h/x", "HTTP://h/x", "https://h/x", "HTTPS://h:8443/",
                            "http:x/y", "page.htm", "dir/page.htm", "localhost:8080", "?q=1"})
    EXPECT_TRUE(IsFollowableLocation(value)) << value;
  for (const char* value : {"ftp://h/x", "file:///etc/passwd", "javascript:alert(1)",
                            "data:text/html,hi", "mailto:a@b"})
    EXPECT_FALSE(IsFollowableLocation(value)) << value;
}

TEST(ParseDecimal, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(ParseDecimal("0"), 0);
  EXPECT_EQ(ParseDecimal("123456789012"), 123456789012);
  EXPECT_EQ(ParseDecimal("-5"), -5);
  for (const char* bad : {"", "-", "12a", " 1", "1 ", "0x10", "99999999999999999999"})
    EXPECT_FALSE(ParseDecimal(bad).has_value()) << bad;
}

TEST(WinsockErrorFromErrno, MapsTheCodesTheProgramRecords) {
  const std::pair<int, int> cases[] = {{0, 0},
                                       {ECONNREFUSED, 10061},
                                       {ETIMEDOUT, 10060},
                                       {ECONNRESET, 10054},
                                       {EAGAIN, 10035},
                                       {ECONNABORTED, 10053},
                                       {EHOSTUNREACH, 10065},
                                       {ENETUNREACH, 10051},
                                       {EADDRINUSE, 10048}};
  for (const auto& [error, code] : cases) EXPECT_EQ(WinsockErrorFromErrno(error), code) << error;
  EXPECT_NE(WinsockErrorFromErrno(EIO), 0);  // unknown errors never read as success
}

}  // namespace
}  // namespace kestrix
