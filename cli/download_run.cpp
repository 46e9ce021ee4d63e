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

std::string SecondsText(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", seconds);
  return buffer;
}

// What the end of the run changed in the saved pages, when anything.
void PrintMending(const TLinkMending& mended) {
  if (mended.Links > 0) {
    std::cout << "Links to files that failed or came under another name: " << mended.Links
              << " mended in " << mended.Pages << (mended.Pages == 1 ? " page" : " pages") << "\n";
  }
  if (mended.NotWritten > 0) {
    std::cerr << "kestrix-cli: " << mended.NotWritten
              << (mended.NotWritten == 1 ? " page" : " pages")
              << " could not be written back with their links mended\n";
  }
  if (mended.ScriptFilesMissing > 0) {
    std::cout << "Files named in scripts that were not found: " << mended.ScriptFilesMissing
              << "\n";
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
      const bool finished = control.QueueFinished();
      std::cout << (finished ? "Finished: " : "Stopped: ") << state.ProcessedCount << " of "
                << state.Queue.Count() << " entries, " << ByteText(bytes) << " in "
                << SecondsText(seconds) << " s";
      if (!finished) std::cout << " ('kestrix-cli aborted " << project << "' goes on)";
      std::cout << "\n";
      PrintMending(display.Mended());
      exitCode = finished ? kExitOk : kExitStopped;
    }
  }
  if (!session.SaveSettings(writeOptions) && exitCode == kExitOk) exitCode = kExitFailure;
  return exitCode;
}

}  // namespace kestrix
