// The Last-Modified parser and the size column's progress text.
#include <gtest/gtest.h>

#include "engine/http_date.h"
#include "engine/job_thread.h"

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

TEST(ProgressText, ShowsTheShareOfTheWholeDocumentOrTheBytesSoFar) {
  struct Case {
    int64_t receivedSize, contentSize, receivedCount, contentLength;
    const char* text;
  };
  const Case cases[] = {
      {0, 1000, 0, 1000, "(0%)  1000"},
      {0, 1000, 500, 1000, "(49%)  1000"},  // divided by the size + 1
      {0, 1000, 1000, 1000, "(99%)  1000"},
      {400, 1000, 300, 600, "(69%)  1000"},  // a resumed file counts what it had
      {0, -1, 123, -1, "> 123"},             // no Content-Length
      {0, 0, 5, 0, "> 5"},
      {0, 10, 11, 10, "> 11"},  // more than announced
      {0, 3'000'000'000, 2'000'000'000, 3'000'000'000, "(66%)  3000000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressCellText(c.receivedSize, c.contentSize, c.receivedCount, c.contentLength),
              c.text);
  }
}

}  // namespace
}  // namespace kestrix
