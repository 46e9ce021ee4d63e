#include <gtest/gtest.h>

#include "core/url_list.h"
#include "engine/queue_summary.h"

namespace kestrix {
namespace {

void Add(UrlList& queue, const std::string& url, int32_t kind, int32_t size, int32_t error = 0) {
  TRetriveRec entry;
  entry.Job.editUrl = url;
  entry.LinkKind = kind;
  entry.ReceivedSize = size;
  entry.ErrorCode = error;
  queue.Append(url, entry);
}

TEST(QueueSummary, CountsByKindHostAndFailure) {
  UrlList queue;
  Add(queue, "http://site/", 0, 100);                   // starting URL: Html
  Add(queue, "http://other.example:8080/x", -1, 50);    // negative: no row
  Add(queue, "http://site/1.html", 1, 10);              // A: Html
  Add(queue, "http://site/map.html", 7, 5);             // AREA: Html
  Add(queue, "http://site/next.html", 8, 1);            // META: Html
  Add(queue, "http://site/i.png", 2, 2'000'000'000);    // IMG
  Add(queue, "http://site/f.html", 3, 0, 10061);        // FRAME, failed
  Add(queue, "http://site/if.html", 4, 2'000'000'000);  // IFRAME
  Add(queue, "http://site/form", 5, 2);                 // FORM
  Add(queue, "http://site/e.swf", 9, 3);                // EMBED
  Add(queue, "http://site/s.js", 10, 4);                // SCRIPT
  Add(queue, "http://site/c.css", 11, 6);               // LINK
  Add(queue, "http://user@site/base/", 6, 50, 10054);   // BASE: no row, still a failure
  Add(queue, "ftp://site/x", 12, 50);                   // ftp anchor: no row
  Add(queue, "http://site/odd", 13, 50);                // above 12: like 12

  TQueueSummary s = SummariseQueue(queue);
  const struct {
    const char* name;
    int32_t count;
    int64_t size;
    int32_t errors;
  } expected[] = {
      {"Html", 4, 116, 0},
      {"Images", 1, 2'000'000'000, 0},
      {"Frames", 1, 0, 1},
      {"IFrames", 1, 2'000'000'000, 0},
      {"Forms", 1, 2, 0},
      {"Embeded", 1, 3, 0},
      {"Scripts", 1, 4, 0},
      {"StyleSheets", 1, 6, 0},
      {"Total", 11, 4'000'000'131, 1},  // beyond 32 bits
  };
  for (size_t row = 0; row < 9; ++row) {
    SCOPED_TRACE(expected[row].name);
    EXPECT_EQ(s.Rows[row].Name, expected[row].name);
    EXPECT_EQ(s.Rows[row].Count, expected[row].count);
    EXPECT_EQ(s.Rows[row].Size, expected[row].size);
    EXPECT_EQ(s.Rows[row].Errors, expected[row].errors);
  }
  ASSERT_EQ(s.Failed.size(), 2u);
  EXPECT_EQ(s.Failed[0].Url, "http://site/f.html");
  EXPECT_EQ(s.Failed[0].Error, "Connection refused (#10061)");
  EXPECT_EQ(s.Failed[1].Error, "Connection reset by peer (#10054)");
  // Every entry counts for its host, whatever its kind; hosts in first-seen order.
  ASSERT_EQ(s.Hosts.size(), 2u);
  EXPECT_EQ(s.Hosts[0].Host, "site");
  EXPECT_EQ(s.Hosts[0].Pages, 14);
  EXPECT_EQ(s.Hosts[1].Host, "other.example");
  EXPECT_EQ(s.Hosts[1].Pages, 1);
}

}  // namespace
}  // namespace kestrix
