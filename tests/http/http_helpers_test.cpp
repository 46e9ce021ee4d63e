#include "http/http_helpers.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <utility>

#include "http/socket_errors.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// "days seconds" as the program holds a time.
double Time(const std::string& text) {
  double days = 0, seconds = 0;
  std::istringstream(text) >> days >> seconds;
  return days + seconds / 86400.0;
}

// The rows of tests/fixtures/http/dates.txt.
TEST(HttpDates, FormattedReadAndWaitedFor) {
  const auto formats = test::ReadRows("http/dates.txt", "format");
  ASSERT_GE(formats.size(), 6u);
  for (const auto& r : formats) EXPECT_EQ(FormatHttpDate(Time(r[0])), r[1]) << r[0];
  const auto reads = test::ReadRows("http/dates.txt", "read");
  ASSERT_GE(reads.size(), 9u);
  for (const auto& r : reads) {
    const std::optional<double> parsed = HttpDateValue(r[0]);
    ASSERT_EQ(parsed.has_value(), r[1] != "-") << r[0];
    if (parsed) {
      EXPECT_NEAR(*parsed, Time(r[1]), 1e-9) << r[0];
    }
  }
  const auto waits = test::ReadRows("http/dates.txt", "wait");
  ASSERT_GE(waits.size(), 8u);
  for (const auto& r : waits) {
    const std::optional<std::int64_t> seconds = RetryAfterSeconds(r[0], Time("34644 31777"));
    EXPECT_EQ(seconds ? std::to_string(*seconds) : "-", r[1]) << r[0];
  }
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
