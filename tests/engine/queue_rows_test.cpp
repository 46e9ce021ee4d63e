// The queue grid's texts, and the size column's progress while a worker
// receives.
#include "engine/queue_rows.h"

#include <gtest/gtest.h>

#include <climits>

#include "engine/job_thread.h"

namespace kestrix {
namespace {

std::string ErrorText(int code) {
  return code == 10061 ? "Connection refused" : "Error";
}

TEST(QueueRowsTest, SizeDateAndStateColumns) {
  TRetriveRec e;
  e.LinkedText = "Home";
  e.ContentSize = 1000;
  e.ReceivedSize = 400;
  e.LastModified = 36526.75;  // 2000-01-01 18:00
  auto row = QueueRowTexts("http://h/", e, ErrorText);
  EXPECT_EQ(row[0], "http://h/");
  EXPECT_EQ(row[1], "Home");
  EXPECT_EQ(row[2], "(40%)  1000");
  EXPECT_EQ(row[3], "2000-01-01 18:00:00 GMT");
  EXPECT_EQ(row[4], "OK");

  e.ContentSize = 2000000000;
  e.ReceivedSize = 1999999999;
  EXPECT_EQ(QueueRowTexts("u", e, ErrorText)[2], "(99%)  2000000000");

  e.ErrorCode = 10061;
  EXPECT_EQ(QueueRowTexts("u", e, ErrorText)[4], "Connection refused (#10061)");

  TRetriveRec unfetched;
  unfetched.ContentSize = -1;
  row = QueueRowTexts("u", unfetched, ErrorText);
  EXPECT_EQ(row[2], "");
  EXPECT_EQ(row[3], "");
  EXPECT_EQ(row[4], "");
}

TEST(QueueRowsTest, DateTexts) {
  EXPECT_EQ(QueueDateText(0), "Unknown");
  EXPECT_EQ(QueueDateText(-3), "Unknown");
  EXPECT_EQ(QueueDateText(1e300), "Unknown");
  EXPECT_EQ(QueueDateText(2.0), "1900-01-01 00:00:00 GMT");
  EXPECT_EQ(QueueDateText(34636.82184027778), "1994-10-29 19:43:27 GMT");
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
      // Sizes that used to divide by zero: -1 kept from an earlier fetch, and
      // 4294967295, which 32 bits took for -1.
      {0, -1, 10, 100, "> 10"},
      {0, 4'294'967'295, 10, 4'294'967'295, "(0%)  4294967295"},
      {0, INT64_MAX, 5, INT64_MAX, "> 5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressCellText(c.receivedSize, c.contentSize, c.receivedCount, c.contentLength),
              c.text);
  }
}

}  // namespace
}  // namespace kestrix
