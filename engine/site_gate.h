// What must be settled before a worker's request to a site may start: the
// site's robots.txt rules known and allowing the path (asked once per host
// and run, kept in the project folder for the next run), and the host's
// pacing (requests at once, the pause between them, a busy server's wait).
// A worker told to wait is woken by number once it may ask again; nothing
// here blocks the event loop.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/host_pacing.h"
#include "engine/robots_rules.h"
#include "http/deferred.h"

namespace kestrix {

class TExchangeTap;
class TRobotsFetcher;
class TTlsContext;
struct TGlobalOptions;
struct TRobotsAnswer;
struct TTlsSettings;

enum class TGateAnswer { Go, Wait, Refused };

struct TSiteGateSetup {
  const TGlobalOptions& Options;  // read at every robots.txt request
  // Where the robots.txt answers are kept (a project folder's); no project: nowhere.
  std::string DownloadFolder;
  std::string Project;
  bool FollowRobots = true;
  TPacingOptions Pacing;
  // Wakes a worker that was told to wait: it asks again.
  std::function<void(int slot)> Wake;
  std::function<std::shared_ptr<TTlsContext>(const TTlsSettings&)> TlsContext;
  // A recorder's tap for each robots.txt request; none: not recorded.
  std::function<std::unique_ptr<TExchangeTap>()> MakeTap;
};

class TSiteGate {
 public:
  explicit TSiteGate(TSiteGateSetup setup);
  ~TSiteGate();
  TSiteGate(const TSiteGate&) = delete;
  TSiteGate& operator=(const TSiteGate&) = delete;

  // Whether worker `slot` may start its request for `url` now. Go counts the
  // request as started (Finished must follow); Wait wakes the worker later;
  // Refused: the site's rules disallow the path (`checkRobots` only).
  TGateAnswer Ask(int slot, const std::string& url, bool checkRobots);
  // A request that was given Go has ended.
  void Finished(const std::string& url);
  // A 429 or 503 reply to `url`, for an entry already fetched again
  // `retries` times after such replies; `retryAfter` in seconds, -1: none.
  TBusyVerdict BusyReply(const std::string& url, int status, int64_t retryAfter, int retries);
  // Whether the rules known for the site of `url` disallow it; false while
  // they are not known yet.
  bool KnownRefused(const std::string& url) const;
  // Whether other workers wait for the host of `url`.
  bool HostWanted(const std::string& url) const;
  // Forgets the waiting workers (the download stops) and returns them.
  std::vector<int> DropWaiters();

 private:
  struct TSite;
  TSite& SiteOf(const std::string& origin);
  void AskRobots(const std::string& origin, TSite& site);
  void RobotsAnswered(const std::string& origin, const TRobotsAnswer& answer);
  void UseRules(const std::string& origin, TSite& site, TRobotsRules rules);
  void WakeAll(std::set<int>& waiting);
  void WakeAt(std::chrono::steady_clock::time_point when);

  TSiteGateSetup setup_;
  THostPacing pacing_;
  std::map<std::string, std::unique_ptr<TSite>> sites_;  // by origin
  std::map<std::string, std::set<int>> hostWaiters_;     // by pacing key
  std::set<int> timeWaiters_;
  TDeferred deferred_;
};

// The keys a URL is known by: its origin ("http://host:80", lower case)
// and its path with the query ("/a/b?x").
std::string OriginOf(const std::string& url);
std::string PathAndQueryOf(const std::string& url);

}  // namespace kestrix
