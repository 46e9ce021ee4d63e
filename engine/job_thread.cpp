#include "engine/job_thread.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "core/file_util.h"
#include "core/global_options.h"
#include "core/retrive_rec.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "engine/engine_observer.h"
#include "engine/page_lines.h"
#include "engine/queue_rows.h"
#include "engine/reply_header.h"
#include "http/socket_errors.h"
#include "links/koi8.h"
#include "links/link_extraction.h"
#include "links/local_naming.h"

namespace kestrix {
namespace {

constexpr int kAbortedByRequest = 3;

bool IsInterruption(int errorCode) {
  return errorCode == WSAECONNABORTED || errorCode == WSAECONNRESET || errorCode == WSAETIMEDOUT;
}

}  // namespace

std::string ProgressCellText(int64_t receivedSize, int64_t contentSize, int64_t receivedCount,
                             int64_t contentLength) {
  if (contentLength >= 1 && contentLength >= receivedCount) {
    const int64_t percent = (receivedSize + receivedCount) * 100 / (contentSize + 1);
    return "(" + std::to_string(percent) + "%)  " + std::to_string(contentSize);
  }
  return "> " + std::to_string(receivedCount);
}

TJobThread::TJobThread(TDownloadControl& control) : control_(control) {
  ReceiveStream = nullptr;
  ModifiedSince = 0;
  OnLocationChange = [this](auto&&...) { HandleLocationChange(); };
  OnHeaderEnd = [this](auto&&...) { HandleHeaderEnd(); };
  OnDocBegin = [this](auto&&...) { HandleDocBegin(); };
  OnDocData = [this](auto&, auto, auto length) { HandleDocData(static_cast<int>(length)); };
  OnRequestDone = [this](auto&, auto, auto error) { HandleRequestDone(static_cast<int>(error)); };
  // Any sign of life from the connection postpones the time-out.
  OnStateChange = [this](auto&&...) { NoteActivity(); };
  OnHeaderData = [this](auto&&...) { NoteActivity(); };
  idleTimer_.setSingleShot(true);
  QObject::connect(&idleTimer_, &QTimer::timeout, [this] { TimedOut(); });
}

TJobThread::~TJobThread() {
  Detach();
}

void TJobThread::Detach() {
  idleTimer_.stop();
  requestRunning_ = false;
  OnLocationChange = nullptr;
  OnHeaderEnd = nullptr;
  OnDocBegin = nullptr;
  OnDocData = nullptr;
  OnRequestDone = nullptr;
  OnStateChange = nullptr;
  OnHeaderData = nullptr;
  ReceiveStream = nullptr;
  SendStream = nullptr;
}

void TJobThread::Setup(int slot) {
  if (CurrentEntry == nullptr) return;
  CurrentEntry->WorkerIndex = slot;
  SlotIndex = slot;
}

void TJobThread::SetQueueCell(int column, const std::string& text) {
  LastCellText = text;
  LastCellColumn = column;
  control_.SetQueueCell(QueueIndex + 1, column, text);
}

void TJobThread::StartEntry() {
  retries_ = 0;
  Execute();
}

// Whether the saved copy may be judged by its date alone. A copy left behind
// by an interrupted transfer, or one that is gone from the disk, must be
// fetched whole even when the server says the document has not changed.
bool TJobThread::MayAskWithDate() const {
  const TRetriveRec& entry = *CurrentEntry;
  if (entry.LastModified == 0 || IsInterruption(entry.ErrorCode)) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(entry.LocalFolder + entry.LocalFileName, error);
}

void TJobThread::Execute() {
  const TGlobalOptions& options = control_.Context().Options;
  if (options.ProxyFlag) {
    Proxy = options.ProxyHost + ":" + options.ProxyPort;
    if (!options.ProxyUser.empty() && !options.ProxyPswd.empty()) {
      ProxyUsername = options.ProxyUser;
      ProxyPassword = options.ProxyPswd;
    }
  } else {
    Proxy.clear();
  }
  NoCache = options.ProxyCach;
  if (std::optional<std::string> agent = AgentText(options)) Agent = *agent;

  TRetriveRec& entry = *CurrentEntry;
  SetQueueCell(0, entry.Job.editUrl);
  SetQueueCell(1, entry.LinkedText);
  SetQueueCell(2, "");
  if (entry.RequestMethod == 1) SetQueueCell(4, "Connecting ...");
  if (entry.RequestMethod == 2) SetQueueCell(4, "Posting ...");

  URL = entry.Job.editUrl;
  ModifiedSince = MayAskWithDate() ? entry.LastModified : 0;
  // The client keeps the range of the last reply's Content-Range; left
  // there, it would ask the next document for that part only.
  ContentRangeBegin.clear();
  ContentRangeEnd.clear();
  if (entry.ReceivedSize < entry.ContentSize) {
    ModifiedSince = 0;
    ContentRangeBegin = std::to_string(entry.ReceivedSize);
    ContentRangeEnd = std::to_string(entry.ContentSize);
  }
  AnalyseAllowed = true;
  control_.SetWorkerState(SlotIndex, kSlotBusy);

  timedOut_ = false;
  relocationLoop_ = false;
  relocations_ = 0;
  ++requestSerial_;
  requestRunning_ = true;
  NoteActivity();
  try {
    if (entry.RequestMethod == 2) {
      if (entry.PostData.empty()) throw std::runtime_error("Nothing to post");
      post_ = std::make_unique<TMemoryInStream>(entry.PostData);
      SendStream = post_.get();
      PostAsync();
    } else {
      GetAsync();
    }
  } catch (const std::exception& failure) {
    // No request was started, so no completion will come: finish the entry
    // here, later, as the client would have.
    idleTimer_.stop();
    requestRunning_ = false;
    const std::string reason = failure.what();
    control_.Post([this, reason] {
      SetQueueCell(4, reason);
      control_.SetWorkerState(SlotIndex, kSlotIdle);
      control_.EntryDone();
      control_.WorkerSettled();
    });
  }
}

void TJobThread::NoteActivity() {
  if (!requestRunning_) return;
  const int seconds = control_.Context().Options.TimeOut;
  if (seconds > 0) idleTimer_.start(std::chrono::seconds(seconds));
}

void TJobThread::TimedOut() {
  if (!requestRunning_ || State() == httpReady || State() == httpAborting) return;
  timedOut_ = true;
  Abort();
}

void TJobThread::HandleLocationChange() {
  NoteActivity();
  TRetriveRec& entry = *CurrentEntry;
  const std::string target = RelocationTarget(ReceivedHeader(), Location(), entry.Job.editUrl);
  entry.Job.editUrl = target;
  if (entry.ParentIndex < 0) {
    entry.StartUrl = target;
    entry.LocalFolder = LocalDir(target, control_.Context().Options.DownLoadFolder,
                                 entry.Job->ProjectName, entry.Job->checkReplicate);
    // Named once the reply says whether it is a page; naming it here as well
    // would use up a second name for the same document.
    entry.LocalFileName.clear();
  }
  SetQueueCell(4, "Relocating to: " + target);
  SetQueueCell(0, entry.Job.editUrl);

  if (++relocations_ > kMaxRelocations) {
    relocationLoop_ = true;
    // The client restarts the request once this event returns; the abort
    // must come after that restart, not before it.
    const int serial = requestSerial_;
    control_.Post([this, serial] {
      if (requestSerial_ == serial && requestRunning_ && State() != httpReady &&
          State() != httpAborting)
        Abort();
    });
  }
}

void TJobThread::HandleHeaderEnd() {
  NoteActivity();
  TRetriveRec& entry = *CurrentEntry;
  // A "not modified" answer names no type; the saved copy stays what it was.
  if (StatusCode() != 304) {
    entry.IsHtml = IsHtmlType(ContentType());
  }
  if (entry.ParentIndex < 0 && entry.LocalFileName.empty()) {
    const TGlobalOptions& options = control_.Context().Options;
    const bool addHtm = entry.Job->checkLocalize && entry.Job->checkAddHtmExt && entry.IsHtml;
    entry.LocalFileName =
        MakeLocalFileName(entry.Job.editUrl, entry.LocalFolder, "", control_.Context().State.Names,
                          addHtm, options.DefaultDoc);
  }
}

void TJobThread::HandleDocBegin() {
  NoteActivity();
  TRetriveRec& entry = *CurrentEntry;
  SetQueueCell(4, "Transferring ...");
  CloseReceiveStream();
  try {
    const TGlobalOptions& options = control_.Context().Options;
    if (!DirectoryExists(entry.LocalFolder) && !ForceDirectories(entry.LocalFolder)) {
      entry.LocalFolder = AddBackslash(options.DownLoadFolder) + entry.Job->ProjectName + "/";
    }
    const std::string path = entry.LocalFolder + entry.LocalFileName;
    if (entry.ContentSize > entry.ReceivedSize &&
        entry.ContentSize - entry.ReceivedSize == ContentLength()) {
      file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Append);
    } else {
      file_ = std::make_unique<TFileOutStream>(path, TFileOutStream::Create);
      entry.ContentSize = ContentLength() >= 0 ? ContentLength() : -1;
      entry.ReceivedSize = 0;
    }
    ReceiveStream = file_.get();
    ReadLastModified();
  } catch (const std::exception&) {
    AnalyseAllowed = false;
    CloseReceiveStream();
  }
}

void TJobThread::ReadLastModified() {
  TRetriveRec& entry = *CurrentEntry;
  const std::optional<double> date = LastModifiedOf(ReceivedHeader());
  if (date) entry.LastModified = *date;
  SetQueueCell(3, date ? QueueDateText(*date) : "Unknown");
}

void TJobThread::HandleDocData(int length) {
  NoteActivity();
  control_.AddBytesReceived(length);
  const TRetriveRec& entry = *CurrentEntry;
  SetQueueCell(
      2, ProgressCellText(entry.ReceivedSize, entry.ContentSize, ReceivedCount(), ContentLength()));
}

void TJobThread::CloseReceiveStream() {
  ReceiveStream = nullptr;
  file_.reset();
}

void TJobThread::HandleRequestDone(int error) {
  idleTimer_.stop();
  requestRunning_ = false;
  // A page analysis is waiting in a nested event loop (a link script runs);
  // this completion would start a second analysis inside the first.
  if (control_.AnalysisRunning()) {
    control_.DeferCompletion([this, error] { CompleteRequest(error); });
    return;
  }
  CompleteRequest(error);
}

void TJobThread::CompleteRequest(int error) {
  TRetriveRec& entry = *CurrentEntry;
  int code = 0;
  if (error == 0) {
    if (SocketLastError() > 0) code = SocketLastError();
  } else if (error == kAbortedByRequest) {
    code = timedOut_ ? WSAETIMEDOUT : relocationLoop_ ? kRelocationLoopError : WSAECONNABORTED;
  } else {
    code = error;
  }
  entry.ErrorCode = code;
  entry.ReceivedSize += ReceivedCount();

  if (code == WSAECONNABORTED) {
    CloseReceiveStream();
    SetQueueCell(4, ReasonPhrase());
    if (!control_.StopRequested() && entry.ReloadPending) {
      entry.ReloadPending = 0;
      Execute();
      return;
    }
    control_.SetStopRequested(true);
    entry.ReloadPending = 0;
    control_.SetWorkerState(SlotIndex, kSlotIdle);
    control_.WorkerSettled();
    return;
  }

  // An error reply's body is never read, so its length says nothing about
  // what arrived: fetching it again would only bring the same error.
  const bool bodyExpected = StatusCode() < 400 && StatusCode() != 304;
  const bool shortBody =
      code == 0 && bodyExpected && ContentLength() >= 1 && ReceivedCount() < ContentLength();
  const bool retryable = code == WSAETIMEDOUT || shortBody;
  if (control_.Context().Options.RetryFlag && retryable && retries_ < kMaxRetries) {
    ++retries_;
    CloseReceiveStream();
    entry.LastModified = 0;
    Execute();
    return;
  }
  FinishEntry(code);
}

void TJobThread::FinishEntry(int code) {
  TRetriveRec& entry = *CurrentEntry;
  SendStream = nullptr;
  post_.reset();
  CloseReceiveStream();
  SetQueueCell(2, std::to_string(entry.ReceivedSize));
  std::string reason = ReasonPhrase();
  if (code == WSAETIMEDOUT) reason = WSocketErrorText(WSAETIMEDOUT);
  if (code == kRelocationLoopError) {
    reason = "Too many relocations (more than " + std::to_string(kMaxRelocations) + ")";
  }
  if (retries_ >= kMaxRetries && control_.Context().Options.RetryFlag &&
      (code == WSAETIMEDOUT || (code == 0 && entry.ReceivedSize < entry.ContentSize))) {
    reason = "Gave up after " + std::to_string(kMaxRetries) +
             " retries: " + (code == WSAETIMEDOUT ? reason : std::string("the body ended early"));
  }
  SetQueueCell(4, reason);

  // The worker counts as busy until its page is analysed: a command given
  // while a link script waits must not hand it another entry meanwhile.
  if (AnalyseAllowed && ReceivedCount() > 0) ProcessPage();
  control_.SetWorkerState(SlotIndex, kSlotIdle);

  if (code == WSAECONNRESET) {
    SetQueueCell(4, WSocketErrorText(WSAECONNRESET));
    control_.WorkerSettled();
    return;
  }
  control_.EntryDone();
  control_.WorkerSettled();
}

bool TJobThread::PageComplete() const {
  const TRetriveRec& entry = *CurrentEntry;
  return !(entry.ContentSize > 0 && entry.ReceivedSize < entry.ContentSize);
}

void TJobThread::ProcessPage() {
  TRetriveRec& entry = *CurrentEntry;
  if (!entry.IsHtml) return;
  // A partial page is left as received: decoding or rewriting it would
  // spoil the file that the missing part is later appended to.
  const bool complete = PageComplete();
  const std::string path = entry.LocalFolder + entry.LocalFileName;
  const bool koi8 = (entry.RemoteFlag == 0 && entry.Job->lclcheckKoi8) ||
                    (entry.RemoteFlag == 1 && entry.Job->rmtcheckKoi8);
  if (koi8 && complete) DecodeKoi8File(path);
  control_.BeginAnalysis();
  try {
    AnalysePage(path, complete);
  } catch (const std::exception& failure) {
    control_.Context().Observer.ErrorReported(entry.Job.editUrl + ": " + failure.what());
  }
  control_.EndAnalysis();
}

void TJobThread::AnalysePage(const std::string& path, bool complete) {
  TRetriveRec& entry = *CurrentEntry;
  TPageLines page;
  if (!LoadPageLines(path, page)) return;
  const TGlobalOptions& options = control_.Context().Options;
  TAnalysisTarget target{control_.Context().State, options.DownLoadFolder, options.DefaultDoc};
  std::vector<std::string> notes;
  const std::optional<std::string> failure =
      ParsePage(page.Lines, entry, QueueIndex, target,
                control_.Resolver(entry.Job->checkLoadScript), control_.Context().Parser, &notes);
  for (const std::string& note : notes) {
    control_.Context().Observer.ErrorReported(entry.Job.editUrl + ": " + note);
  }
  if (failure) {
    // The page's analysis ended there; its saved copy stays as received.
    control_.Context().Observer.ErrorReported(entry.Job.editUrl + ": " + *failure);
    return;
  }
  if (entry.Job->checkLocalize && complete) SavePageLines(path, page);
}

}  // namespace kestrix
