#include <gtest/gtest.h>

#include "core/url_list.h"
#include "engine/queue_summary.h"

namespace kestrix {
namespace {

std::string ErrorText(int code) {
  return code == 10061 ? "Connection refused" : "Other";
}

void Add(UrlList& queue, const std::string& url, int32_t kind, int32_t size, int32_t error = 0) {
  TRetriveRec entry;
  entry.Job.editUrl = url;
  entry.LinkKind = kind;
  entry.ReceivedSize = size;
  entry.ErrorCode = error;
  queue.Append(url, entry);
}

TEST(QueueSummary, CountsByKindWithTotals) {
  UrlList queue;
  Add(queue, "http://a/", 0, 100);             // starting URL: Html
  Add(queue, "http://a/1.html", 1, 10);        // A: Html
  Add(queue, "http://a/map.html", 7, 5);       // AREA: Html
  Add(queue, "http://a/next.html", 8, 1);      // META: Html
  Add(queue, "http://a/i.png", 2, 300);        // IMG
  Add(queue, "http://a/f.html", 3, 0, 10061);  // FRAME, failed
  Add(queue, "http://a/if.html", 4, 7);        // IFRAME
  Add(queue, "http://a/form", 5, 2);           // FORM
  Add(queue, "http://a/e.swf", 9, 3);          // EMBED
  Add(queue, "http://a/s.js", 10, 4);          // SCRIPT
  Add(queue, "http://a/c.css", 11, 6);         // LINK
  Add(queue, "http://a/base/", 6, 50, 10054);  // BASE: no row, still a host and a failure
  Add(queue, "ftp://a/x", 12, 50);             // ftp anchor: no row
  Add(queue, "http://a/odd", 13, 50);          // above 12: like 12
  Add(queue, "http://a/neg", -1, 50);          // negative: no row

  TQueueSummary s = SummariseQueue(queue, ErrorText);
  const struct {
    const char* name;
    int32_t count;
    int64_t size;
    int32_t errors;
  } expected[] = {
      {"Html", 4, 116, 0},  {"Images", 1, 300, 0},    {"Frames", 1, 0, 1},
      {"IFrames", 1, 7, 0}, {"Forms", 1, 2, 0},       {"Embeded", 1, 3, 0},
      {"Scripts", 1, 4, 0}, {"StyleSheets", 1, 6, 0}, {"Total", 11, 438, 1},
  };
  for (size_t row = 0; row < 9; ++row) {
    EXPECT_EQ(s.Rows[row].Name, expected[row].name);
    EXPECT_EQ(s.Rows[row].Count, expected[row].count) << expected[row].name;
    EXPECT_EQ(s.Rows[row].Size, expected[row].size) << expected[row].name;
    EXPECT_EQ(s.Rows[row].Errors, expected[row].errors) << expected[row].name;
  }
  ASSERT_EQ(s.Failed.size(), 2u);
  EXPECT_EQ(s.Failed[0].Url, "http://a/f.html");
  EXPECT_EQ(s.Failed[0].Error, "Connection refused (#10061)");
  EXPECT_EQ(s.Failed[1].Error, "Other (#10054)");
  ASSERT_EQ(s.Hosts.size(), 1u);
  EXPECT_EQ(s.Hosts[0].Pages, 15) << "every entry counts for its host, whatever its kind";
}

TEST(QueueSummary, PagesPerHostInFirstSeenOrder) {
  UrlList queue;
  Add(queue, "http://one.example/", 0, 1);
  Add(queue, "http://two.example:8080/x", 1, 1);
  Add(queue, "http://user@one.example/a", 1, 1);
  Add(queue, "http://one.example/b", 2, 1);
  TQueueSummary s = SummariseQueue(queue, ErrorText);
  ASSERT_EQ(s.Hosts.size(), 2u);
  EXPECT_EQ(s.Hosts[0].Host, "one.example");
  EXPECT_EQ(s.Hosts[0].Pages, 3);
  EXPECT_EQ(s.Hosts[1].Host, "two.example");
  EXPECT_EQ(s.Hosts[1].Pages, 1);
}

TEST(QueueSummary, EmptyQueueHasNamedRowsAndNothingElse) {
  UrlList queue;
  TQueueSummary s = SummariseQueue(queue, ErrorText);
  EXPECT_EQ(s.Rows[8].Name, "Total");
  for (const TSummaryRow& row : s.Rows) EXPECT_EQ(row.Count + row.Size + row.Errors, 0);
  EXPECT_TRUE(s.Hosts.empty());
  EXPECT_TRUE(s.Failed.empty());
}

TEST(QueueSummary, SizesDoNotOverflowThirtyTwoBits) {
  UrlList queue;
  Add(queue, "http://a/1.iso", 1, 2'000'000'000);
  Add(queue, "http://a/2.iso", 1, 2'000'000'000);
  EXPECT_EQ(SummariseQueue(queue, ErrorText).Rows[8].Size, 4'000'000'000);
}

}  // namespace
}  // namespace kestrix
