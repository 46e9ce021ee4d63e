#include "engine/robots_outcome.h"

#include <algorithm>

namespace kestrix {

TRobotsOutcome RobotsFetchOutcome(int status, int relocations, int tries,
                                  std::optional<std::chrono::seconds> retryAfter) {
  if (status >= 200 && status <= 299) return {TRobotsAction::Parse};
  if (status >= 300 && status <= 399) {
    // Past the bound the file counts as missing.
    return {relocations < kMaxRobotsRelocations ? TRobotsAction::Follow : TRobotsAction::AllowAll};
  }
  if (status >= 400 && status <= 499 && status != 429) return {TRobotsAction::AllowAll};
  if (tries >= kMaxRobotsTries) return {TRobotsAction::Unreachable};
  const std::chrono::seconds wait =
      retryAfter ? std::clamp(*retryAfter, std::chrono::seconds(1), kMaxRobotsRetryAfter)
                 : kRobotsRetryDelay * (1 << std::clamp(tries - 1, 0, kMaxRobotsTries));
  return {TRobotsAction::RetryLater, wait};
}

}  // namespace kestrix
