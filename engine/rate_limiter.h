// The run's bandwidth cap ("--limit-rate 200K"): a token bucket shared by
// every worker. A reader asks how many of the bytes it wants it may read
// now; when the bucket is empty it is told when to ask again, and leaves the
// bytes in the socket meanwhile, so the server sees the slower pace too.
#pragma once

#include <chrono>
#include <cstdint>

#include "engine/host_pacing.h"

namespace kestrix {

class TRateLimiter {
 public:
  using TTime = std::chrono::steady_clock::time_point;

  // `bytesPerSecond` 0 or less: no limit. The bucket starts full.
  TRateLimiter(int64_t bytesPerSecond, TPacingClock clock);

  struct TGrant {
    int64_t Bytes = 0;  // may be read now; 0 when none
    TTime RetryAt{};    // when Bytes is 0: when to ask again
  };
  TGrant Take(int64_t wanted);
  // Gives back granted bytes that were not read after all.
  void Refund(int64_t bytes);

  int64_t Rate() const { return rate_; }
  // The most the bucket holds: a quarter of a second's bytes, but never
  // less than a second's up to 4 KiB, so slow rates still read in pieces
  // worth a system call.
  int64_t Capacity() const { return capacity_; }

 private:
  void Refill(TTime now);

  int64_t rate_;
  int64_t capacity_;
  TPacingClock clock_;
  double tokens_;
  TTime last_;
};

}  // namespace kestrix
