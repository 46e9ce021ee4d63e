// The user's download commands: start, stop, continue, continue the aborted
// entries, reload, open and clear a project.
#include <filesystem>

#include "core/file_util.h"
#include "core/global_options.h"
#include "core/job_list.h"
#include "core/job_url.h"
#include "core/project_name.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "engine/engine_observer.h"
#include "engine/history_file.h"
#include "engine/job_thread.h"
#include "engine/link_pass.h"
#include "engine/site_gate.h"
#include "http/socket_errors.h"
#include "links/local_naming.h"
#include "links/url_template.h"

namespace kestrix {
namespace {

// The bracket of a URL template that has no partner ('<' or '>'), or 0 when
// they pair up. Expansion itself gives a bad template no URLs, which would
// start the template text as one URL.
char UnpairedQuote(const std::string& templ) {
  bool open = false;
  for (std::size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] == '<' && !open) {
      if (templ.find('>', i + 1) == std::string::npos) return '>';
      open = true;
    } else if (templ[i] == '>') {
      if (!open) return '<';
      open = false;
    }
  }
  return 0;
}

// Entries that "Continue aborted" fetches again: those cut off or refused,
// one that met a full disk, and one stopped by a limit of one file once that
// limit is off or raised past where it stopped the entry.
bool IsRestartable(const TRetriveRec& entry, const TGlobalOptions& options) {
  const int code = entry.ErrorCode;
  const auto raised = [&entry](int64_t limit) { return limit <= 0 || limit > entry.CapLimit; };
  if (code == kErrFileTooLarge) return raised(options.MaxFileSize);
  if (code == kErrFileTooSlow) return raised(options.MaxFileTime);
  return code == WSAECONNABORTED || code == WSAECONNRESET || code == WSAECONNREFUSED ||
         code == WSAEHOSTUNREACH || code == WSAENOTSOCK || code == kErrShortBody ||
         code == kErrDiskFull;
}

}  // namespace

bool TDownloadControl::StartJob(const std::string& project, int jobNumber, bool download,
                                const std::optional<std::string>& body,
                                const std::optional<std::string>& url,
                                const std::string& bodyType) {
  if (jobNumber < 1 || jobNumber > context_.Store.JobCount(project)) return false;
  if (stopping_) {
    ReportNotice(TNoticeKind::StillStopping, project);
    return false;
  }
  TEngineState& state = context_.State;
  if (!downloadRunning_) RestartWalk(0, 0);
  TJobRecord record;
  context_.Store.GetJob(project, jobNumber, record);
  record.editUrl = url ? BlanksEscaped(*url) : StartingUrl(record.editUrl);
  if (!download) return true;
  if (state.Queue.Count() <= state.ProcessedCount) RestartWalk(0, 0);
  if (const char quote = UnpairedQuote(record.editUrl); quote != 0) {
    ReportNotice(TNoticeKind::QuoteNotFound, record.editUrl, std::string(1, quote));
    return false;
  }
  if (runningProject_.empty()) runningProject_ = project;

  std::vector<std::string> urls;
  ExpandUrlTemplate(record.editUrl, urls);
  const auto append = [&](const std::string& target, const std::string* postData) {
    const std::string folder = LocalDir(target, context_.Options.DownLoadFolder, record.ProjectName,
                                        record.checkReplicate);
    const int32_t index = AppendStartUrl(state.Queue, record, jobNumber, target, folder, postData);
    if (index >= 0 && postData != nullptr) state.Queue.Entry(index).PostContentType = bodyType;
    if (index >= 0 && !downloadRunning_) {
      SetGridRows(state.Queue.Count() + 1);
      ReportEntry(index, TEntryEvent{});
    }
  };
  for (const std::string& target : urls) append(target, nullptr);
  if (urls.empty()) append(record.editUrl, body ? &*body : nullptr);

  context_.Observer.JobStateChanged(jobNumber, TJobState::Started);
  downloadRunning_ = true;
  stopRequested_ = false;
  Dispatch();
  ShowQueueStatus();
  SetRunning(true);
  WorkerSettled();
  return true;
}

bool TDownloadControl::StartAllJobs(const std::string& project) {
  const int jobs = context_.Store.JobCount(project);
  for (int job = 1; job <= jobs; ++job) StartJob(project, job);
  return jobs > 0;
}

void TDownloadControl::StopDownload() {
  stopRequested_ = true;
  pendingAborted_.clear();
  downloadRunning_ = false;
  if (stopping_) return;
  stopping_ = true;
  // The aborted requests report back through the event loop, each settling
  // the stop; waiting for them here would run the user's input meanwhile.
  for (const std::unique_ptr<TJobThread>& worker : workers_) {
    if (worker && worker->State() != httpAborting) worker->Abort();
  }
  // Workers held back by the gate have no request to abort: they end as if
  // they had one.
  if (gate_) {
    for (const int slot : gate_->DropWaiters()) {
      if (TJobThread* worker = Worker(slot)) worker->StopWaiting();
    }
  }
  FinishStopWhenSettled();
}

void TDownloadControl::ContinueDownload(int selectedRow) {
  TEngineState& state = context_.State;
  if (state.Queue.Count() == 0 || selectedRow < 1 || selectedRow > state.Queue.Count()) return;
  if (stopping_) return;
  RestartWalk(selectedRow - 1, selectedRow - 1);
  stopRequested_ = false;
  downloadRunning_ = true;
  TRetriveRec& entry = state.Queue.Entry(selectedRow - 1);
  entry.LastModified = 0;
  entry.ETag.clear();
  entry.ReceivedSize = 0;
  entry.ContentSize = 0;
  Dispatch();
  ShowQueueStatus();
  SetRunning(true);
  WorkerSettled();
}

void TDownloadControl::ContinueAborted() {
  if (stopping_) return;
  TEngineState& state = context_.State;
  pendingAborted_.clear();
  CreateMissingWorkers();
  for (int32_t index = 0; index < state.Queue.Count(); ++index) {
    TRetriveRec& entry = state.Queue.Entry(index);
    if (!IsRestartable(entry, context_.Options) || IsBusyWith(entry)) continue;
    stopRequested_ = false;
    downloadRunning_ = true;
    std::error_code fileError;
    const bool resumable =
        std::filesystem::is_regular_file(entry.LocalFolder + entry.LocalFileName, fileError) &&
        entry.ContentSize >= 1 && entry.ReceivedSize < entry.ContentSize;
    if (!resumable) {
      entry.LastModified = 0;
      entry.ETag.clear();
      entry.ContentSize = 0;
      entry.ReceivedSize = 0;
    }
    // With more aborted entries than idle workers, the rest wait for the next
    // free worker instead of being passed over: the walk of the queue has
    // gone beyond them, so nothing else would ever fetch them again and the
    // queue could never finish.
    if (HasIdleWorker()) {
      DispatchOne(index);
    } else {
      pendingAborted_.push_back(index);
    }
  }
  // A run a limit stopped left entries that no worker was given yet: the
  // walk goes on to them.
  if (!downloadRunning_ && state.NextIndex < state.Queue.Count()) {
    stopRequested_ = false;
    downloadRunning_ = true;
    Dispatch();
  }
  ShowQueueStatus();
  if (downloadRunning_) SetRunning(true);
  WorkerSettled();
}

void TDownloadControl::ReloadEntry(int index) {
  if (stopping_) return;
  stopRequested_ = false;
  TEngineState& state = context_.State;
  if (index < 0 || index >= state.Queue.Count()) return;
  TRetriveRec& entry = state.Queue.Entry(index);
  entry.LastModified = 0;
  entry.ETag.clear();
  const int slot = entry.WorkerIndex;
  TJobThread* worker = slot >= 0 && slot < kWorkerSlots ? Worker(slot) : nullptr;
  if (worker && WorkerState(slot) == TSlotState::Busy && worker->CurrentEntry == &entry) {
    if (worker->Waiting()) return;  // its fetch has not begun: it will be a fresh one
    entry.ReloadPending = 1;
    worker->Abort();
  } else {
    entry.ReceivedSize = 0;
    entry.ContentSize = 0;
    DispatchOne(index);
  }
  if (BusyWorkers() > 0) SetRunning(true);
}

bool TDownloadControl::OpenProject(const std::string& project) {
  if (RefusedWhileBusy(TNoticeKind::BusyNotOpened, project)) return false;
  TEngineState& state = context_.State;
  state.ClearQueue();
  linkBook_.Clear();
  pendingAborted_.clear();
  aheadOfWalk_.clear();
  state.NextIndex = 0;
  state.ProcessedCount = 0;
  state.WireBytes = state.SavedBytes = 0;
  state.RobotsRefused = 0;
  runningProject_ = project;
  context_.Observer.QueueCleared();
  const THistoryLoad load =
      LoadHistory(context_.Options.DownLoadFolder, project, &context_.Store, state);
  for (const std::string& refused : load.Refused) {
    ReportNotice(TNoticeKind::HistoryRefused, project, refused);
  }
  // The names of the loaded entries are taken: a link found later must not
  // be saved over one of their files.
  for (int32_t index = 0; index < state.Queue.Count(); ++index) {
    const TRetriveRec& entry = state.Queue.Entry(index);
    if (!entry.LocalFileName.empty()) state.Names.Add(entry.LocalFolder + entry.LocalFileName);
  }
  NoteEarlierFailures(state.Queue, linkBook_);
  gridRows_ = state.Queue.Count() + 1;
  context_.Observer.QueueLoaded(state.Queue.Count());
  ShowQueueStatus();
  return true;
}

bool TDownloadControl::CloseProject() {
  if (RefusedWhileBusy(TNoticeKind::BusyNotOpened, {})) return false;
  TEngineState& state = context_.State;
  state.ClearQueue();
  linkBook_.Clear();
  pendingAborted_.clear();
  aheadOfWalk_.clear();
  state.NextIndex = 0;
  state.ProcessedCount = 0;
  runningProject_.clear();
  context_.Observer.QueueCleared();
  SetGridRows(2);
  ShowQueueStatus();
  return true;
}

bool TDownloadControl::ClearProjectData(const std::string& project) {
  // An empty or climbing name would make the project folder the download
  // folder itself, or something outside it.
  if (!ProjectNameError(project).empty() || RefusedWhileBusy(TNoticeKind::BusyNotCleared, project))
    return false;
  DeleteDirectory(AddBackslash(context_.Options.DownLoadFolder) + project + "/", true);
  TEngineState& state = context_.State;
  state.ClearQueue();
  linkBook_.Clear();
  pendingAborted_.clear();
  aheadOfWalk_.clear();
  state.NextIndex = 0;
  state.ProcessedCount = 0;
  context_.Observer.QueueCleared();
  SetGridRows(2);
  ShowQueueStatus();
  return true;
}

void TDownloadControl::ThreadCountChanged(int previous) {
  if (downloadRunning_ && context_.Options.ThreadCount > previous) Dispatch();
}

}  // namespace kestrix
