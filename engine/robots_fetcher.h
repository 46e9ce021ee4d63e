// One robots.txt request on the event loop: the site's answer (status,
// body, Retry-After), or status 0 when no answer came (a failed lookup or
// connection, a time-out). The client follows relocations itself, a few
// times at most; the body is read no further than robots rules are read.
#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "http/http_client.h"

namespace kestrix {

struct TGlobalOptions;
class TTlsContext;

struct TRobotsAnswer {
  int Status = 0;  // of the last reply; 0 when none came
  std::string Body;
  std::optional<std::chrono::seconds> RetryAfter;
  int Relocations = 0;
  // No answer came, for a reason every request to the site meets at once
  // (no such host, nothing listening, a certificate refused, a proxy that
  // opens no tunnel): asking again later would only hold its pages back.
  bool Definitive = false;
};

class TRobotsFetcher {
 public:
  using TDone = std::function<void(const TRobotsAnswer&)>;
  // `done` comes once, from the event loop, unless the fetcher is destroyed
  // before; it may not destroy the fetcher itself.
  TRobotsFetcher(const TGlobalOptions& options, std::string url, TDone done);
  ~TRobotsFetcher();
  TRobotsFetcher(const TRobotsFetcher&) = delete;
  TRobotsFetcher& operator=(const TRobotsFetcher&) = delete;

  // Starts the request; false (and no `done`) when it could not start.
  bool Start(std::shared_ptr<TTlsContext> tls);
  // Feeds the exchanges to `tap`, which must outlive the fetcher.
  void RecordTo(TExchangeTap* tap) { client_.Tap = tap; }

 private:
  class TCappedBody;
  void Done(int error);

  THttpCli client_;
  std::unique_ptr<TCappedBody> body_;
  TDone done_;
  QTimer deadline_;
  int relocations_ = 0;
  bool timedOut_ = false;
};

}  // namespace kestrix
