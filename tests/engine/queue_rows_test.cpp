#include "engine/queue_rows.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kestrix
