// robots.txt answers kept in the project's folder for the next run, one
// small text file per scheme, host and port: the fetch date, the status
// and the body. A copy younger than a day is trusted instead of asking the
// site again, as major crawlers do; an older one serves only when the site
// cannot be reached.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/robots_rules.h"

namespace kestrix {

inline constexpr int64_t kRobotsCacheTrustSeconds = 24 * 3600;

struct TRobotsCacheEntry {
  int64_t FetchedAt = 0;  // seconds since 1970
  int Status = 0;         // the final reply's status: 2xx with rules, 4xx without
  std::string Body;       // at most kMaxRobotsBytes

  bool operator==(const TRobotsCacheEntry&) const = default;
};

// The file for one origin, in a hidden folder of the project folder where
// no saved page can land. `port` empty means the scheme's default.
std::string RobotsCachePath(const std::string& downloadFolder, const std::string& project,
                            std::string_view scheme, std::string_view host, std::string_view port);

std::string EncodeRobotsCache(const TRobotsCacheEntry& entry);
// Nothing when the text is not a cache file of ours.
std::optional<TRobotsCacheEntry> DecodeRobotsCache(std::string_view text);

std::optional<TRobotsCacheEntry> LoadRobotsCache(const std::string& path);
bool SaveRobotsCache(const std::string& path, const TRobotsCacheEntry& entry);

// Fetched less than a day before `now` (and not in its future: a clock set
// back does not make a copy fresh for ever).
bool IsFreshRobotsCache(const TRobotsCacheEntry& entry, int64_t now);

// The rules the kept answer stands for: a 2xx body read for our agent,
// anything else allowing all.
TRobotsRules RulesOf(const TRobotsCacheEntry& entry);

}  // namespace kestrix
