// Per-host pacing and the run's bandwidth cap, on a clock the test moves.
#include "engine/host_pacing.h"

#include <gtest/gtest.h>

#include "engine/rate_limiter.h"

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

// Each step: an action on host "h" at the given time (ms from the start),
// and what MayStart answers afterwards.
struct Step {
  int atMs;
  char action;  // 's' started, 'f' finished, '-' nothing
  TStartVerdict::TKind kind;
  int whenMs;  // for At
};

void Replay(const TPacingOptions& options, double random, std::initializer_list<Step> steps,
            milliseconds crawlDelay = milliseconds(0)) {
  FakeClock clock;
  const TTime start = clock.now;
  THostPacing pacing(options, clock.Function(), [random] { return random; });
  if (crawlDelay.count() > 0) pacing.SetCrawlDelay("h", crawlDelay);
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "at " << s.atMs << " ms, " << s.action);
    clock.now = start + milliseconds(s.atMs);
    if (s.action == 's') pacing.Started("h");
    if (s.action == 'f') pacing.Finished("h");
    const TStartVerdict verdict = pacing.MayStart("h");
    EXPECT_EQ(verdict.Kind, s.kind);
    if (s.kind == TStartVerdict::At) {
      EXPECT_EQ(verdict.When, start + milliseconds(s.whenMs));
    }
  }
  EXPECT_EQ(pacing.MayStart("another host").Kind, TStartVerdict::Now);
}

TEST(HostPacing, LimitsConnectionsPerHost) {
  Replay({.MaxPerHost = 2}, 0,
         {{0, 's', TStartVerdict::Now, 0},
          {0, 's', TStartVerdict::WhenOneEnds, 0},
          {5, 'f', TStartVerdict::Now, 0},
          {5, 's', TStartVerdict::WhenOneEnds, 0}});
}

TEST(HostPacing, WaitsBetweenRequestsOneAtATime) {
  const TPacingOptions wait{.MaxPerHost = 4, .Wait = milliseconds(1000)};
  Replay(wait, 0,
         {{0, '-', TStartVerdict::Now, 0},
          {0, 's', TStartVerdict::WhenOneEnds, 0},
          {300, 'f', TStartVerdict::At, 1300},
          {1299, '-', TStartVerdict::At, 1300},
          {1300, '-', TStartVerdict::Now, 0}});
  // Spread between half and one and a half times the wait.
  TPacingOptions random = wait;
  random.RandomWait = true;
  Replay(random, 0.0, {{0, 's', TStartVerdict::WhenOneEnds, 0}, {0, 'f', TStartVerdict::At, 500}});
  Replay(random, 0.999,
         {{0, 's', TStartVerdict::WhenOneEnds, 0}, {0, 'f', TStartVerdict::At, 1499}});
  // A Crawl-delay raises the wait and is never cut by the spread.
  Replay(random, 0.0, {{0, 's', TStartVerdict::WhenOneEnds, 0}, {0, 'f', TStartVerdict::At, 800}},
         milliseconds(800));
  Replay({}, 0, {{0, 's', TStartVerdict::WhenOneEnds, 0}, {100, 'f', TStartVerdict::At, 2100}},
         milliseconds(2000));
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
