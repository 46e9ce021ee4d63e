#include "engine/robots_fetcher.h"

#include <algorithm>

#include "core/global_options.h"
#include "engine/request_options.h"
#include "engine/robots_outcome.h"
#include "engine/robots_rules.h"
#include "http/socket_errors.h"
#include "http/tls_context.h"

namespace kestrix {
namespace {

// A site that takes longer than this to give its rules counts as one that
// gave no answer; its pages wait meanwhile, so the wait is kept short.
constexpr int kRobotsDeadlineSeconds = 60;

}  // namespace

// Keeps what robots rules read and drops the rest.
class TRobotsFetcher::TCappedBody : public TOutStream {
 public:
  void Write(const char* data, std::size_t size) override {
    const std::size_t room = kMaxRobotsBytes - std::min(kMaxRobotsBytes, Data.size());
    Data.append(data, std::min(size, room));
  }
  std::string Data;
};

TRobotsFetcher::TRobotsFetcher(const TGlobalOptions& options, std::string url, TDone done)
    : body_(std::make_unique<TCappedBody>()), done_(std::move(done)) {
  ApplyRequestOptions(client_, options);
  client_.URL = std::move(url);
  client_.Accept = "text/plain, */*";
  client_.ReceiveStream = body_.get();
  client_.OnLocationChange = [this](THttpCli& client) {
    if (++relocations_ > kMaxRobotsRelocations && client.State() != httpAborting) client.Abort();
  };
  client_.OnRequestDone = [this](THttpCli&, THttpRequest, std::uint16_t error) { Done(error); };
  const int seconds = std::clamp(options.TimeOut, 1, kRobotsDeadlineSeconds);
  deadline_.setSingleShot(true);
  QObject::connect(&deadline_, &QTimer::timeout, [this] {
    timedOut_ = true;
    if (client_.State() != httpReady && client_.State() != httpAborting) client_.Abort();
  });
  deadline_.setInterval(std::chrono::seconds(seconds));
}

TRobotsFetcher::~TRobotsFetcher() {
  deadline_.stop();
  client_.OnRequestDone = nullptr;
  client_.OnLocationChange = nullptr;
  client_.ReceiveStream = nullptr;
  if (client_.State() != httpReady && client_.State() != httpAborting) client_.Abort();
}

bool TRobotsFetcher::Start(std::shared_ptr<TTlsContext> tls) {
  if (tls) client_.TlsContext = std::move(tls);
  try {
    client_.GetAsync();
  } catch (const std::exception&) {
    return false;
  }
  deadline_.start();
  return true;
}

void TRobotsFetcher::Done(int error) {
  deadline_.stop();
  TRobotsAnswer answer;
  answer.Relocations = relocations_;
  // Relocations without end count as a missing file, as a status would.
  if (relocations_ > kMaxRobotsRelocations) {
    answer.Status = 310;
  } else if (error == 0 && client_.SocketLastError() == 0 && !timedOut_ &&
             client_.StatusCode() > 0) {
    answer.Status = client_.StatusCode();
    answer.Body = std::move(body_->Data);
    if (client_.RetryAfter() >= 0) answer.RetryAfter = std::chrono::seconds(client_.RetryAfter());
  } else {
    const int code = error != 0 ? error : client_.SocketLastError();
    answer.Definitive = (IsTlsError(code) && code != kErrTlsTruncated) || code == kErrProxyTunnel ||
                        code == WSAHOST_NOT_FOUND || code == WSANO_DATA ||
                        code == WSAECONNREFUSED || code == WSAEHOSTUNREACH ||
                        code == WSAENETUNREACH;
  }
  if (done_) done_(answer);
}

}  // namespace kestrix
