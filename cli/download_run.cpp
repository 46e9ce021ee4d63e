#include "cli/download_run.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>

#include <QCoreApplication>
#include <QTimer>

#include "cli/cli_session.h"
#include "cli/exit_codes.h"
#include "cli/interrupt_watcher.h"
#include "cli/job_options.h"
#include "cli/progress_display.h"
#include "cli/script_support.h"
#include "core/offline_state.h"
#include "core/url_list.h"
#include "engine/download_control.h"
#include "engine/queue_texts.h"
#include "http/socket_errors.h"
#include "links/admission.h"
#include "links/html_parser.h"
#include "links/link_filters.h"

namespace kestrix {

namespace {

// The queue may hold entries of every job of the project, so every job's
// patterns must be usable before anything is fetched.
bool JobPatternsValid(const TJobList& store, const std::string& project) {
  bool valid = true;
  const int count = store.JobCount(project);
  for (int job = 1; job <= count; ++job) {
    TJobRecord record;
    store.GetJob(project, job, record);
    if (std::optional<std::string> error = CheckJobPatterns(record)) {
      ReportError("job " + std::to_string(job) + " of \"" + project + "\": " + *error);
      valid = false;
    }
  }
  return valid;
}

// How many entries ended well, failed, or were cut off before their end
// (stopped or reset; "Continue aborted" fetches those again).
struct TQueueTally {
  int32_t Ok = 0, Failed = 0, Cut = 0;
};

TQueueTally TallyQueue(const UrlList& queue) {
  TQueueTally tally;
  for (int32_t i = 0; i < queue.Count(); ++i) {
    const TRetriveRec& entry = queue.Entry(i);
    if (entry.ErrorCode == WSAECONNABORTED || entry.ErrorCode == WSAECONNRESET) {
      ++tally.Cut;
    } else if (FetchFailed(entry)) {
      ++tally.Failed;
    } else {
      ++tally.Ok;
    }
  }
  return tally;
}

// "3 URL longer than the length limit, ..." for the links the crawl-trap
// guards kept out of the queue; empty when they kept none.
std::string TrapRefusalsText(const TEngineState& state) {
  std::string text;
  for (size_t i = 0; i < state.TrapRefusals.size(); ++i) {
    if (state.TrapRefusals[i] == 0) continue;
    const auto reason =
        static_cast<TReason>(static_cast<int>(TReason::UrlTooLong) + static_cast<int>(i));
    text += (text.empty() ? "" : ", ") + std::to_string(state.TrapRefusals[i]) + " (" +
            ReasonText(reason) + ")";
  }
  return text;
}

// The run's last line and exit status: 0 when every entry ended well, 5
// when some failed, 3 when the user or a limit stopped the run, 1 when
// nothing could be fetched because the start failed or no folder could be
// made.
int ReportRunEnd(const TDownloadControl& control, bool interrupted, const std::string& amount,
                 const std::string& project) {
  const TEngineState& state = control.Context().State;
  const UrlList& queue = state.Queue;
  const TRunStop& stop = control.LastStop();
  const std::string goesOn = " ('kestrix-cli aborted " + project + "' goes on)";
  const std::string seeQueue = " (see kestrix-cli queue)";
  if (const std::string traps = TrapRefusalsText(state); !traps.empty()) {
    std::cout << "Not queued as crawl traps: " << traps << "\n";
  }
  if (stop.Cause == TStopCause::FolderNotMade) {
    std::cout << "Failed: " << RunStopText(stop) << "\n";
    return kExitFailure;
  }
  const std::string of =
      std::to_string(state.ProcessedCount) + " of " + std::to_string(queue.Count()) + " entries";
  if (interrupted || stop.Cause != TStopCause::None) {
    const std::string why = interrupted ? std::string("stopped by the user") : RunStopText(stop);
    std::cout << "Stopped: " << of << ", " << amount << " (" << why << ")" << goesOn << "\n";
    return kExitStopped;
  }
  const TQueueTally tally = TallyQueue(queue);
  if (tally.Ok == 0 && queue.Count() > 0 && FetchFailed(queue.Entry(0))) {
    std::cout << "Failed: " << queue.Url(0) << ": " << EntryFailureText(queue.Entry(0)) << "\n";
    return kExitFailure;
  }
  if (control.QueueFinished() && tally.Failed == 0 && tally.Cut == 0) {
    std::cout << "Finished: " << of << ", " << amount << "\n";
    return kExitOk;
  }
  if (control.QueueFinished()) {
    std::cout << "Finished: " << tally.Ok << " of " << queue.Count() << " entries, " << tally.Failed
              << " failed" << seeQueue << "; " << amount << "\n";
  } else {
    // Resets ended every worker's chain: nobody stopped the run.
    std::cout << "Ended: " << of << ", " << tally.Failed << " failed, " << tally.Cut << " cut off"
              << seeQueue << "; " << amount << goesOn << "\n";
  }
  return kExitSomeFailed;
}

std::string SecondsText(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", seconds);
  return buffer;
}

// What the end of the run changed in the saved pages, when anything.
void PrintMending(const TLinkMending& mended) {
  if (const std::string text = MendedLinksText(mended); !text.empty()) std::cout << text << "\n";
  if (const std::string text = MissingScriptFilesText(mended); !text.empty()) {
    std::cout << text << "\n";
  }
  if (const std::string text = UnmendedPagesText(mended); !text.empty()) {
    std::cerr << "kestrix-cli: " << text << "\n";
  }
}

}  // namespace

int RunDownloadSession(CliSession& session, const ParsedArguments& args, const std::string& project,
                       const DownloadStart& start) {
  TGlobalOptions& options = session.Options();
  if (std::string error = ApplyRunOptions(args, options); !error.empty()) {
    ReportError(error);
    return kExitUsage;
  }
  TWarcRunRequest warc;
  if (std::string error = ApplyWarcOptions(args, warc); !error.empty()) {
    ReportError(error);
    return kExitUsage;
  }
  // Options given for one run must not become the user's stored options.
  const bool writeOptions = !args.HasAny(RunOptionSpecs());
  if (!JobPatternsValid(session.Store(), project)) return kExitFailure;

  const bool needsScripts = ProjectNeedsScripts(session.Store(), project);
  const ScriptSupport scripts(needsScripts);
  // Without the web engine, Qt's own event dispatcher serves: it wakes the
  // loop once per batch of posted notifications, where the other one writes
  // a wake-up for every notification, several per downloaded file.
  if (!needsScripts && !qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
  int argc = 1;
  char name[] = "kestrix-cli";
  char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app = scripts.MakeApplication(argc, argv);

  const bool terminal = isatty(STDOUT_FILENO) == 1;
  TEngineState state;
  ProgressDisplay display(state.Queue, std::cout, std::cerr, terminal);
  THTMLParser parser;
  OfflineState offline;
  int exitCode = kExitStopped;
  {
    TDownloadControl control(
        {options, session.Store(), state, parser, display, scripts.ResolverFactory(offline)});
    control.OpenProject(project);
    control.SetWarcRequest(warc);

    int64_t bytes = 0;
    double rate = 0;
    auto figures = [&] {
      return TProgressFigures{state.ProcessedCount,  state.Queue.Count(), bytes, rate,
                              control.BusyWorkers(), options.ThreadCount};
    };
    // The engine reports "idle" between two entries of one worker too; the
    // run is over only when it is still idle once the pending events ran
    // (a stop ends once its aborted workers have reported).
    auto checkEnd = [&] {
      QTimer::singleShot(0, app.get(), [&] {
        if (!control.IsBusy()) app->quit();
      });
    };
    display.SetOnRunningChanged([&](bool running) {
      if (!running) checkEnd();
    });
    InterruptWatcher interrupt([&] {
      display.Finish();
      std::cerr << "kestrix-cli: stopping the download ...\n";
      control.StopDownload();
      checkEnd();
    });
    QTimer rateTimer;
    QObject::connect(&rateTimer, &QTimer::timeout, [&] {
      const int64_t taken = control.TakeBytesReceived();
      bytes += taken;
      rate = static_cast<double>(taken);
      display.FlushLog();
    });
    rateTimer.start(1000);
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, [&] { display.Show(figures()); });
    if (terminal) refresh.start(200);

    const auto began = std::chrono::steady_clock::now();
    if (!start(control)) {
      exitCode = kExitFailure;
    } else {
      if (control.DownloadRunning()) app->exec();
      // A run that ended short of the queue's end (connection resets) is
      // stopped like one the user stopped, which saves its history.
      if (!control.QueueFinished() && !interrupt.Interrupted()) control.StopDownload();
      if (control.IsBusy()) app->exec();  // until the stop has completed
      bytes += control.TakeBytesReceived();
      display.Show(figures());
      display.Finish();
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
      // Before the last line, which says how the run ended.
      PrintMending(display.Mended());
      for (const std::string& file : control.WarcFiles()) {
        std::cout << "Web archive: " << file << "\n";
      }
      std::string amount = ByteText(state.SavedBytes) + " saved (" + ByteText(state.WireBytes) +
                           " on the wire) in " + SecondsText(seconds) + " s";
      if (state.RobotsRefused > 0) {
        amount += ", " + std::to_string(state.RobotsRefused) + " refused by robots.txt";
      }
      exitCode = ReportRunEnd(control, interrupt.Interrupted(), amount, project);
      // A page left linking to a name no file has is a fault of the copy.
      if (display.Mended().NotWritten > 0 && exitCode == kExitOk) exitCode = kExitSomeFailed;
      // An archive asked for and not written whole is no success either.
      if (control.WarcError() && exitCode == kExitOk) exitCode = kExitFailure;
    }
  }
  if (!session.SaveSettings(writeOptions) && exitCode == kExitOk) exitCode = kExitFailure;
  return exitCode;
}

}  // namespace kestrix
