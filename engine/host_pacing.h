// How hard we may press one web server: at most a few requests to a host
// at once, an optional pause between requests to it (the user's wait, or
// the Crawl-delay its robots.txt asks for, whichever is longer), and the
// waits a "429 Too Many Requests" or "503 Service Unavailable" asks for.
// The dispatcher asks MayStart before it hands a worker an entry and
// reports each request's start and end; nothing here sleeps or sets
// timers, and the clock and the random source are given, so the rules can
// be checked without waiting.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kestrix {

using TPacingClock = std::function<std::chrono::steady_clock::time_point()>;
// Uniform in [0, 1).
using TRandomSource = std::function<double()>;

struct TPacingOptions {
  int MaxPerHost = 4;
  std::chrono::milliseconds Wait{0};  // between the end of one request and the next start
  bool RandomWait = false;            // each wait drawn between 0.5 and 1.5 times Wait
  int MaxBusyRetries = 3;             // fetches again after a 429 or 503, per entry
  std::chrono::seconds MaxBusyWait{120};
};

struct TStartVerdict {
  enum TKind {
    Now,
    At,          // not before `When`
    WhenOneEnds  // the host has as many requests as it may; ask again when one ends
  } Kind = Now;
  std::chrono::steady_clock::time_point When{};
};

// The answer to a 429 or 503 reply: fetch again at `When`, or give up.
struct TBusyVerdict {
  enum TKind {
    Retry,
    TooManyRetries,  // `Retries` fetches again already got the same answer
    WaitTooLong      // the server asked for `Asked`, more than the bound
  } Kind = Retry;
  std::chrono::steady_clock::time_point When{};
  int Status = 0;
  int Retries = 0;
  std::chrono::seconds Asked{0};
  std::chrono::seconds Bound{0};
};

// Default wait before fetching again when a 429 or 503 names none: 5 s,
// doubling with each retry.
inline constexpr std::chrono::seconds kBusyBackoff{5};

class THostPacing {
 public:
  using TTime = std::chrono::steady_clock::time_point;

  THostPacing(TPacingOptions options, TPacingClock clock, TRandomSource random);

  // `host` is a key for one server, such as the lower-case host name and
  // port: requests are counted and spaced per key.
  TStartVerdict MayStart(const std::string& host) const;
  void Started(const std::string& host);
  void Finished(const std::string& host);

  // The pause a site's robots.txt asks for; it raises the user's wait for
  // that host and is never shortened by the random spread.
  void SetCrawlDelay(const std::string& host, std::chrono::milliseconds delay);
  // Starts nothing on the host before `until` (robots.txt to be asked again).
  void HoldUntil(const std::string& host, TTime until);

  // A reply with `status` 429 or 503 for an entry that has been fetched
  // again `retries` times after such replies before. A retry holds the whole
  // host until its time, since the server spoke for all of its pages; a
  // wait above the bound holds the host for the bound and gives the entry
  // up.
  TBusyVerdict BusyReply(const std::string& host, int status,
                         std::optional<std::chrono::seconds> retryAfter, int retries);

  const TPacingOptions& Options() const { return options_; }

 private:
  struct THost {
    int Active = 0;
    TTime NotBefore{};
    std::chrono::milliseconds CrawlDelay{0};
  };
  bool Spaced(const THost& host) const;

  TPacingOptions options_;
  TPacingClock clock_;
  TRandomSource random_;
  std::map<std::string, THost, std::less<>> hosts_;
};

}  // namespace kestrix
