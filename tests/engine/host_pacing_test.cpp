// Per-host pacing and the run's bandwidth cap, on a clock the test moves.
#include "engine/host_pacing.h"

#include <gtest/gtest.h>

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
  FakeClock clock;
  THostPacing pacing({}, clock.Function(), [] { return 0.0; });
  const struct {
    std::optional<seconds> retryAfter;
    int retries;
    TBusyVerdict::TKind kind;
    seconds hold;
  } cases[] = {
      {seconds(1), 0, TBusyVerdict::Retry, seconds(1)},
      {std::nullopt, 0, TBusyVerdict::Retry, kBusyBackoff},
      {std::nullopt, 2, TBusyVerdict::Retry, kBusyBackoff * 4},
      {seconds(120), 2, TBusyVerdict::Retry, seconds(120)},
      {seconds(1), 3, TBusyVerdict::TooManyRetries, seconds(1)},
      {seconds(3600), 0, TBusyVerdict::WaitTooLong, seconds(120)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.retries);
    const std::string host = "h" + std::to_string(&c - cases);
    const TBusyVerdict verdict = pacing.BusyReply(host, 503, c.retryAfter, c.retries);
    EXPECT_EQ(verdict.Kind, c.kind);
    EXPECT_EQ(verdict.When, clock.now + c.hold);
    const TStartVerdict start = pacing.MayStart(host);
    EXPECT_EQ(start.Kind, TStartVerdict::At);
    EXPECT_EQ(start.When, clock.now + c.hold);
  }
}

TEST(RateLimiter, GrantsTheRateAndSaysWhenToAskAgain) {
  using std::chrono::microseconds;
  FakeClock clock;
  const TTime start = clock.now;
  TRateLimiter limiter(100'000, clock.Function());  // capacity: a quarter second, 25000 bytes
  const struct {
    int atUs;
    int64_t wanted, granted;
    int retryAtUs;  // when nothing was granted
  } steps[] = {
      {0, 50000, 25000, 0},  // the full bucket
      {0, 50000, 0, 31250},  // empty: back when an eighth of it has come in
      {31250, 50000, 3125, 0},
      {40000, 100, 100, 0},  // 875 bytes came in over 8.75 ms
      {40000, 5000, 775, 0},
      {10'000'000, 99999, 25000, 0},  // a long pause refills no more than the capacity
      {10'000'000, 0, 0, 0},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.atUs);
    clock.now = start + microseconds(s.atUs);
    const TRateLimiter::TGrant grant = limiter.Take(s.wanted);
    EXPECT_EQ(grant.Bytes, s.granted);
    if (s.granted == 0 && s.wanted > 0) {
      EXPECT_EQ(grant.RetryAt, start + microseconds(s.retryAtUs));
    }
  }
  TRateLimiter unlimited(0, clock.Function());
  EXPECT_EQ(unlimited.Take(1 << 30).Bytes, 1 << 30);
  EXPECT_EQ(TRateLimiter(100, clock.Function()).Capacity(), 100);
}

}  // namespace
}  // namespace kestrix
