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

#include "http/body_decoder.h"
#include "http/http_client.h"
#include "http/socket_errors.h"

namespace kestrix {

class TDownloadControl;
struct TRetriveRec;

// A worker gives up on one entry after this many retries, and on one request
// after this many relocations; without the caps a server that keeps failing
// or redirects in a circle would hold a worker for good.
inline constexpr int kMaxRetries = 5;
inline constexpr int kMaxRelocations = 20;
// Recorded for an entry whose relocations ran in a circle or too long: the
// loop error of the socket layer, whose text names a loop.
inline constexpr int kRelocationLoopError = WSAELOOP;

// The size column while a body arrives: the share of the whole document
// received so far when the reply gave its length, else the bytes so far.
std::string ProgressCellText(int64_t receivedSize, int64_t contentSize, int64_t receivedCount,
                             int64_t contentLength);

class TJobThread : public THttpCli {
 public:
  explicit TJobThread(TDownloadControl& control);
  ~TJobThread();

  std::string LastCellText;
  int32_t LastCellColumn = 0;
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
  void SetQueueCell(int column, const std::string& text);

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
  // `failure`, when given, is the state shown instead of the reply's reason.
  void FinishEntry(int errorCode, const std::string& failure = {});
  void ProcessPage();
  void AnalysePage(const std::string& path, bool complete);
  void ReadLastModified();
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
  std::string decodeFailure_;              // a coding the worker cannot undo
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
