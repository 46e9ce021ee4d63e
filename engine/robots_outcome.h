// What to do with the answer to a robots.txt request, as major crawlers do:
// a success is read; relocations are followed a few times; a client error
// (the file does not exist, or is not ours to read) allows everything; a
// server error, a "429 Too Many Requests" or a failed connection means the
// site cannot tell us its rules now, so the host waits and the request is
// tried again a few times, and a site that stays unreachable is not
// crawled (an older copy of its rules serves when there is one).
#pragma once

#include <chrono>
#include <optional>

namespace kestrix {

enum class TRobotsAction {
  Parse,        // read the body as the site's rules
  Follow,       // fetch the relocation target instead
  AllowAll,     // no rules: every path may be fetched
  RetryLater,   // hold the host's entries and ask again after RetryIn
  Unreachable,  // give up for this run: use an older copy, else fetch nothing from the host
};

struct TRobotsOutcome {
  TRobotsAction Action = TRobotsAction::AllowAll;
  std::chrono::seconds RetryIn{0};
};

inline constexpr int kMaxRobotsRelocations = 5;
inline constexpr int kMaxRobotsTries = 3;
// The wait after the first failed try; it doubles after each further one.
inline constexpr std::chrono::seconds kRobotsRetryDelay{15};
// A Retry-After above this is cut down to it.
inline constexpr std::chrono::seconds kMaxRobotsRetryAfter{120};

// `status` is the reply's status code, 0 when no reply came (a failed
// lookup or connection, a time-out). `relocations` counts those already
// followed for this robots.txt; `tries` the requests made so far, this one
// included. `retryAfter` is the reply's Retry-After, when it had one.
TRobotsOutcome RobotsFetchOutcome(int status, int relocations, int tries,
                                  std::optional<std::chrono::seconds> retryAfter = std::nullopt);

}  // namespace kestrix
