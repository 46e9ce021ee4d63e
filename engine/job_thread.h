// The download worker: an HTTP client that fetches one queue entry at a time,
// streams the body into the entry's local file (resuming a partial file when
// the server sends exactly the missing part), keeps the entry's queue row up
// to date, hands HTML pages to link analysis and then reports to the download
// control, which gives it the next entry. Despite the name it is no thread:
// every step runs from the client's events on the event loop's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/engine_observer.h"
#include "engine/fetch_core.h"
#include "engine/fetch_limits.h"
#include "http/socket_errors.h"

namespace kestrix {

class TDownloadControl;
struct TRetriveRec;

// The size of the file at `path`, or -1 when there is none.
int64_t LocalFileSize(const std::string& path);

class TJobThread : public TFetchCore {
 public:
  explicit TJobThread(TDownloadControl& control);
  ~TJobThread() override;

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
  // Held back by the gate (robots.txt, pacing) before its request.
  bool Waiting() const { return waiting_; }
  // Ends a wait as an abort would end a request (the download stops).
  void StopWaiting();

 private:
  void Relocated() override;
  void HeaderEnded() override;
  void BodyBegins() override;
  void BodyData(const char* data, int length) override;
  void RequestDone(int code) override;
  void CompleteRequest(int code);
  // Asks the gate whether the request may start: false when the worker
  // waits or the entry was ended unfetched.
  bool PassGate();
  void GateFinished();
  // Ends the entry without a request, later, as a completion would.
  void EndUnfetched(TEntryEvent ended);
  // A body that was not kept: its part is deleted, and a full disk or a
  // folder that cannot be made stops the run.
  void DropUnkeptBody();
  // `outcome` and `detail` say what went wrong beyond the code and the
  // reply's reason.
  void FinishEntry(int errorCode, TFetchOutcome outcome = TFetchOutcome::Reply,
                   const std::string& detail = {});
  // Reports a change of the current entry.
  void Report(const TEntryEvent& event);
  void NoteOutcome(int code);
  void ProcessPage();
  void AnalyseScript();
  void AnalysePage(const std::string& path, bool complete);
  bool PartFits(const std::string& path) const;
  bool MayAskWithDate() const;
  // Sets the request's date condition and part from the entry's saved copy.
  void SetConditions(TRetriveRec& entry);
  bool PageComplete() const;

  TDownloadControl& control_;
  // The local folder and name the entry had when the request started: a
  // start that relocates to where it went before keeps its file.
  std::string keptFolder_, keptName_;
  bool resuming_ = false;        // the request asks for the missing part only
  bool discarding_ = false;      // a partial reply that does not fit the saved part
  bool restartedWhole_ = false;  // the entry was already fetched anew for that
  bool bodyOpened_ = false;      // this reply's body went to the entry's file
  bool folderNotMade_ = false;   // not even the project folder could be made
  int retries_ = 0;
  int busyRetries_ = 0;  // fetches again after 429 or 503 replies
  TBusyFacts busy_;
  bool waiting_ = false;
  bool relocatedAway_ = false;  // the entry's URL is a relocation to another site
  // What a request asked beyond its URL: its date condition and part.
  struct TConditions {
    double ModifiedSince = 0;
    std::string IfNoneMatch, RangeBegin, RangeEnd;
    bool Resuming = false;
  };
  TConditions asked_;                // the last request's, as Execute set them
  std::optional<TConditions> held_;  // for the target of a relocation held at the gate
  bool gated_ = false;               // the gate counts this worker's request until it ends
  std::string gatedUrl_;             // the URL the gate was asked for (before relocations)
};

}  // namespace kestrix
