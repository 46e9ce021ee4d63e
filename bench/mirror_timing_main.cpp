// ui_mirror_timing SETTINGS_FILE FOLDER THREADS [SMAPS_FILE [preview]]:
// mirrors job 1 of project "site" of the settings file in the real main
// window (offscreen), and prints the wall time, the longest stall of the
// event loop and how many of the web engine's helper processes run below it
// at the end, for bench/gui_mirror.sh to set beside kestrix-cli's time. With
// SMAPS_FILE, the process's memory maps at the end are copied there; with
// "preview", the first queue entry is first shown on the View page, as a
// double click shows it.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include <unistd.h>

#include "browser/web_engine_setup.h"
#include "tests/support/event_wait.h"
#include "tests/ui/window_harness.h"
#include "ui/job_grid.h"
#include "ui/preview_pane.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"

using namespace kestrix;

namespace {

// The processes below this one whose name starts with "QtWebEngine".
int EngineHelpers() {
  std::map<qint64, qint64> parent;
  std::map<qint64, bool> helper;
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    if (!number) continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    // pid (comm) state ppid ...: the name may hold spaces, the ")" ends it.
    const QByteArray line = stat.readAll();
    const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
    if (open < 0 || close < open) continue;
    helper[pid] = line.mid(open + 1, close - open - 1).startsWith("QtWebEngine");
    parent[pid] = line.mid(close + 2).split(' ').value(1).toLongLong();
  }
  const qint64 self = getpid();
  int count = 0;
  for (const auto& [pid, isHelper] : helper) {
    qint64 up = parent[pid];
    for (int depth = 0; depth < 64 && up > 1 && up != self; ++depth) up = parent[up];
    if (isHelper && up == self) ++count;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 6 || (argc == 6 && std::string(argv[5]) != "preview")) {
    std::fprintf(stderr,
                 "usage: ui_mirror_timing SETTINGS_FILE FOLDER THREADS [SMAPS_FILE [preview]]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // What the desktop program does before its application exists.
  PrepareEngineFlags();
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
  bool shown = true;
  if (argc == 6 && h.State.Queue.Count() > 0) {
    window.Pages()->setCurrentIndex(TfmMain::kViewPage);
    shown = false;
    if (window.HasPreview()) {
      // Its stop button is on while the page loads: watched through the
      // widgets, so that this program links no more of the engine than the
      // desktop program does.
      const QToolButton& stop = *window.Preview().btnWebStop;
      emit window.QueueView()->doubleClicked(h.Model->index(0, 0));
      shown = test::RunUntil([&stop] { return stop.isEnabled(); }, 20000) &&
              test::RunUntil([&stop] { return !stop.isEnabled(); }, 20000);
    }
  }
  if (argc >= 5) {
    QFile maps(QStringLiteral("/proc/self/smaps"));
    QFile copy(QString::fromLocal8Bit(argv[4]));
    if (maps.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly))
      copy.write(maps.readAll());
  }
  std::printf(
      "gui_wall_s %.2f longest_tick_gap_ms %lld entries %d processed %d engine_helpers %d %s\n",
      seconds, static_cast<long long>(longestGap), h.State.Queue.Count(), h.State.ProcessedCount,
      EngineHelpers(),
      !done   ? "timed-out"
      : shown ? "finished"
              : "not-previewed");
  return done && shown ? 0 : 1;
}
