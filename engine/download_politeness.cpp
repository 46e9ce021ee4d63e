// The download control's manners towards the sites it copies: the running
// project's cookie jar (loaded when a run begins, saved when it ends), the
// gate that holds requests back for robots.txt rules and pacing, and the
// run's bandwidth cap.
#include <filesystem>

#include "core/global_options.h"
#include "core/url_list.h"
#include "engine/cookie_file.h"
#include "engine/cookie_jar.h"
#include "engine/download_control.h"
#include "engine/job_thread.h"
#include "engine/rate_limiter.h"
#include "engine/site_gate.h"
#include "http/read_throttle.h"

namespace kestrix {
namespace {

// The run's cap as the clients' read throttle: one bucket for every worker.
class TRunThrottle : public TReadThrottle {
 public:
  explicit TRunThrottle(int64_t bytesPerSecond)
      : limiter_(bytesPerSecond, [] { return std::chrono::steady_clock::now(); }) {}

  TReadAllowance Allow(std::size_t wanted) override {
    const TRateLimiter::TGrant grant = limiter_.Take(static_cast<int64_t>(wanted));
    granted_ = grant.Bytes;
    if (grant.Bytes > 0) return {static_cast<std::size_t>(grant.Bytes), 0};
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        grant.RetryAt - std::chrono::steady_clock::now());
    return {0, static_cast<int>(std::max<int64_t>(wait.count(), 1))};
  }
  void Consumed(std::size_t count) override {
    // The socket held fewer bytes than were granted: the rest are still the run's.
    limiter_.Refund(granted_ - static_cast<int64_t>(count));
    granted_ = 0;
  }

 private:
  TRateLimiter limiter_;
  int64_t granted_ = 0;
};

}  // namespace

TCookieJar& TDownloadControl::Cookies() {
  if (cookies_) return *cookies_;
  cookies_ = std::make_unique<TCookieJar>();
  const int64_t now = UnixNow();
  if (!runningProject_.empty()) {
    LoadCookieFile(CookieJarPath(context_.Options.DownLoadFolder, runningProject_), *cookies_, now);
  }
  if (!context_.Options.CookieImport.empty()) {
    LoadCookieFile(context_.Options.CookieImport, *cookies_, now);
  }
  return *cookies_;
}

TSiteGate& TDownloadControl::Gate() {
  if (gate_) return *gate_;
  const TGlobalOptions& options = context_.Options;
  TPacingOptions pacing;
  pacing.MaxPerHost = std::max(1, options.PerHostConnections);
  pacing.Wait = std::chrono::milliseconds(std::max(0, options.WaitMs));
  pacing.RandomWait = options.RandomWait;
  gate_ = std::make_unique<TSiteGate>(
      TSiteGateSetup{options, options.DownLoadFolder, runningProject_, options.FollowRobots, pacing,
                     [this](int slot) { WakeWorker(slot); },
                     [this](const TTlsSettings& settings) { return SharedTlsContext(settings); },
                     [this] { return MakeWarcTap(); }});
  return *gate_;
}

TReadThrottle* TDownloadControl::Throttle() {
  if (!throttle_ && context_.Options.LimitRate > 0) {
    throttle_ = std::make_unique<TRunThrottle>(context_.Options.LimitRate);
  }
  return throttle_.get();
}

bool TDownloadControl::RobotsRefuse(const std::string& url) {
  if (!Gate().KnownRefused(url)) return false;
  ++context_.State.RobotsRefused;
  return true;
}

void TDownloadControl::WakeWorker(int slot) {
  TJobThread* worker = workers_.at(static_cast<size_t>(slot)).get();
  if (worker != nullptr && worker->Waiting() && !stopRequested_) worker->Execute();
}

void TDownloadControl::EndSiteSession() {
  if (cookies_) {
    const int64_t now = UnixNow();
    const std::string path = CookieJarPath(context_.Options.DownLoadFolder, runningProject_);
    std::error_code error;
    if (!runningProject_.empty() &&
        (cookies_->Count() > 0 || std::filesystem::exists(path, error))) {
      SaveCookieFile(path, *cookies_, now);
    }
    if (!context_.Options.CookieExport.empty()) {
      SaveCookieFile(context_.Options.CookieExport, *cookies_, now);
    }
  }
  cookies_.reset();
  gate_.reset();
  throttle_.reset();
}

}  // namespace kestrix
