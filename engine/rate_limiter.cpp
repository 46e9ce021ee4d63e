#include "engine/rate_limiter.h"

#include <algorithm>
#include <cmath>

namespace kestrix {

TRateLimiter::TRateLimiter(int64_t bytesPerSecond, TPacingClock clock)
    : rate_(std::max<int64_t>(bytesPerSecond, 0)),
      capacity_(std::max(rate_ / 4, std::min<int64_t>(rate_, 4096))),
      clock_(std::move(clock)),
      tokens_(static_cast<double>(capacity_)),
      last_(clock_()) {}

void TRateLimiter::Refill(TTime now) {
  if (now <= last_) return;
  const double elapsed = std::chrono::duration<double>(now - last_).count();
  tokens_ =
      std::min(static_cast<double>(capacity_), tokens_ + elapsed * static_cast<double>(rate_));
  last_ = now;
}

TRateLimiter::TGrant TRateLimiter::Take(int64_t wanted) {
  if (rate_ == 0 || wanted <= 0) return {std::max<int64_t>(wanted, 0)};
  const TTime now = clock_();
  Refill(now);
  if (tokens_ >= 1) {
    const int64_t granted = std::min(wanted, static_cast<int64_t>(tokens_));
    tokens_ -= static_cast<double>(granted);
    return {granted};
  }
  // Wait for a piece worth reading rather than for every single byte.
  const int64_t piece = std::min(wanted, std::max<int64_t>(1, capacity_ / 8));
  const double wait = (static_cast<double>(piece) - tokens_) / static_cast<double>(rate_);
  return {0,
          now + std::chrono::ceil<std::chrono::nanoseconds>(std::chrono::duration<double>(wait))};
}

void TRateLimiter::Refund(int64_t bytes) {
  if (bytes > 0)
    tokens_ = std::min(static_cast<double>(capacity_), tokens_ + static_cast<double>(bytes));
}

}  // namespace kestrix
