// The download control: a table of workers over one queue, handing each idle
// worker the next entry, and the user's download commands (start, stop,
// continue, continue the aborted entries, reload, clear). Everything runs on
// the thread of the Qt event loop; workers are asynchronous clients whose
// completions come back here.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QTimer>

#include "engine/engine_observer.h"
#include "engine/link_book.h"
#include "engine/warc_tap.h"

namespace kestrix {

class EngineObserver;
class ScriptResolver;
class THTMLParser;
class TJobList;
class TDeferred;
class TExchangeTap;
class TJobThread;
class TCookieJar;
class TReadThrottle;
class TSiteGate;
class TTlsContext;
class UrlList;
struct TTlsSettings;
struct TRetriveRec;
struct TEngineState;
struct TGlobalOptions;

// Slots 0..10; only 0..ThreadCount-1 are ever filled.
inline constexpr int kWorkerSlots = 11;

// What the download control is doing. Anything but Idle means that workers,
// a page analysis or a stop still use the queue, so nothing may free it.
enum class TRunState { Idle, Running, Stopping, Analysing };

// Makes the resolver that runs link scripts. Called at most once, the first
// time the code of a script link of a job with checkLoadScript must run
// (placeholders such as `javascript:void(0)` never do); front ends without a
// browser pass an empty function and script links stay unresolved.
using ScriptResolverFactory = std::function<std::unique_ptr<ScriptResolver>()>;

// Everything the engine works with, owned by the front end and outliving the
// control.
struct TEngineContext {
  TGlobalOptions& Options;  // read afresh at every request start
  TJobList& Store;
  TEngineState& State;  // queue, used names, counters
  THTMLParser& Parser;  // the one parser, used by one page analysis at a time
  EngineObserver& Observer;
  ScriptResolverFactory MakeScriptResolver;
};

class TDownloadControl {
 public:
  explicit TDownloadControl(TEngineContext context);
  // Aborts and frees every worker; no completion is reported afterwards.
  ~TDownloadControl();
  TDownloadControl(const TDownloadControl&) = delete;
  TDownloadControl& operator=(const TDownloadControl&) = delete;

  // The project whose history is written when the queue finishes or the
  // download is stopped; the front end sets it when it loads a project.
  void SetRunningProject(const std::string& project) { runningProject_ = project; }
  const std::string& RunningProject() const { return runningProject_; }

  // Empties the queue and the used names, loads the project's history file
  // and makes the project the running one. Refused (false, with a message to
  // the observer) until the control is idle. Entries of the history file
  // whose files lie outside the project folder are refused, each with a
  // message.
  bool OpenProject(const std::string& project);
  // Empties the queue and the used names and leaves no project running
  // (no project is selected). Refused like OpenProject.
  bool CloseProject();

  // Starts job `jobNumber` (1-based) of `project`. Without `download` nothing
  // is queued (a preview). `body` makes the start a POST of that body, of
  // type `bodyType` (empty: a urlencoded form); `url` replaces the job's URL.
  // False when the job does not exist.
  bool StartJob(const std::string& project, int jobNumber, bool download = true,
                const std::optional<std::string>& body = std::nullopt,
                const std::optional<std::string>& url = std::nullopt,
                const std::string& bodyType = {});
  // Every job of the project in turn. False when the project has no jobs.
  bool StartAllJobs(const std::string& project);

  // Aborts every worker and returns at once; the stop completes when the
  // last aborted worker has reported (RunState() is Stopping until then):
  // then the history is saved, the job states become "Stoped" and
  // RunningChanged(false) is reported. Nothing runs user input meanwhile.
  void StopDownload();
  // Re-walks the queue from grid row `selectedRow` (entries start at row 1).
  void ContinueDownload(int selectedRow);
  void ContinueAborted();
  void ReloadEntry(int index);
  // Deletes the project's folder (history included) and empties the queue.
  // Refused (false, with a message) until the control is idle.
  bool ClearProjectData(const std::string& project);
  // The jobs of the running project were renumbered (moved or deleted in
  // the job list): every queued entry, in memory and in the history file,
  // follows its job to `newNumber` of its number (0: the job is gone).
  void RenumberJobs(const std::function<int(int)>& newNumber);
  // The options' ThreadCount changed from `previous`: a running download
  // hands queued entries to the workers that may now run as well.
  void ThreadCountChanged(int previous);

  // Runs a user's command now, or, while a page analysis waits for a link
  // script or a stop waits for its workers, from the event loop once that
  // is over: run inside it, the command would enter the engine from within
  // itself (a project change under a running analysis, a Clear while the
  // stop still walks the workers).
  void Command(std::function<void()> command);
  // True while commands are held back.
  bool HoldsCommands() const { return analysisDepth_ > 0 || stopping_; }

  void Dispatch();
  void DispatchOne(int index);
  void ShowQueueStatus();

  // Body bytes received since the last call; the front end's one-second
  // timer turns them into a transfer rate.
  int64_t TakeBytesReceived();

  // Set while a download runs; like the worker states it follows, it drops
  // for a moment inside a completion before the worker is given its next
  // entry. Front ends learn that a run has ended from RunningChanged(false).
  bool DownloadRunning() const { return downloadRunning_; }
  TRunState RunState() const;
  // True while anything still uses the queue: workers, a page analysis, a
  // script link being resolved, completions held back, a stop in progress.
  bool IsBusy() const { return RunState() != TRunState::Idle; }
  bool StopRequested() const { return stopRequested_; }
  // Ends the run because of `stop` (a limit of the run, a full disk, a
  // folder that cannot be made), from the event loop: the history is saved
  // and "Continue aborted" goes on from there. Ignored while idle.
  void StopRun(TRunStop stop);
  // Why the last run ended early; Cause None when it was not ended by the
  // engine (it finished, or the user stopped it).
  const TRunStop& LastStop() const { return lastStop_; }
  bool QueueFinished() const;
  TSlotState WorkerState(int slot) const { return slotStates_.at(static_cast<size_t>(slot)); }
  int BusyWorkers() const;
  TJobThread* Worker(int slot) const { return workers_.at(static_cast<size_t>(slot)).get(); }
  const TEngineContext& Context() const { return context_; }
  UrlList& Queue() const;

  // Called by the workers.
  void SetWorkerState(int slot, TSlotState state);
  void EntryDone();
  void SetStopRequested(bool value) { stopRequested_ = value; }
  // Settles the run after a worker's completion: when no worker is busy any
  // more and nothing can be handed out, the download has ended.
  void WorkerSettled();

  // Page analysis must never run inside another page's analysis: the script
  // resolver waits in a nested event loop, during which other workers finish.
  bool AnalysisRunning() const { return analysisDepth_ > 0; }
  void BeginAnalysis() { ++analysisDepth_; }
  void EndAnalysis();
  // Completions that arrived during an analysis run once it has ended.
  void DeferCompletion(std::function<void()> completion);
  // The resolver for a page; `scripts` when its job resolves link scripts.
  ScriptResolver& Resolver(bool scripts);

  // The TLS context every worker's https requests share, made for
  // `settings` on first use: loading the trusted certificates is the
  // dearest part of making one, and the sessions it keeps serve every
  // worker. Null when it cannot be made; the request then says why.
  std::shared_ptr<TTlsContext> SharedTlsContext(const TTlsSettings& settings);

  // Which saved pages link to which entries, and what became of those:
  // the pages are mended from it when the run ends.
  TLinkBook& LinkBook() { return linkBook_; }
  // The run's manners towards the sites: the project's cookie jar, the
  // gate (robots.txt rules and pacing) and the bandwidth cap (null when
  // there is none). Made when a run first needs them; when it ends the jar
  // is saved and all three are put away.
  TCookieJar& Cookies();
  TSiteGate& Gate();
  TReadThrottle* Throttle();
  // Whether the rules known for the site of `url` keep it from the queue.
  bool RobotsRefuse(const std::string& url);

  // What the front end asks of the runs' web archive. A run is recorded
  // when this asks for it or any job of the running project has its
  // switch on: the queue holds the entries of every job, and a continued
  // run cannot tell whose they are.
  void SetWarcRequest(TWarcRunRequest request) { warcRequest_ = std::move(request); }
  // The archives the last recorded run wrote, in order.
  const std::vector<std::string>& WarcFiles() const { return warcFiles_; }
  // The last recorded run's first archive failure; none when it had none.
  const TWarcError& WarcError() const { return warcError_; }
  // A tap for a client of the running run (a robots.txt request); null
  // when the run is not recorded.
  std::unique_ptr<TExchangeTap> MakeWarcTap();

  // Reports a change of entry `index`, when the queue grid shows it.
  void ReportEntry(int32_t index, const TEntryEvent& event);
  void ReportNotice(TNoticeKind kind, std::string subject, std::string detail = {});
  void AddBytesReceived(int64_t count);
  // Runs `work` later from the event loop; dropped when the control is gone.
  void Post(std::function<void()> work);

 private:
  void CreateWorker(int slot);
  // Opens the run's archive when the run is to be recorded; once per run.
  void BeginWarc();
  bool RunRecords() const;
  void AttachWarcTap(int slot);
  void EndWarc();
  void EndSiteSession();
  void WakeWorker(int slot);
  void CreateMissingWorkers();
  void FinishQueue();
  void SaveRunningHistory();
  // Ends a run: mends the saved pages' links, then saves the history.
  void EndRun();
  // A run begins: its limits count from here.
  void BeginRun();
  void CheckRunLimits();
  void SetRunning(bool running);
  void SetGridRows(int rows);
  bool IsBusyWith(const TRetriveRec& entry) const;
  bool HasIdleWorker() const;
  void DispatchPendingAborted();
  void RunDeferred();
  void RunHeldCommands();
  void PostHeldCommands();
  void FinishStopWhenSettled();
  bool RefusedWhileBusy(TNoticeKind kind, const std::string& project);

  TEngineContext context_;
  // Before the workers, whose clients end their exchanges on them as they go.
  std::array<std::unique_ptr<TExchangeTap>, kWorkerSlots> warcTaps_;
  std::array<std::unique_ptr<TJobThread>, kWorkerSlots> workers_;
  std::array<TSlotState, kWorkerSlots> slotStates_{};
  bool downloadRunning_ = false;
  bool reportedRunning_ = false;
  uint32_t runSerial_ = 0;  // counts the runs begun
  bool stopRequested_ = false;
  int analysisDepth_ = 0;
  std::vector<std::function<void()>> deferred_;
  std::deque<std::function<void()>> commands_;  // user commands held back
  bool commandsPosted_ = false;
  // Aborted entries that "Continue aborted" found no idle worker for; they
  // go before the rest of the queue as workers come free.
  std::deque<int32_t> pendingAborted_;
  // Entries at or past NextIndex that a worker already has or had since the
  // walk last began (Reload and "Continue aborted" hand them out ahead of
  // it): the walk passes them by, so that no entry is fetched by two
  // workers. True when the hand-out held back a count for the walk.
  std::map<int32_t, bool> aheadOfWalk_;
  void RestartWalk(int32_t index, int32_t processed);
  std::unique_ptr<ScriptResolver> resolver_;
  std::unique_ptr<ScriptResolver> nullResolver_;
  std::shared_ptr<TTlsContext> tlsContext_;
  int gridRows_ = 2;       // rows of the queue grid, the header row included
  bool stopping_ = false;  // a stop waits for its aborted workers
  std::string runningProject_;
  TLinkBook linkBook_;
  std::unique_ptr<TCookieJar> cookies_;
  std::unique_ptr<TSiteGate> gate_;
  std::unique_ptr<TReadThrottle> throttle_;
  TRunStop lastStop_;
  int64_t runBytes_ = 0;  // body bytes received in this run
  int32_t runFiles_ = 0;  // entries fetched in this run
  QTimer runTimer_;       // the time limit of the run
  TWarcRunRequest warcRequest_;
  std::shared_ptr<TWarcRun> warc_;  // the recorded run's archive
  bool warcBegun_ = false;          // the run's archive was decided on
  std::vector<std::string> warcFiles_;
  TWarcError warcError_;
  std::unique_ptr<TDeferred> deferral_;  // drops posted calls when the control goes
};

}  // namespace kestrix
