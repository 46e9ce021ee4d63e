#include "engine/download_control.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include "core/global_options.h"
#include "core/url_list.h"
#include "engine/cookie_jar.h"
#include "engine/engine_observer.h"
#include "engine/history_file.h"
#include "engine/job_thread.h"
#include "engine/link_pass.h"
#include "engine/site_gate.h"
#include "http/deferred.h"
#include "http/read_throttle.h"
#include "http/socket_errors.h"
#include "http/tls_context.h"
#include "links/deferred_script_resolver.h"
#include "links/script_resolver.h"

namespace kestrix {
namespace {

// Entries whose fetch was cut off before it could finish; they were never
// counted as processed.
bool IsUncounted(int errorCode) {
  return errorCode == WSAECONNABORTED || errorCode == WSAECONNRESET;
}

}  // namespace

TDownloadControl::TDownloadControl(TEngineContext context)
    : context_(std::move(context)),
      nullResolver_(std::make_unique<NullScriptResolver>()),
      deferral_(std::make_unique<TDeferred>()) {
  runTimer_.setSingleShot(true);
  QObject::connect(&runTimer_, &QTimer::timeout, [this] {
    StopRun({TStopCause::Time, context_.Options.MaxTime, {}});
  });
}

TDownloadControl::~TDownloadControl() {
  EndSiteSession();
  for (int slot = 0; slot < kWorkerSlots; ++slot) {
    std::unique_ptr<TJobThread>& worker = workers_[static_cast<size_t>(slot)];
    if (!worker) continue;
    worker->Detach();
    if (worker->State() != httpAborting) worker->Abort();
    worker.reset();
    slotStates_[static_cast<size_t>(slot)] = TSlotState::Empty;
  }
  EndWarc();
}

UrlList& TDownloadControl::Queue() const {
  return context_.State.Queue;
}

TRunState TDownloadControl::RunState() const {
  if (stopping_) return TRunState::Stopping;
  if (downloadRunning_ || BusyWorkers() > 0) return TRunState::Running;
  if (analysisDepth_ > 0 || !deferred_.empty()) return TRunState::Analysing;
  return TRunState::Idle;
}

bool TDownloadControl::RefusedWhileBusy(TNoticeKind kind, const std::string& project) {
  if (!IsBusy()) return false;
  ReportNotice(kind, project);
  return true;
}

void TDownloadControl::ReportNotice(TNoticeKind kind, std::string subject, std::string detail) {
  TEngineNotice notice;
  notice.Kind = kind;
  notice.Subject = std::move(subject);
  notice.Detail = std::move(detail);
  context_.Observer.NoticeReported(notice);
}

bool TDownloadControl::QueueFinished() const {
  return Queue().Count() <= context_.State.ProcessedCount;
}

int TDownloadControl::BusyWorkers() const {
  return static_cast<int>(std::count(slotStates_.begin(), slotStates_.end(), TSlotState::Busy));
}

void TDownloadControl::Post(std::function<void()> work) {
  deferral_->Post(std::move(work));
}

void TDownloadControl::AddBytesReceived(int64_t count) {
  context_.State.BytesReceived = static_cast<int32_t>(
      std::min<int64_t>(int64_t{context_.State.BytesReceived} + count, INT32_MAX));
  runBytes_ += count;
  const int64_t limit = context_.Options.MaxTotal;
  if (limit > 0 && runBytes_ > limit && lastStop_.Cause == TStopCause::None) {
    StopRun({TStopCause::Bytes, limit, {}});
  }
}

void TDownloadControl::BeginRun() {
  ++runSerial_;
  runBytes_ = 0;
  runFiles_ = 0;
  lastStop_ = {};
  runTimer_.stop();
  if (context_.Options.MaxTime > 0) runTimer_.start(std::chrono::seconds(context_.Options.MaxTime));
}

void TDownloadControl::CheckRunLimits() {
  const int limit = context_.Options.MaxFiles;
  if (limit > 0 && ++runFiles_ >= limit && !QueueFinished()) {
    StopRun({TStopCause::Files, limit, {}});
  }
}

void TDownloadControl::StopRun(TRunStop stop) {
  if (!reportedRunning_ || stopping_ || lastStop_.Cause != TStopCause::None) return;
  lastStop_ = std::move(stop);
  // Nothing more is handed out from now on; the workers are stopped from
  // the event loop, since this may run inside one worker's client event.
  stopRequested_ = true;
  TEngineNotice notice;
  notice.Kind = TNoticeKind::RunStopped;
  notice.Stop = lastStop_;
  context_.Observer.NoticeReported(notice);
  // The run may end before this comes round, and a new one may begin (a
  // "Continue aborted" at once): the stop belongs to this run only.
  Post([this, run = runSerial_] {
    if (run == runSerial_ && reportedRunning_ && !stopping_) StopDownload();
  });
}

int64_t TDownloadControl::TakeBytesReceived() {
  const int64_t bytes = context_.State.BytesReceived;
  context_.State.BytesReceived = 0;
  return bytes;
}

void TDownloadControl::ReportEntry(int32_t index, const TEntryEvent& event) {
  if (index >= 0 && index + 1 < gridRows_) context_.Observer.EntryChanged(index, event);
}

void TDownloadControl::SetGridRows(int rows) {
  gridRows_ = rows;
  context_.Observer.QueueRowsShown(rows - 1);
}

void TDownloadControl::SetRunning(bool running) {
  downloadRunning_ = running;
  if (!running && BusyWorkers() == 0) {
    EndSiteSession();
    EndWarc();
  }
  if (reportedRunning_ == running) return;
  reportedRunning_ = running;
  if (running) {
    BeginRun();
  } else {
    runTimer_.stop();
  }
  context_.Observer.RunningChanged(running);
}

void TDownloadControl::ShowQueueStatus() {
  const TEngineState& state = context_.State;
  context_.Observer.QueueStatusChanged(state.ProcessedCount, state.Queue.Count());
}

void TDownloadControl::SetWorkerState(int slot, TSlotState state) {
  slotStates_.at(static_cast<size_t>(slot)) = state;
  if (workers_[static_cast<size_t>(slot)]) context_.Observer.WorkerStateChanged(slot, state);
  downloadRunning_ = BusyWorkers() > 0;
}

void TDownloadControl::CreateWorker(int slot) {
  workers_[static_cast<size_t>(slot)] = std::make_unique<TJobThread>(*this);
  AttachWarcTap(slot);
  SetWorkerState(slot, TSlotState::Idle);
}

void TDownloadControl::CreateMissingWorkers() {
  const int count = std::clamp(context_.Options.ThreadCount, 1, kWorkerSlots - 1);
  for (int slot = 0; slot < count; ++slot) {
    if (slotStates_[static_cast<size_t>(slot)] == TSlotState::Empty) CreateWorker(slot);
  }
}

void TDownloadControl::Dispatch() {
  if (stopRequested_) return;
  CreateMissingWorkers();
  DispatchPendingAborted();
  TEngineState& state = context_.State;
  const int count = std::clamp(context_.Options.ThreadCount, 1, kWorkerSlots - 1);
  for (int slot = 0; slot < count; ++slot) {
    if (slotStates_[static_cast<size_t>(slot)] != TSlotState::Idle) continue;
    // Entries another worker has are passed by: their own fetch counts
    // them. Those handed out ahead of the walk were uncounted once for it.
    while (state.NextIndex < state.Queue.Count()) {
      const auto ahead = aheadOfWalk_.find(state.NextIndex);
      if (ahead != aheadOfWalk_.end()) {
        if (ahead->second) ++state.ProcessedCount;
        aheadOfWalk_.erase(ahead);
      } else if (!IsBusyWith(state.Queue.Entry(state.NextIndex))) {
        break;
      }
      ++state.NextIndex;
    }
    if (state.NextIndex >= state.Queue.Count()) break;
    TJobThread& worker = *workers_[static_cast<size_t>(slot)];
    worker.CurrentEntry = &state.Queue.Entry(state.NextIndex);
    worker.QueueIndex = state.NextIndex;
    SetGridRows(state.NextIndex + 2);
    if (context_.Observer.FollowTail()) context_.Observer.EntrySelected(gridRows_ - 2);
    worker.Setup(slot);
    ++state.NextIndex;
    BeginWarc();
    worker.StartEntry();
  }
}

bool TDownloadControl::HasIdleWorker() const {
  const int count = std::clamp(context_.Options.ThreadCount, 1, kWorkerSlots - 1);
  for (int slot = 0; slot < count; ++slot) {
    if (workers_[static_cast<size_t>(slot)] &&
        slotStates_[static_cast<size_t>(slot)] == TSlotState::Idle)
      return true;
  }
  return false;
}

void TDownloadControl::DispatchPendingAborted() {
  TEngineState& state = context_.State;
  while (!pendingAborted_.empty() && HasIdleWorker()) {
    const int32_t index = pendingAborted_.front();
    pendingAborted_.pop_front();
    if (index < state.Queue.Count() && !IsBusyWith(state.Queue.Entry(index))) DispatchOne(index);
  }
}

bool TDownloadControl::IsBusyWith(const TRetriveRec& entry) const {
  for (int slot = 0; slot < kWorkerSlots; ++slot) {
    const TJobThread* worker = workers_[static_cast<size_t>(slot)].get();
    if (worker && slotStates_[static_cast<size_t>(slot)] == TSlotState::Busy &&
        worker->CurrentEntry == &entry)
      return true;
  }
  return false;
}

void TDownloadControl::DispatchOne(int index) {
  CreateMissingWorkers();
  TEngineState& state = context_.State;
  if (index < 0 || index >= state.Queue.Count()) return;
  const int count = std::clamp(context_.Options.ThreadCount, 1, kWorkerSlots - 1);
  for (int slot = 0; slot < count; ++slot) {
    if (slotStates_[static_cast<size_t>(slot)] != TSlotState::Idle) continue;
    TJobThread& worker = *workers_[static_cast<size_t>(slot)];
    TRetriveRec& entry = state.Queue.Entry(index);
    worker.CurrentEntry = &entry;
    worker.QueueIndex = index;
    worker.Setup(slot);
    // The entry is counted when this fetch finishes. It must then not count
    // twice: once already (it finished before with any code but an abort or
    // a reset), or once more later when the walk of the queue reaches it.
    if (!IsUncounted(entry.ErrorCode) || index >= state.NextIndex) --state.ProcessedCount;
    if (index >= state.NextIndex) aheadOfWalk_[index] = true;
    BeginWarc();
    worker.StartEntry();
    return;
  }
}

void TDownloadControl::RestartWalk(int32_t index, int32_t processed) {
  TEngineState& state = context_.State;
  state.NextIndex = index;
  state.ProcessedCount = processed;
  aheadOfWalk_.clear();
  // A fetch still running counts when it ends; the walk must not fetch
  // the same entry beside it or after it.
  for (int slot = 0; slot < kWorkerSlots; ++slot) {
    const TJobThread* worker = workers_[static_cast<size_t>(slot)].get();
    if (worker && slotStates_[static_cast<size_t>(slot)] == TSlotState::Busy &&
        worker->QueueIndex >= index)
      aheadOfWalk_[worker->QueueIndex] = false;
  }
}

void TDownloadControl::EntryDone() {
  TEngineState& state = context_.State;
  ++state.ProcessedCount;
  ShowQueueStatus();
  CheckRunLimits();
  // Finished only once no worker is left: one still busy would change its
  // entry after the history was saved.
  if (QueueFinished() && BusyWorkers() == 0) {
    FinishQueue();
  } else {
    Dispatch();
  }
}

void TDownloadControl::FinishQueue() {
  EndRun();
  context_.Observer.JobStatesReplaced(TJobState::Started, TJobState::Completed);
  const int processed = context_.State.ProcessedCount;
  if (gridRows_ > processed && processed >= 1) context_.Observer.EntrySelected(processed - 1);
  SetRunning(false);
  context_.Observer.QueueFinished(runningProject_);
}

void TDownloadControl::WorkerSettled() {
  if (stopping_) return FinishStopWhenSettled();
  if (BusyWorkers() > 0 || !reportedRunning_) return;
  // Nothing is running any more, yet the queue is not finished: resets or
  // an abort ended every worker's chain. The history is saved all the same,
  // so that "Continue aborted" can pick the entries up.
  EndRun();
  SetRunning(false);
}

void TDownloadControl::FinishStopWhenSettled() {
  if (!stopping_ || BusyWorkers() > 0 || analysisDepth_ > 0 || !deferred_.empty()) return;
  stopping_ = false;
  EndRun();
  context_.Observer.JobStatesReplaced(TJobState::Started, TJobState::Stopped);
  reportedRunning_ = true;  // a stop is always reported
  SetRunning(false);
  PostHeldCommands();
}

void TDownloadControl::EndRun() {
  context_.Observer.LinksMended(MendSavedLinks(Queue(), linkBook_));
  SaveRunningHistory();
}

void TDownloadControl::SaveRunningHistory() {
  if (runningProject_.empty()) return;
  SaveHistory(context_.Options.DownLoadFolder, runningProject_, context_.State);
}

ScriptResolver& TDownloadControl::Resolver(bool scripts) {
  if (scripts && !resolver_ && context_.MakeScriptResolver) {
    resolver_ = std::make_unique<DeferredScriptResolver>(context_.MakeScriptResolver);
  }
  return scripts && resolver_ ? *resolver_ : *nullResolver_;
}

void TDownloadControl::EndAnalysis() {
  if (--analysisDepth_ > 0) return;
  if (!deferred_.empty()) {
    Post([this] { RunDeferred(); });
  } else {
    PostHeldCommands();
  }
}

void TDownloadControl::DeferCompletion(std::function<void()> completion) {
  deferred_.push_back(std::move(completion));
}

void TDownloadControl::RunDeferred() {
  while (!deferred_.empty() && !AnalysisRunning()) {
    std::function<void()> completion = std::move(deferred_.front());
    deferred_.erase(deferred_.begin());
    completion();
  }
  FinishStopWhenSettled();
  PostHeldCommands();
}

void TDownloadControl::Command(std::function<void()> command) {
  if (!HoldsCommands()) {
    command();
    return;
  }
  commands_.push_back(std::move(command));
}

void TDownloadControl::PostHeldCommands() {
  if (commands_.empty() || commandsPosted_ || HoldsCommands()) return;
  commandsPosted_ = true;
  Post([this] { RunHeldCommands(); });
}

void TDownloadControl::RunHeldCommands() {
  commandsPosted_ = false;
  // A command may start what holds the next ones back again; they then
  // wait for that to end.
  while (!commands_.empty() && !HoldsCommands()) {
    std::function<void()> command = std::move(commands_.front());
    commands_.pop_front();
    command();
  }
}

std::shared_ptr<TTlsContext> TDownloadControl::SharedTlsContext(const TTlsSettings& settings) {
  if (tlsContext_ && tlsContext_->Settings() == settings) return tlsContext_;
  try {
    tlsContext_ = std::make_shared<TTlsContext>(settings);
  } catch (const std::exception&) {
    tlsContext_.reset();
  }
  return tlsContext_;
}

void TDownloadControl::RenumberJobs(const std::function<int(int)>& newNumber) {
  UrlList& queue = context_.State.Queue;
  for (int32_t index = 0; index < queue.Count(); ++index) {
    TRetriveRec& entry = queue.Entry(index);
    if (entry.JobNumber > 0) entry.JobNumber = newNumber(entry.JobNumber);
  }
  // The history on disk follows at once: the project may be reopened before
  // any download writes it again, and its entries would then take another
  // job's depth and filters.
  if (runningProject_.empty()) return;
  if (!RenumberHistoryJobs(context_.Options.DownLoadFolder, runningProject_, newNumber)) {
    ReportNotice(TNoticeKind::HistoryNotRenumbered, runningProject_,
                 HistoryFilePath(context_.Options.DownLoadFolder, runningProject_));
  }
}

}  // namespace kestrix
