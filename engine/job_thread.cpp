#include "engine/job_thread.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "core/ascii.h"
#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "core/url_list.h"
#include "core/whole_file.h"
#include "engine/download_control.h"
#include "engine/engine_observer.h"
#include "engine/page_lines.h"
#include "engine/page_type.h"
#include "engine/request_options.h"
#include "engine/site_gate.h"
#include "http/socket_errors.h"
#include "links/content_names.h"
#include "links/crawl_traps.h"
#include "links/html_items.h"
#include "links/koi8.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"
#include "links/script_files.h"

namespace kestrix {
namespace {

constexpr int kNotModified = 304;
constexpr int kRangeNotSatisfiable = 416;
// A saved script is searched for file names in its first bytes only: the
// scripts that load files by name are small, bundles of libraries are not.
constexpr size_t kMaxScriptFileBytes = 2 << 20;
constexpr int kTooManyRequests = 429;
constexpr int kServiceUnavailable = 503;

bool IsInterruption(int errorCode) {
  return errorCode == WSAECONNABORTED || errorCode == WSAECONNRESET || errorCode == WSAETIMEDOUT ||
         errorCode == kErrShortBody;
}

}  // namespace

TJobThread::TJobThread(TDownloadControl& control) : control_(control) {}

TJobThread::~TJobThread() = default;

void TJobThread::Setup(int slot) {
  if (CurrentEntry == nullptr) return;
  CurrentEntry->WorkerIndex = slot;
  SlotIndex = slot;
}

void TJobThread::Report(const TEntryEvent& event) {
  control_.ReportEntry(QueueIndex, event);
}

void TJobThread::StartEntry() {
  retries_ = 0;
  busyRetries_ = 0;
  restartedWhole_ = false;
  Execute();
}

// Whether the saved copy may be judged by its date alone. A copy left behind
// by an interrupted transfer, or one that is gone from the disk, must be
// fetched whole even when the server says the document has not changed.
bool TJobThread::MayAskWithDate() const {
  const TRetriveRec& entry = *CurrentEntry;
  if ((entry.LastModified == 0 && entry.ETag.empty()) || IsInterruption(entry.ErrorCode))
    return false;
  std::error_code error;
  return std::filesystem::is_regular_file(entry.LocalFolder + entry.LocalFileName, error);
}

bool TJobThread::PassGate() {
  TRetriveRec& entry = *CurrentEntry;
  waiting_ = false;
  // The starting URLs and a form the user sends are the user's own
  // requests; the links found on pages are the site's rules' to allow.
  const bool checkRobots = entry.ParentIndex >= 0 && entry.RequestMethod != kMethodPost;
  switch (control_.Gate().Ask(SlotIndex, entry.Job.editUrl, checkRobots)) {
    case TGateAnswer::Go:
      gated_ = true;
      gatedUrl_ = entry.Job.editUrl;
      return true;
    case TGateAnswer::Wait: {
      waiting_ = true;
      control_.SetWorkerState(SlotIndex, TSlotState::Busy);
      TEntryEvent held;
      held.Phase = TEntryPhase::Waiting;
      Report(held);
      return false;
    }
    case TGateAnswer::Refused: {
      ++control_.Context().State.RobotsRefused;
      entry.ErrorCode = kRobotsRefusedError;
      control_.SetWorkerState(SlotIndex, TSlotState::Busy);
      TEntryEvent ended;
      ended.Phase = TEntryPhase::Ended;
      ended.ErrorCode = kRobotsRefusedError;
      ended.Outcome = TFetchOutcome::RobotsRefused;
      EndUnfetched(ended);
      return false;
    }
  }
  return true;
}

void TJobThread::GateFinished() {
  if (!gated_) return;
  gated_ = false;
  TSiteGate& gate = control_.Gate();
  gate.Finished(gatedUrl_);
  // A kept connection would be one more than the host allows once a
  // waiting worker opens its own.
  if (State() == httpReady && gate.HostWanted(gatedUrl_)) Abort();
}

void TJobThread::EndUnfetched(TEntryEvent ended) {
  CurrentEntry->StatusCode = 0;
  control_.Post([this, ended] {
    Report(ended);
    NoteOutcome(ended.ErrorCode);
    control_.SetWorkerState(SlotIndex, TSlotState::Idle);
    control_.EntryDone();
    control_.WorkerSettled();
  });
}

void TJobThread::StopWaiting() {
  if (!waiting_) return;
  waiting_ = false;
  control_.Post([this] {
    CurrentEntry->ErrorCode = WSAECONNABORTED;
    TEntryEvent aborted;
    aborted.Phase = TEntryPhase::Ended;
    aborted.ErrorCode = WSAECONNABORTED;
    Report(aborted);
    control_.SetStopRequested(true);
    control_.SetWorkerState(SlotIndex, TSlotState::Idle);
    control_.WorkerSettled();
  });
}

void TJobThread::Execute() {
  if (!PassGate()) return;
  TRetriveRec& entry = *CurrentEntry;
  PrepareRequest(entry, control_.Context().Options);
  UseCookies(&control_.Cookies());
  ReadThrottle = control_.Throttle();
  TEntryEvent started;
  started.Phase =
      entry.RequestMethod == kMethodPost ? TEntryPhase::Posting : TEntryPhase::Connecting;
  started.Size = TEntryEvent::TSize::Cleared;
  Report(started);

  if (StartsNoCase(URL, "https:")) {
    if (auto shared = control_.SharedTlsContext(TlsSettings)) TlsContext = std::move(shared);
  }
  // A server without Last-Modified may still tell an unchanged copy by its ETag.
  if (MayAskWithDate()) {
    ModifiedSince = entry.LastModified;
    IfNoneMatch = entry.ETag;
  }
  // Only a local file that holds exactly the part received so far may be
  // resumed; anything else is fetched whole again.
  resuming_ = false;
  if (entry.ReceivedSize < entry.ContentSize) {
    ModifiedSince = 0;
    IfNoneMatch.clear();
    if (entry.ReceivedSize > 0 &&
        LocalFileSize(entry.LocalFolder + entry.LocalFileName) == entry.ReceivedSize) {
      resuming_ = true;
      ContentRangeBegin = std::to_string(entry.ReceivedSize);
      ContentRangeEnd = std::to_string(entry.ContentSize - 1);  // the last byte, not the size
    } else {
      entry.ReceivedSize = 0;
      entry.ContentSize = 0;
    }
  }
  keptFolder_ = entry.LocalFolder;
  keptName_ = entry.LocalFileName;
  discarding_ = false;
  bodyOpened_ = false;
  folderNotMade_ = false;
  AnalyseAllowed = true;
  control_.SetWorkerState(SlotIndex, TSlotState::Busy);

  if (std::optional<std::string> failure = StartRequest(entry)) {
    // No request was started, so no completion will come: finish the entry
    // here, later, as the client would have.
    GateFinished();
    TEntryEvent ended;
    ended.Phase = TEntryPhase::Ended;
    ended.ErrorCode = entry.ErrorCode;
    ended.Outcome = TFetchOutcome::NotStarted;
    ended.Reason = std::move(*failure);
    EndUnfetched(ended);
  }
}

void TJobThread::Relocated() {
  TRetriveRec& entry = *CurrentEntry;
  const std::string target = FollowRelocation();
  control_.Context().State.Queue.PinUrl(QueueIndex);
  entry.Job.editUrl = target;
  // A page that links to where this row moved finds the row.
  control_.Context().State.Queue.AddAlias(QueueIndex, target);
  if (entry.ParentIndex < 0) {
    entry.StartUrl = target;
    entry.LocalFolder = LocalDir(target, control_.Context().Options.DownLoadFolder,
                                 entry.Job->ProjectName, entry.Job->checkReplicate);
    // Named once the reply says whether it is a page; naming it here as well
    // would use up a second name for the same document.
    entry.LocalFileName.clear();
  }
  TEntryEvent relocating;
  relocating.Phase = TEntryPhase::Relocating;
  Report(relocating);
}

void TJobThread::HeaderEnded() {
  TRetriveRec& entry = *CurrentEntry;
  // A "not modified" answer names no type; the saved copy stays what it was.
  if (StatusCode() != kNotModified) {
    entry.IsHtml = IsHtmlType(ContentType());
  }
  if (entry.ParentIndex < 0 && entry.LocalFileName.empty() && !keptName_.empty() &&
      entry.LocalFolder == keptFolder_) {
    // Relocated to the folder it had before (a start that always
    // redirects): it is still the same document, saved under its own name.
    entry.LocalFileName = keptName_;
  }
  if (entry.ParentIndex < 0 && entry.LocalFileName.empty()) {
    const TGlobalOptions& options = control_.Context().Options;
    const bool addHtm =
        entry.Job->checkLocalize && entry.Job->checkAddHtmExt && IsHtmlContentType(ContentType());
    entry.LocalFileName =
        MakeLocalFileName(entry.Job.editUrl, entry.LocalFolder, "", control_.Context().State.Names,
                          addHtm, options.DefaultDoc);
  }
  // Pages already linking to the old name are mended when the run ends.
  if (const std::optional<std::string> old =
          NameByContent(entry, control_.Context().State.Names, resuming_)) {
    control_.LinkBook().NoteRenamed(QueueIndex, *old);
  }
}

void TJobThread::RequestDone(int code) {
  // A page analysis is waiting in a nested event loop (a link script runs);
  // this completion would start a second analysis inside the first.
  if (control_.AnalysisRunning()) {
    control_.DeferCompletion([this, code] { CompleteRequest(code); });
    return;
  }
  CompleteRequest(code);
}

void TJobThread::CompleteRequest(int code) {
  TRetriveRec& entry = *CurrentEntry;
  GateFinished();
  entry.ErrorCode = code;
  if (!discarding_) entry.ReceivedSize += DecodedCount();
  TEngineState& state = control_.Context().State;
  state.WireBytes += ReceivedCount();
  state.SavedBytes += discarding_ ? 0 : DecodedCount();

  if (code == WSAECONNABORTED) {
    CloseBody();
    TEntryEvent aborted;
    aborted.Phase = TEntryPhase::Ended;
    aborted.ErrorCode = code;
    aborted.Reason = ReasonPhrase();
    Report(aborted);
    if (!control_.StopRequested() && entry.ReloadPending) {
      entry.ReloadPending = 0;
      Execute();
      return;
    }
    control_.SetStopRequested(true);
    entry.ReloadPending = 0;
    control_.SetWorkerState(SlotIndex, TSlotState::Idle);
    control_.WorkerSettled();
    return;
  }

  // A part that does not fit, or a server that cannot give the part asked
  // for: the document is fetched whole, once.
  if (code == 0 && (discarding_ || (resuming_ && StatusCode() == kRangeNotSatisfiable)) &&
      !restartedWhole_) {
    restartedWhole_ = true;
    CloseBody();
    entry.ReceivedSize = 0;
    entry.ContentSize = 0;
    entry.LastModified = 0;
    entry.ETag.clear();
    Execute();
    return;
  }

  // A busy server's answer holds its host for the wait it asks for; the
  // entry is fetched again then, a few times at most.
  busy_ = {};
  if (code == 0 && (StatusCode() == kTooManyRequests || StatusCode() == kServiceUnavailable)) {
    const TBusyVerdict verdict =
        control_.Gate().BusyReply(gatedUrl_, StatusCode(), RetryAfter(), busyRetries_);
    if (verdict.Kind == TBusyVerdict::Retry) {
      ++busyRetries_;
      CloseBody();
      Execute();
      return;
    }
    busy_ = {verdict.Status, verdict.Retries, verdict.Asked.count(), verdict.Bound.count(),
             verdict.Kind == TBusyVerdict::WaitTooLong};
  }

  // The client judges the body against its framing: a short one is
  // fetched again, when the user asked for retries.
  const bool retryable = code == WSAETIMEDOUT || code == kErrShortBody;
  if (control_.Context().Options.RetryFlag && retryable && retries_ < kMaxRetries) {
    ++retries_;
    CloseBody();
    entry.LastModified = 0;
    entry.ETag.clear();
    Execute();
    return;
  }
  TFetchOutcome outcome = busy_.Status != 0 ? TFetchOutcome::ServerBusy : TFetchOutcome::Reply;
  if (code == 0 && discarding_) {
    code = kErrUndecodableBody;
    outcome = TFetchOutcome::PartDoesNotFit;
  } else if (code == 0 && BodyOpen() && BodyReframed() && entry.ContentSize < 0) {
    entry.ContentSize = entry.ReceivedSize;  // arrived whole: now its size is known
  }
  entry.ErrorCode = code;
  entry.StatusCode = code == 0 ? StatusCode() : 0;
  entry.CapLimit = LimitHit();
  // A body that could not be framed or decoded is no page to read links from.
  if (code == kErrUndecodableBody || code == kErrUnframedReply) AnalyseAllowed = false;
  std::string detail;
  if (BodyFailureCode() != 0 || code == kErrFileTooSlow) {
    outcome = TFetchOutcome::NotKept;
    detail = BodyFailure();
    DropUnkeptBody();
  }
  // Before the entry is counted, which would hand this worker the next one.
  if (code == kErrDiskFull) {
    control_.StopRun({TStopCause::DiskFull, 0, detail});
  } else if (folderNotMade_) {
    control_.StopRun({TStopCause::FolderNotMade, 0, detail});
  }
  FinishEntry(code, outcome, detail);
}

void TJobThread::DropUnkeptBody() {
  TRetriveRec& entry = *CurrentEntry;
  AnalyseAllowed = false;
  CloseBody();
  // What arrived of it must not look like a copy offline; a copy saved
  // before, which this reply never touched, stays.
  if (bodyOpened_) {
    std::error_code ignored;
    std::filesystem::remove(entry.LocalFolder + entry.LocalFileName, ignored);
  }
  entry.ReceivedSize = 0;
  entry.ContentSize = 0;
  entry.LastModified = 0;
  entry.ETag.clear();
}

void TJobThread::FinishEntry(int code, TFetchOutcome outcome, const std::string& detail) {
  TRetriveRec& entry = *CurrentEntry;
  CloseBody();
  TEntryEvent ended;
  ended.Phase = TEntryPhase::Ended;
  ended.Size = TEntryEvent::TSize::Saved;
  ended.ErrorCode = code;
  ended.Outcome = outcome;
  ended.Reason = ReasonPhrase();
  ended.Detail = detail;
  ended.Busy = busy_;
  if (retries_ >= kMaxRetries && control_.Context().Options.RetryFlag &&
      (code == WSAETIMEDOUT || code == kErrShortBody)) {
    ended.Outcome = TFetchOutcome::GaveUp;
  }
  Report(ended);
  NoteOutcome(code);

  // The worker counts as busy until its page is analysed: a command given
  // while a link script waits must not hand it another entry meanwhile.
  if (AnalyseAllowed && entry.ReceivedSize > 0 && DecodedCount() > 0) ProcessPage();
  control_.SetWorkerState(SlotIndex, TSlotState::Idle);

  // A reset ends the worker's chain without counting the entry.
  if (code == WSAECONNRESET) {
    control_.WorkerSettled();
    return;
  }
  control_.EntryDone();
  control_.WorkerSettled();
}

// A fetch that ended with no file on disk leaves the links to it dead;
// an interrupted one is fetched again later and leaves them as they are.
void TJobThread::NoteOutcome(int code) {
  if (code == WSAECONNABORTED || code == WSAECONNRESET) return;
  const TRetriveRec& entry = *CurrentEntry;
  const bool saved =
      !entry.LocalFileName.empty() && LocalFileSize(entry.LocalFolder + entry.LocalFileName) >= 0;
  control_.LinkBook().NoteOutcome(QueueIndex, saved, entry.ScriptNamed != 0);
}

bool TJobThread::PageComplete() const {
  const TRetriveRec& entry = *CurrentEntry;
  return !(entry.ContentSize > 0 && entry.ReceivedSize < entry.ContentSize);
}

void TJobThread::ProcessPage() {
  TRetriveRec& entry = *CurrentEntry;
  if (entry.LinkKind == kKindScript && entry.ParentIndex >= 0) {
    if (PageComplete()) AnalyseScript();
    return;
  }
  if (!entry.IsHtml) return;
  // A partial page is left as received: decoding or rewriting it would
  // spoil the file that the missing part is later appended to.
  const bool complete = PageComplete();
  const std::string path = entry.LocalFolder + entry.LocalFileName;
  // Analysis holds the whole page in memory: a page past the limit is kept
  // as received, links and all.
  const int64_t limit = control_.Context().Options.MaxParsedPage;
  if (limit > 0 && LocalFileSize(path) > limit) {
    TEngineNotice notice;
    notice.Kind = TNoticeKind::PageNotAnalysed;
    notice.Subject = entry.Job.editUrl;
    notice.Value = limit;
    control_.Context().Observer.NoticeReported(notice);
    return;
  }
  const bool koi8 = (entry.RemoteFlag == 0 && entry.Job->lclcheckKoi8) ||
                    (entry.RemoteFlag == 1 && entry.Job->rmtcheckKoi8);
  if (koi8 && complete) DecodeKoi8File(path);
  control_.BeginAnalysis();
  try {
    AnalysePage(path, complete);
  } catch (const std::exception& failure) {
    control_.ReportNotice(TNoticeKind::PageProblem, entry.Job.editUrl, failure.what());
  }
  control_.EndAnalysis();
}

void TJobThread::AnalysePage(const std::string& path, bool complete) {
  TRetriveRec& entry = *CurrentEntry;
  TPageLines page;
  if (!LoadPageLines(path, page)) return;
  const TGlobalOptions& options = control_.Context().Options;
  TAnalysisTarget target{control_.Context().State, options.DownLoadFolder, options.DefaultDoc,
                         TrapLimitsOf(options),
                         [this](const std::string& url) { return control_.RobotsRefuse(url); }};
  std::vector<std::string> notes;
  std::vector<int32_t> linked;
  const bool rewrite = entry.Job->checkLocalize && complete;
  const std::optional<std::string> failure = ParsePage(
      page.Lines, entry, QueueIndex, target, control_.Resolver(entry.Job->checkLoadScript),
      control_.Context().Parser, &notes, rewrite ? &linked : nullptr);
  for (const std::string& note : notes) {
    control_.ReportNotice(TNoticeKind::PageProblem, entry.Job.editUrl, note);
  }
  if (failure) {
    // The page's analysis ended there; its saved copy stays as received.
    control_.ReportNotice(TNoticeKind::PageProblem, entry.Job.editUrl, *failure);
    return;
  }
  if (rewrite && SavePageLines(path, page)) {
    control_.LinkBook().SetPageLinks(QueueIndex, std::move(linked));
  } else if (rewrite) {
    // The copy on disk still links to the site; saying OK would hide that.
    TEntryEvent notRewritten;
    notRewritten.Phase = TEntryPhase::Ended;
    notRewritten.Size = TEntryEvent::TSize::Saved;
    notRewritten.ErrorCode = entry.ErrorCode;
    notRewritten.Outcome = TFetchOutcome::NotRewritten;
    Report(notRewritten);
    control_.ReportNotice(TNoticeKind::PageNotRewritten, entry.Job.editUrl);
  }
}

// A saved script's strings may name files it loads itself (a search
// index, data, pictures); they are queued as parts of the page that runs
// the script, against whose folder the script's relative names resolve.
void TJobThread::AnalyseScript() {
  const TRetriveRec& entry = *CurrentEntry;
  UrlList& queue = control_.Context().State.Queue;
  if (!entry.Job->checkLoadScript || entry.ParentIndex >= queue.Count()) return;
  const std::string path = entry.LocalFolder + entry.LocalFileName;
  std::optional<std::string> script = ReadFileUpTo(path, kMaxScriptFileBytes);
  if (!script) return;
  const TGlobalOptions& options = control_.Context().Options;
  TAnalysisTarget target{control_.Context().State, options.DownLoadFolder, options.DefaultDoc,
                         TrapLimitsOf(options)};
  const std::optional<std::string> failure = AnalyseScriptFile(
      *script, queue.Entry(entry.ParentIndex), entry.ParentIndex, target, control_.Resolver(false));
  if (failure) control_.ReportNotice(TNoticeKind::PageProblem, entry.Job.editUrl, *failure);
}

}  // namespace kestrix
