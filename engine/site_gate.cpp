#include "engine/site_gate.h"

#include <random>

#include "core/ascii.h"
#include "core/global_options.h"
#include "core/url_split.h"
#include "engine/cookie_jar.h"
#include "engine/robots_cache.h"
#include "engine/robots_fetcher.h"
#include "engine/robots_outcome.h"
#include "http/exchange_tap.h"
#include "http/tls_context.h"

namespace kestrix {
namespace {

using std::chrono::milliseconds;
using TClock = std::chrono::steady_clock;

std::string SchemeDefaultPort(const std::string& scheme) {
  return scheme == "https" ? "443" : "80";
}

}  // namespace

std::string OriginOf(const std::string& url) {
  const TUrlParts parts = SplitUrl(url);
  const std::string scheme = parts.Proto.empty() ? "http" : AsciiLower(parts.Proto);
  const std::string port = parts.Port.empty() ? SchemeDefaultPort(scheme) : parts.Port;
  return scheme + "://" + AsciiLower(parts.Host) + ":" + port;
}

std::string PathAndQueryOf(const std::string& url) {
  const size_t scheme = url.find("://");
  const size_t start = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  if (start == std::string::npos) return "/";
  const size_t end = url.find('#', start);
  return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct TSiteGate::TSite {
  enum class TState { Unknown, Fetching, Held, Known } State = TState::Unknown;
  TRobotsRules Rules;
  std::unique_ptr<TExchangeTap> Tap;  // before the fetcher, whose client ends on it
  std::unique_ptr<TRobotsFetcher> Fetcher;
  int Tries = 0;
  std::set<int> Waiters;
  std::optional<TRobotsCacheEntry> Older;  // a kept answer too old to trust but for an outage
  std::string CachePath;
};

TSiteGate::TSiteGate(TSiteGateSetup setup)
    : setup_(std::move(setup)),
      pacing_(
          setup_.Pacing, [] { return TClock::now(); },
          [random = std::minstd_rand(std::random_device()())]() mutable {
            return std::uniform_real_distribution<double>(0, 1)(random);
          }) {}

TSiteGate::~TSiteGate() = default;

TSiteGate::TSite& TSiteGate::SiteOf(const std::string& origin) {
  std::unique_ptr<TSite>& slot = sites_[origin];
  if (slot) return *slot;
  slot = std::make_unique<TSite>();
  TSite& site = *slot;
  if (!setup_.Project.empty()) {
    const TUrlParts parts = SplitUrl(origin);
    site.CachePath =
        RobotsCachePath(setup_.DownloadFolder, setup_.Project, parts.Proto, parts.Host, parts.Port);
    if (std::optional<TRobotsCacheEntry> kept = LoadRobotsCache(site.CachePath)) {
      if (IsFreshRobotsCache(*kept, UnixNow())) {
        UseRules(origin, site, RulesOf(*kept));
      } else {
        site.Older = std::move(kept);
      }
    }
  }
  return site;
}

TGateAnswer TSiteGate::Ask(int slot, const std::string& url, bool checkRobots) {
  const std::string origin = OriginOf(url);
  if (setup_.FollowRobots) {
    TSite& site = SiteOf(origin);
    if (site.State != TSite::TState::Known) {
      site.Waiters.insert(slot);
      if (site.State == TSite::TState::Unknown) AskRobots(origin, site);
      return TGateAnswer::Wait;
    }
    if (checkRobots && !site.Rules.Allowed(PathAndQueryOf(url))) return TGateAnswer::Refused;
  }
  const TStartVerdict verdict = pacing_.MayStart(origin);
  switch (verdict.Kind) {
    case TStartVerdict::Now:
      pacing_.Started(origin);
      return TGateAnswer::Go;
    case TStartVerdict::At:
      timeWaiters_.insert(slot);
      WakeAt(verdict.When);
      return TGateAnswer::Wait;
    case TStartVerdict::WhenOneEnds:
      hostWaiters_[origin].insert(slot);
      return TGateAnswer::Wait;
  }
  return TGateAnswer::Go;
}

void TSiteGate::Finished(const std::string& url) {
  const std::string origin = OriginOf(url);
  pacing_.Finished(origin);
  const auto waiting = hostWaiters_.find(origin);
  if (waiting != hostWaiters_.end()) WakeAll(waiting->second);
}

TBusyVerdict TSiteGate::BusyReply(const std::string& url, int status, int64_t retryAfter,
                                  int retries) {
  std::optional<std::chrono::seconds> asked;
  if (retryAfter >= 0) asked = std::chrono::seconds(retryAfter);
  return pacing_.BusyReply(OriginOf(url), status, asked, retries);
}

bool TSiteGate::KnownRefused(const std::string& url) const {
  if (!setup_.FollowRobots) return false;
  const auto found = sites_.find(OriginOf(url));
  if (found == sites_.end() || found->second->State != TSite::TState::Known) return false;
  return !found->second->Rules.Allowed(PathAndQueryOf(url));
}

bool TSiteGate::HostWanted(const std::string& url) const {
  const auto found = hostWaiters_.find(OriginOf(url));
  return found != hostWaiters_.end() && !found->second.empty();
}

std::vector<int> TSiteGate::DropWaiters() {
  std::set<int> all;
  all.swap(timeWaiters_);
  for (auto& [origin, waiting] : hostWaiters_) all.merge(waiting);
  hostWaiters_.clear();
  for (auto& [origin, site] : sites_) all.merge(site->Waiters);
  return {all.begin(), all.end()};
}

void TSiteGate::AskRobots(const std::string& origin, TSite& site) {
  site.State = TSite::TState::Fetching;
  ++site.Tries;
  site.Fetcher.reset();
  site.Tap = setup_.MakeTap ? setup_.MakeTap() : nullptr;
  site.Fetcher = std::make_unique<TRobotsFetcher>(
      setup_.Options, origin + "/robots.txt", [this, origin](const TRobotsAnswer& answer) {
        // Taken in later: the answer's fetcher is done with then.
        deferred_.Post([this, origin, answer] { RobotsAnswered(origin, answer); });
      });
  site.Fetcher->RecordTo(site.Tap.get());
  std::shared_ptr<TTlsContext> tls;
  if (origin.starts_with("https:") && setup_.TlsContext) {
    tls = setup_.TlsContext({setup_.Options.TlsAcceptUnverified, setup_.Options.TlsCaFile});
  }
  if (!site.Fetcher->Start(std::move(tls))) {
    deferred_.Post([this, origin] { RobotsAnswered(origin, TRobotsAnswer{}); });
  }
}

void TSiteGate::RobotsAnswered(const std::string& origin, const TRobotsAnswer& answer) {
  TSite& site = *sites_.at(origin);
  site.Fetcher.reset();
  // The site's pages will fail the same way at once, and say why: holding
  // them back for the rules would only delay that.
  if (answer.Definitive) {
    return UseRules(origin, site, site.Older ? RulesOf(*site.Older) : TRobotsRules());
  }
  const TRobotsOutcome outcome =
      RobotsFetchOutcome(answer.Status, answer.Relocations, site.Tries, answer.RetryAfter);
  const TRobotsCacheEntry kept{UnixNow(), answer.Status, answer.Body};
  switch (outcome.Action) {
    case TRobotsAction::Parse:
      if (!site.CachePath.empty()) SaveRobotsCache(site.CachePath, kept);
      return UseRules(origin, site, TRobotsRules::Parse(answer.Body));
    case TRobotsAction::Follow:  // the client follows relocations; one it could not is no file
    case TRobotsAction::AllowAll:
      if (!site.CachePath.empty() && answer.Status >= 400) SaveRobotsCache(site.CachePath, kept);
      return UseRules(origin, site, TRobotsRules());
    case TRobotsAction::RetryLater: {
      site.State = TSite::TState::Held;
      const auto wait = std::chrono::duration_cast<milliseconds>(outcome.RetryIn);
      pacing_.HoldUntil(origin, TClock::now() + wait);
      deferred_.PostAfter(static_cast<int>(wait.count()), [this, origin] {
        TSite& held = *sites_.at(origin);
        if (held.State == TSite::TState::Held) AskRobots(origin, held);
      });
      return;
    }
    case TRobotsAction::Unreachable:
      return UseRules(origin, site,
                      site.Older ? RulesOf(*site.Older) : TRobotsRules::DisallowAll());
  }
}

void TSiteGate::UseRules(const std::string& origin, TSite& site, TRobotsRules rules) {
  site.Rules = std::move(rules);
  site.State = TSite::TState::Known;
  if (const std::optional<double> delay = site.Rules.CrawlDelay()) {
    pacing_.SetCrawlDelay(origin, milliseconds(static_cast<int64_t>(*delay * 1000)));
  }
  WakeAll(site.Waiters);
}

void TSiteGate::WakeAll(std::set<int>& waiting) {
  for (const int slot : waiting) {
    deferred_.Post([this, slot] {
      if (setup_.Wake) setup_.Wake(slot);
    });
  }
  waiting.clear();
}

void TSiteGate::WakeAt(TClock::time_point when) {
  const auto wait = std::chrono::ceil<milliseconds>(when - TClock::now());
  deferred_.PostAfter(static_cast<int>(std::max<int64_t>(wait.count(), 1)),
                      [this] { WakeAll(timeWaiters_); });
}

}  // namespace kestrix
