// The download worker: an HTTP client that fetches one queue entry at a time,
// streams the body into the entry's local file (resuming a partial file when
// the server sends exactly the missing part), keeps the entry's queue row up
// to date, hands HTML pages to link analysis and then reports to the download
// control, which gives it the next entry. Despite the name it is no thread:
// every step runs from the client's events on the event loop's thread.
#pragma once

#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine_observer.h"
#include "engine/fetch_limits.h"
#include "http/body_decoder.h"
#include "http/http_client.h"
#include "http/socket_errors.h"

namespace kestrix {

class TDownloadControl;
struct TRetriveRec;

// The size of the file at `path`, or -1 when there is none.
int64_t LocalFileSize(const std::string& path);

class TJobThread : public THttpCli {
 public:
  explicit TJobThread(TDownloadControl& control);
  ~TJobThread();

  int32_t SlotIndex = 0;
  int32_t QueueIndex = 0;
  TRetriveRec* CurrentEntry = nullptr;  // owned by the queue
  bool AnalyseAllowed = false;

  // Records the slot in the worker and in its current entry.
  void Setup(int slot);
  // Starts fetching the current entry. A fresh hand-out (as opposed to a
  // retry or a reload by the worker itself) resets the retry count.
  void Execute();
  void StartEntry();

  int Retries() const { return retries_; }
  // Drops every handler, so that nothing is reported while the worker goes.
  void Detach();

 private:
  void HandleLocationChange();
  void HandleHeaderEnd();
  void HandleDocBegin();
  void HandleDocData(int length);
  void HandleRequestDone(int error);
  void CompleteRequest(int error);
  // `outcome` and `detail` say what went wrong beyond the code and the
  // reply's reason.
  void FinishEntry(int errorCode, TFetchOutcome outcome = TFetchOutcome::Reply,
                   const std::string& detail = {});
  // Reports a change of the current entry.
  void Report(const TEntryEvent& event);
  void ProcessPage();
  void AnalysePage(const std::string& path, bool complete);
  void NoteActivity();
  void TimedOut();
  void CloseReceiveStream();
  void OpenReceiveStream(const std::string& path);
  bool PartFits(const std::string& path) const;
  bool MayAskWithDate() const;
  bool PageComplete() const;

  TDownloadControl& control_;
  std::unique_ptr<TFileOutStream> file_;
  std::unique_ptr<TBodyDecoder> decoder_;  // between the client and file_ for a coded body
  // A coding the worker cannot undo, and its name.
  TFetchOutcome decodeFailure_ = TFetchOutcome::Reply;
  std::string unknownCoding_;
  // The local folder and name the entry had when the request started: a
  // start that relocates to where it went before keeps its file.
  std::string keptFolder_, keptName_;
  bool resuming_ = false;        // the request asks for the missing part only
  bool discarding_ = false;      // a partial reply that does not fit the saved part
  bool restartedWhole_ = false;  // the entry was already fetched anew for that
  std::unique_ptr<TMemoryInStream> post_;
  QTimer idleTimer_;
  int retries_ = 0;
  int relocations_ = 0;
  bool timedOut_ = false;
  bool relocationLoop_ = false;
  bool requestRunning_ = false;
  int requestSerial_ = 0;  // tells a late posted abort from the request it was meant for
};

}  // namespace kestrix
