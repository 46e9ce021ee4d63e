#include <gtest/gtest.h>

#include "core/url_list.h"
#include "engine/queue_summary.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

TEST(QueueSummary, CountsByKindHostAndFailure) {
  UrlList queue;
  for (const auto& row : test::ReadRows("engine/queue_summary.txt", "entry")) {
    TRetriveRec entry;
    entry.Job.editUrl = row[0];
    entry.LinkKind = std::stoi(row[1]);
    entry.ReceivedSize = std::stoll(row[2]);
    entry.ErrorCode = std::stoi(row[3]);
    queue.Append(row[0], entry);
  }
  const TQueueSummary s = SummariseQueue(queue);
  const auto rows = test::ReadRows("engine/queue_summary.txt", "row");
  ASSERT_EQ(rows.size(), 9u);
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i][0]);
    EXPECT_EQ(s.Rows[i].Name, rows[i][0]);
    EXPECT_EQ(s.Rows[i].Count, std::stoi(rows[i][1]));
    EXPECT_EQ(s.Rows[i].Size, std::stoll(rows[i][2]));
    EXPECT_EQ(s.Rows[i].Errors, std::stoi(rows[i][3]));
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
