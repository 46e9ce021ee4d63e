// ui_mirror_timing SETTINGS_FILE FOLDER THREADS: mirrors job 1 of project
// "site" of the settings file in the real main window (offscreen), and
// prints the wall time and the longest stall of the event loop, for
// bench/gui_mirror.sh to set beside kestrix-cli's time.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/support/event_wait.h"
#include "tests/ui/window_harness.h"
#include "ui/job_grid.h"

using namespace kestrix;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: ui_mirror_timing SETTINGS_FILE FOLDER THREADS\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TGlobalOptions options = ReadOptions(IniFile(argv[1]), argv[2]);
  options.DownLoadFolder = std::string(argv[2]) + "/";
  options.ThreadCount = std::stoi(argv[3]);
  test::TWindowHarness h(argv[1], options);
  TfmMain& window = *h.Window;
  window.ChangeProject(QStringLiteral("site"));
  window.JobGrid()->SelectRow(0);

  // A 10 ms tick: any longer gap between two ticks is time the loop could
  // not answer the user.
  QElapsedTimer sinceTick;
  qint64 longestGap = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout,
                   [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
  QElapsedTimer wall;
  wall.start();
  sinceTick.start();
  tick.start(10);
  window.StartDownload();
  const bool done = test::RunUntil([&] { return !h.Control->IsBusy(); }, 600000);
  const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  tick.stop();
  std::printf("gui_wall_s %.2f longest_tick_gap_ms %lld entries %d processed %d %s\n", seconds,
              static_cast<long long>(longestGap), h.State.Queue.Count(), h.State.ProcessedCount,
              done ? "finished" : "timed-out");
  return done ? 0 : 1;
}
