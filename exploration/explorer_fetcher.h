// The exploration test's own fetcher: fetches one entry into the test's
// cache folder and reports what happened. It shares the download worker's
// fetch core; unlike the worker it sends neither a date condition nor a
// byte range, and it never touches the download queue.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/fetch_core.h"

namespace kestrix {

struct TGlobalOptions;
struct TRetriveRec;

class TExplorerFetcher : public TFetchCore {
 public:
  explicit TExplorerFetcher(const TGlobalOptions& options);
  ~TExplorerFetcher() override;

  // Status lines ("Connect : ...", progress, the final size and reason).
  std::function<void(const std::string&)> OnStatus;
  // Lines for the log page.
  std::function<void(const std::string&)> OnLog;
  // A piece of an HTML body as it arrives.
  std::function<void(const std::string&)> OnHtmlPiece;
  // The fetch has ended; the entry holds its outcome.
  std::function<void()> OnFinished;

  // Starts fetching `entry`, which must outlive the fetch. False when a
  // fetch is already running or the request could not be started (the
  // entry's ErrorCode and the status say why).
  bool Fetch(TRetriveRec& entry);
  bool Running() const { return RequestRunning(); }
  // Stops the running fetch; OnFinished still comes.
  void Stop();
  // Stops at once and drops every handler: nothing is reported afterwards.
  void Detach();
  // The reason shown for the last fetch.
  const std::string& Outcome() const { return outcome_; }

 private:
  void Relocated() override;
  void HeaderEnded() override;
  void BodyBegins() override;
  void BodyData(const char* data, int length) override;
  void RequestDone(int code) override;
  void Status(const std::string& text);

  const TGlobalOptions& options_;
  TRetriveRec* entry_ = nullptr;
  std::string outcome_;
  bool undecodable_ = false;
};

}  // namespace kestrix
