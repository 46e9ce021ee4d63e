#include "engine/host_pacing.h"

#include <algorithm>

namespace kestrix {

using std::chrono::milliseconds;
using std::chrono::seconds;

THostPacing::THostPacing(TPacingOptions options, TPacingClock clock, TRandomSource random)
    : options_(options), clock_(std::move(clock)), random_(std::move(random)) {}

// A host with a pause between requests gets one request at a time: the
// pause runs from the end of one to the start of the next.
bool THostPacing::Spaced(const THost& host) const {
  return options_.Wait.count() > 0 || host.CrawlDelay.count() > 0;
}

TStartVerdict THostPacing::MayStart(const std::string& host) const {
  const auto found = hosts_.find(host);
  if (found == hosts_.end()) return {};
  const THost& h = found->second;
  const int limit = Spaced(h) ? 1 : std::max(1, options_.MaxPerHost);
  if (h.Active >= limit) return {TStartVerdict::WhenOneEnds};
  if (clock_() < h.NotBefore) return {TStartVerdict::At, h.NotBefore};
  return {};
}

void THostPacing::Started(const std::string& host) {
  ++hosts_[host].Active;
}

void THostPacing::Finished(const std::string& host) {
  THost& h = hosts_[host];
  h.Active = std::max(0, h.Active - 1);
  if (!Spaced(h)) return;
  milliseconds gap = options_.Wait;
  if (options_.RandomWait) {
    const double factor = 0.5 + std::clamp(random_(), 0.0, 1.0);
    gap = milliseconds(static_cast<int64_t>(static_cast<double>(gap.count()) * factor));
  }
  gap = std::max(gap, h.CrawlDelay);
  h.NotBefore = std::max(h.NotBefore, clock_() + gap);
}

void THostPacing::SetCrawlDelay(const std::string& host, milliseconds delay) {
  hosts_[host].CrawlDelay = std::max(milliseconds(0), delay);
}

void THostPacing::HoldUntil(const std::string& host, TTime until) {
  THost& h = hosts_[host];
  h.NotBefore = std::max(h.NotBefore, until);
}

TBusyVerdict THostPacing::BusyReply(const std::string& host, int status,
                                    std::optional<seconds> retryAfter, int retries) {
  TBusyVerdict verdict;
  verdict.Status = status;
  verdict.Retries = retries;
  verdict.Bound = options_.MaxBusyWait;
  verdict.Asked =
      retryAfter ? *retryAfter : kBusyBackoff * (int64_t{1} << std::clamp(retries, 0, 20));
  const seconds wait = std::min(verdict.Asked, options_.MaxBusyWait);
  verdict.When = clock_() + wait;
  HoldUntil(host, verdict.When);
  if (retryAfter && *retryAfter > options_.MaxBusyWait) {
    verdict.Kind = TBusyVerdict::WaitTooLong;
  } else if (retries >= options_.MaxBusyRetries) {
    verdict.Kind = TBusyVerdict::TooManyRetries;
  }
  return verdict;
}

}  // namespace kestrix
