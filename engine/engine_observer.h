// How the download engine tells a front end what changed. The engine reports
// values only: it never prints, shows a dialog, reads a widget or composes a
// text for the user. The desktop program, the command line and the tests
// implement this interface and format what they show; engine/queue_texts.h
// holds the texts both front ends share.
#pragma once

#include <cstdint>
#include <string>

#include "warc/warc_error.h"

namespace kestrix {

// What a queue entry is doing, as its worker reports it.
enum class TEntryPhase : uint8_t {
  Queued,        // appended by a job start; nothing was fetched for it yet
  Waiting,       // held back before its request: the site's robots.txt or pacing
  Connecting,    // its GET has started
  Posting,       // its POST has started
  Relocating,    // the reply moved it; the entry holds its new URL
  Transferring,  // its body arrives
  Ended,         // the fetch is over; Outcome says how
};

// How an ended fetch turned out, beyond the entry's ErrorCode.
enum class TFetchOutcome : uint8_t {
  Reply,           // as Reason (the reply's or the client's own) and the code say
  NotStarted,      // the request could not be started; Reason says why
  GaveUp,          // every retry failed as well
  PartDoesNotFit,  // a partial reply did not continue the saved copy
  NotRewritten,    // the page's links could not be saved back into it
  NotKept,         // the body passed a limit or could not be written; Detail: the
                   // path and the system's reason of a write failure
  RobotsRefused,   // the site's robots.txt disallows it; nothing was fetched
  ServerBusy,      // a 429 or 503 was given up on; Busy says why
};

// Why an entry was given up on after "429 Too Many Requests" or "503
// Service Unavailable" replies.
struct TBusyFacts {
  int32_t Status = 0;
  int32_t Retries = 0;       // fetches again that got the same answer
  int64_t Asked = 0;         // seconds the last reply asked to wait
  int64_t Bound = 0;         // the longest wait honoured, in seconds
  bool WaitTooLong = false;  // else: too many retries
};

// The size column's facts while a body arrives.
struct TTransferProgress {
  int64_t SavedBefore = 0;   // bytes of the document kept from earlier fetches
  int64_t DocumentSize = 0;  // the whole document's size; -1 when unknown
  int64_t Received = 0;      // body bytes of this reply so far
  int64_t Announced = -1;    // this reply's Content-Length; -1 when it gave none
};

// One change of a queue entry. Only the parts flagged as changed replace
// what the entry's row showed before.
struct TEntryEvent {
  TEntryPhase Phase = TEntryPhase::Queued;
  // The size column: cleared (Connecting), the progress of the body
  // (Transferring), or the bytes saved (Ended).
  enum class TSize : uint8_t { Unchanged, Cleared, Progress, Saved } Size = TSize::Unchanged;
  TTransferProgress Progress;
  // The date column: the reply's Last-Modified date, 0 when it gave none.
  bool DateChanged = false;
  double Date = 0;
  // Ended only.
  int32_t ErrorCode = 0;
  TFetchOutcome Outcome = TFetchOutcome::Reply;
  std::string Reason;
  std::string Detail;
  TBusyFacts Busy;
};

// A job's state in the job list.
enum class TJobState : uint8_t { None, Started, Stopped, Completed };

// A worker slot's state.
enum class TSlotState : uint8_t { Empty, Idle, Busy };

// Why a run was ended before its queue was done, other than by the user.
enum class TStopCause : uint8_t {
  None,
  Files,          // Limit: the files one run may fetch
  Bytes,          // Limit: the body bytes one run may receive
  Time,           // Limit: the seconds one run may take
  DiskFull,       // Detail: the path and the system's reason
  FolderNotMade,  // Detail: the folder and the system's reason
};

struct TRunStop {
  TStopCause Cause = TStopCause::None;
  int64_t Limit = 0;
  std::string Detail;
};

// Things the user should hear about that are not an entry's outcome.
enum class TNoticeKind : uint8_t {
  BusyNotOpened,         // Subject: the project that was not opened
  BusyNotCleared,        // Subject: the project whose data was not cleared
  StillStopping,         // a start while the download still stops
  QuoteNotFound,         // a URL template's bracket has no partner; Detail: "<" or ">"
  HistoryRefused,        // Detail: what the history file held that was refused
  PageProblem,           // Subject: the page's URL; Detail: what went wrong analysing it
  PageNotRewritten,      // Subject: the page's URL, whose rewritten links could not be saved
  HistoryNotRenumbered,  // Subject: the project; Detail: its history file, left as it was
  PageNotAnalysed,       // Subject: the page's URL; Value: the parse limit it is larger than
  RunStopped,            // Stop: why the run ended before its queue was done
  WarcFailed,            // Warc: the web archive could not be created or written; the run
                         // goes on unrecorded
};

struct TEngineNotice {
  TNoticeKind Kind = TNoticeKind::PageProblem;
  std::string Subject;
  std::string Detail;
  int64_t Value = 0;
  TRunStop Stop;
  TWarcError Warc;
};

// What the end of a run did to the links of the saved pages.
struct TLinkMending {
  int32_t Pages = 0;               // pages and style sheets edited once more
  int32_t Links = 0;               // links changed in them
  int32_t NotWritten = 0;          // pages that could not be written back
  int32_t ScriptFilesMissing = 0;  // files named only in scripts that did not come
};

class EngineObserver {
 public:
  virtual ~EngineObserver() = default;

  // The queue grid. Entries are named by their queue index; the grid shows
  // the first `entries` of them (the entries handed out so far). Rows that a
  // shrinking grid loses forget what they showed.
  virtual void QueueRowsShown(int32_t /*entries*/) {}
  // Every entry of the queue, as the history file gave it, is shown.
  virtual void QueueLoaded(int32_t /*entries*/) {}
  // The queue was emptied.
  virtual void QueueCleared() {}
  virtual void EntryChanged(int32_t /*index*/, const TEntryEvent& /*event*/) {}
  virtual void EntrySelected(int32_t /*index*/) {}
  // Whether the front end wants the newest row selected as entries are handed out.
  virtual bool FollowTail() const { return false; }

  // The job list: job `jobNumber` (1-based, of the running project) changed
  // its state; every job in state `from` went to `to`. Jobs are named by
  // number, not by URL: two jobs may share a URL, and the engine normalises
  // the URL it starts.
  virtual void JobStateChanged(int /*jobNumber*/, TJobState /*state*/) {}
  virtual void JobStatesReplaced(TJobState /*from*/, TJobState /*to*/) {}

  // The counters: entries processed of the queue's `queued`.
  virtual void QueueStatusChanged(int32_t /*processed*/, int32_t /*queued*/) {}
  virtual void WorkerStateChanged(int /*slot*/, TSlotState /*state*/) {}
  // Downloading (true) or idle (false): the front end's busy indication.
  virtual void RunningChanged(bool /*running*/) {}
  // Every entry of the queue has been processed and the history was saved.
  virtual void QueueFinished(const std::string& /*project*/) {}
  virtual void NoticeReported(const TEngineNotice& /*notice*/) {}
  // A run has ended and the saved pages' links were mended; reported before
  // the run's end (RunningChanged(false), QueueFinished).
  virtual void LinksMended(const TLinkMending& /*mending*/) {}
};

}  // namespace kestrix
