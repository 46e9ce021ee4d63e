// ui_screenshots OUTPUT_FOLDER: mirrors the bundled sample site from nginx on
// 127.0.0.1 in the real main window on the offscreen platform, then saves a
// PNG of each page and of the find dialog, for a reviewer to look at.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>

#include "tests/support/event_wait.h"
#include "tests/support/nginx_server.h"
#include "tests/ui/window_harness.h"
#include "ui/find_dialog.h"
#include "ui/job_grid.h"
#include "ui/queue_view.h"
#include "ui/summary_view.h"

using namespace kestrix;
using namespace kestrix::test;

namespace {

bool Save(QWidget& widget, const QString& path) {
  QCoreApplication::processEvents();
  const bool saved = widget.grab().save(path);
  std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ui_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
  QDir().mkpath(out);

  TNginxServer server(KESTRIX_SOURCE_DIR "/samples/site/");
  if (!server.Start()) {
    std::fprintf(stderr, "ui_screenshots: %s\n", server.Error().c_str());
    return 1;
  }
  TWindowHarness h(
      {server.BaseUrl() + "/index.html", server.BaseUrl() + "/birds/<raptors,waders>/"}, 4);
  TJobRecord job;
  h.Store->GetJob(kProject, 1, job);
  job.checkLoadImg = true;
  job.editDepth = 5;
  h.Store->UpdateJob(kProject, 1, job);
  TfmMain& window = *h.Window;
  window.ChangeProject(QString::fromLatin1(kProject));
  window.resize(900, 560);
  window.JobGrid()->SelectRow(0);
  window.StartSelectedJob();
  if (!h.WaitIdle(60000)) {
    std::fprintf(stderr, "ui_screenshots: the mirror did not finish\n");
    return 1;
  }
  RunFor(3 * TQueueModel::kFlushMs);
  bool saved = true;
  window.Pages()->setCurrentIndex(TfmMain::kJobsPage);
  saved &= Save(window, out + QStringLiteral("main-jobs.png"));
  window.Pages()->setCurrentIndex(TfmMain::kQueuePage);
  window.QueueView()->scrollToTop();
  window.QueueView()->SelectRow(2);
  saved &= Save(window, out + QStringLiteral("main-queue.png"));
  window.Pages()->setCurrentIndex(TfmMain::kSummaryPage);
  window.SummaryView()->Update();
  saved &= Save(window, out + QStringLiteral("main-summary.png"));
  window.Pages()->setCurrentIndex(TfmMain::kQueuePage);
  TfmFind find(*window.QueueView(), h.Prompts, &window);
  find.FindText()->setText(QStringLiteral("birds"));
  find.Search(true);
  find.show();
  saved &= Save(find, out + QStringLiteral("find-dialog.png"));
  saved &= Save(window, out + QStringLiteral("main-queue-found.png"));
  return saved ? 0 : 1;
}
