// Per-host pacing and the run's bandwidth cap, on a clock the test moves.
#include "engine/host_pacing.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/rate_limiter.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using TTime = std::chrono::steady_clock::time_point;

struct FakeClock {
  TTime now{seconds(1000)};
  TPacingClock Function() {
    return [this] { return now; };
  }
};

TEST(HostPacing, LimitsConnectionsAndWaitsBetweenRequests) {
  const auto rows = test::ReadRows("engine/politeness.txt", "pace");
  ASSERT_GE(rows.size(), 6u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[5]);
    const TPacingOptions options{.MaxPerHost = std::stoi(row[0]),
                                 .Wait = milliseconds(std::stoi(row[1])),
                                 .RandomWait = row[2] == "yes"};
    const double random = std::stod(row[3]);
    FakeClock clock;
    const TTime start = clock.now;
    THostPacing pacing(options, clock.Function(), [random] { return random; });
    if (row[4] != "0") pacing.SetCrawlDelay("h", milliseconds(std::stoi(row[4])));
    std::istringstream steps(row[5]);
    for (std::string at, action, answer; steps >> at >> action >> answer;) {
      if (answer.ends_with(';')) answer.pop_back();
      SCOPED_TRACE(at + " " + action);
      clock.now = start + milliseconds(std::stoi(at));
      if (action == "s") pacing.Started("h");
      if (action == "f") pacing.Finished("h");
      const TStartVerdict verdict = pacing.MayStart("h");
      EXPECT_EQ(verdict.Kind, answer == "now"    ? TStartVerdict::Now
                              : answer == "ends" ? TStartVerdict::WhenOneEnds
                                                 : TStartVerdict::At);
      if (verdict.Kind == TStartVerdict::At) {
        EXPECT_EQ(verdict.When, start + milliseconds(std::stoi(answer)));
      }
    }
    EXPECT_EQ(pacing.MayStart("another host").Kind, TStartVerdict::Now);
  }
}

TEST(HostPacing, BusyRepliesHoldTheHostThenGiveTheEntryUp) {
  const std::map<std::string, TBusyVerdict::TKind> kinds = {
      {"Retry", TBusyVerdict::Retry},
      {"TooManyRetries", TBusyVerdict::TooManyRetries},
      {"WaitTooLong", TBusyVerdict::WaitTooLong}};
  FakeClock clock;
  THostPacing pacing({}, clock.Function(), [] { return 0.0; });
  const auto rows = test::ReadRows("engine/politeness.txt", "busy");
  ASSERT_GE(rows.size(), 6u);
  for (const auto& row : rows) {
    const std::string host = "h" + row[0] + "-" + row[1];
    SCOPED_TRACE(host);
    const auto retryAfter =
        row[0] == "-" ? std::nullopt : std::optional<seconds>(std::stoi(row[0]));
    const TBusyVerdict verdict = pacing.BusyReply(host, 503, retryAfter, std::stoi(row[1]));
    const TTime hold = clock.now + seconds(std::stoi(row[3]));
    EXPECT_EQ(verdict.Kind, kinds.at(row[2]));
    EXPECT_EQ(verdict.When, hold);
    const TStartVerdict start = pacing.MayStart(host);
    EXPECT_EQ(start.Kind, TStartVerdict::At);
    EXPECT_EQ(start.When, hold);
  }
}

TEST(RateLimiter, GrantsTheRateAndSaysWhenToAskAgain) {
  using std::chrono::microseconds;
  FakeClock clock;
  const TTime start = clock.now;
  TRateLimiter limiter(100'000, clock.Function());
  const auto rows = test::ReadRows("engine/politeness.txt", "rate");
  ASSERT_GE(rows.size(), 7u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " " + row[1]);
    clock.now = start + microseconds(std::stoi(row[0]));
    const TRateLimiter::TGrant grant = limiter.Take(std::stoll(row[1]));
    EXPECT_EQ(grant.Bytes, std::stoll(row[2]));
    if (row[3] != "-") {
      EXPECT_EQ(grant.RetryAt, start + microseconds(std::stoi(row[3])));
    }
  }
  TRateLimiter unlimited(0, clock.Function());
  EXPECT_EQ(unlimited.Take(1 << 30).Bytes, 1 << 30);
  EXPECT_EQ(TRateLimiter(100, clock.Function()).Capacity(), 100);
}

}  // namespace
}  // namespace kestrix
