// The exploration test's own fetcher: an HTTP client that fetches one entry
// into the test's cache folder and reports what happened. Unlike the
// download worker it sends neither a date condition nor a byte range, and
// it never touches the download queue.
#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "http/body_decoder.h"
#include "http/http_client.h"
#include "http/streams.h"

namespace kestrix {

struct TGlobalOptions;
struct TRetriveRec;

class TExplorerFetcher : public THttpCli {
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
  bool Running() const { return running_; }
  // Stops the running fetch; OnFinished still comes.
  void Stop();
  // Stops at once and drops every handler: nothing is reported afterwards.
  void Detach();
  // The reason shown for the last fetch.
  const std::string& Outcome() const { return outcome_; }

 private:
  void HandleLocationChange();
  void HandleHeaderEnd();
  void HandleDocBegin();
  void HandleDocData(const char* data, int length);
  void HandleRequestDone(int error);
  void Status(const std::string& text);
  void TimedOut();

  const TGlobalOptions& options_;
  TRetriveRec* entry_ = nullptr;
  std::unique_ptr<TFileOutStream> file_;
  std::unique_ptr<TBodyDecoder> decoder_;
  std::unique_ptr<TMemoryInStream> post_;
  QTimer idleTimer_;
  std::string outcome_;
  int relocations_ = 0;
  bool running_ = false;
  bool timedOut_ = false;
  bool relocationLoop_ = false;
  bool undecodable_ = false;
};

}  // namespace kestrix
