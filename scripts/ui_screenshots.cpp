// ui_screenshots OUTPUT_FOLDER: mirrors the bundled sample site from nginx on
// 127.0.0.1 in the real main window on the offscreen platform, then saves a
// PNG of every window, page and dialog of the desktop program, for a
// reviewer to look at the whole program without running it.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdio>
#include <functional>

#include "browser/preview_page.h"
#include "browser/web_engine_setup.h"
#include "exploration/explorer_window.h"
#include "exploration/filter_links_dialog.h"
#include "tests/support/event_wait.h"
#include "tests/support/nginx_server.h"
#include "tests/ui/window_harness.h"
#include "ui/find_dialog.h"
#include "ui/job_grid.h"
#include "ui/job_property_dialog.h"
#include "ui/options_dialog.h"
#include "ui/pattern_editor.h"
#include "ui/post_data_dialog.h"
#include "ui/preview_pane.h"
#include "ui/project_list_dialog.h"
#include "ui/project_name_dialog.h"
#include "ui/queue_view.h"
#include "ui/summary_view.h"

using namespace kestrix;
using namespace kestrix::test;

namespace {

class TShots {
 public:
  explicit TShots(QString folder) : folder_(std::move(folder)) {}

  void Save(QWidget& widget, const char* name) {
    // Layouts and the web engine's frames settle over a few turns of the loop.
    RunFor(300);
    const QString path = folder_ + QString::fromLatin1(name) + QStringLiteral(".png");
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    ok_ = ok_ && saved;
    ++count_;
  }
  // Every page of a dialog's tab control, one picture each.
  void SavePages(QWidget& dialog, QTabWidget& pages, const std::vector<const char*>& names) {
    for (int page = 0; page < pages.count() && page < static_cast<int>(names.size()); ++page) {
      pages.setCurrentIndex(page);
      Save(dialog, names[static_cast<size_t>(page)]);
    }
  }
  bool Ok() const { return ok_; }
  int Count() const { return count_; }

 private:
  QString folder_;
  bool ok_ = true;
  int count_ = 0;
};

bool WaitForLoad(QWebEnginePage& page) {
  bool loaded = false;
  const QMetaObject::Connection done =
      QObject::connect(&page, &QWebEnginePage::loadFinished, [&loaded] { loaded = true; });
  const bool finished = RunUntil([&loaded] { return loaded; }, 10000);
  QObject::disconnect(done);
  return finished;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ui_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  PrepareWebEngine();
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
  job.checkLoadStyle = true;
  job.checkLocalize = true;  // the saved pages show their images and styles
  job.editDepth = 5;
  job.lclCheckIgnoreFile = true;
  job.lcleditIgnoreFile = "*.zip;*.exe|bin/*.exe;";
  h.Store->UpdateJob(kProject, 1, job);
  h.Store->AddProject("notes");
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
  TShots shots(out);

  // The main window's pages.
  window.Pages()->setCurrentIndex(TfmMain::kJobsPage);
  shots.Save(window, "main-jobs");
  window.Pages()->setCurrentIndex(TfmMain::kQueuePage);
  window.QueueView()->scrollToTop();
  window.QueueView()->SelectRow(2);
  shots.Save(window, "main-queue");
  TfmFind find(*window.QueueView(), h.Prompts, &window);
  find.FindText()->setText(QStringLiteral("birds"));
  find.Search(true);
  find.show();
  shots.Save(find, "find-dialog");
  shots.Save(window, "main-queue-found");
  find.close();
  window.Pages()->setCurrentIndex(TfmMain::kSummaryPage);
  window.SummaryView()->Update();
  shots.Save(window, "main-summary");

  // The View page: a saved page of the queue, then the live starting page.
  window.QueueView()->SelectRow(0);
  window.Preview().ViewQueueRow(1);
  WaitForLoad(window.Preview().Page());
  shots.Save(window, "main-view-saved-page");
  window.Preview().PreviewStartingPage(kProject, 1);
  WaitForLoad(window.Preview().Page());
  shots.Save(window, "main-view-preview");

  // The job property dialog's pages and the pattern editor.
  TfmProperty property(nullptr);
  property.GetPropertyVar(job);
  property.show();
  shots.SavePages(
      property, *property.pageControl,
      {"job-property-general", "job-property-local-filters", "job-property-remote-filters"});
  TfmEditPatterns patterns;
  patterns.PatternText = job.lcleditIgnoreFile;
  patterns.ShowMask = true;
  patterns.show();
  shots.Save(patterns, "pattern-editor");

  // The options dialog's pages.
  TfmOptions options(nullptr, nullptr);
  options.GetOptionsVar(h.Options, false);
  options.show();
  shots.SavePages(options, *options.pageControl,
                  {"options-general", "options-network", "options-proxy"});

  // The project dialogs.
  TfmProject name(nullptr);
  name.editProjectName->setText(QStringLiteral("travel"));
  name.show();
  shots.Save(name, "project-name");
  TfmEditProject list(nullptr, h.DownloadFolder);
  list.SetProjects(h.Store->Projects());
  list.show();
  shots.Save(list, "project-list");

  // The post data editor, as a form of the preview opens it.
  TfmPostData post;
  post.Setup(server.BaseUrl() + "/cgi-bin/search?q=heron&where=birds&lang=en", std::string(),
             false);
  post.show();
  shots.Save(post, "post-data-editor");

  // The links exploration test on the selected job, its pages and its filter.
  window.JobGrid()->SelectRow(0);
  window.ShowTest();
  TfmTest* test = window.TestWindow();
  if (test == nullptr) return 1;
  test->resize(860, 560);
  test->Button(QStringLiteral("btnGetUrl"))->click();
  RunUntil([test] { return !test->Test().Running(); }, 15000);
  if (auto* pages = test->findChild<QTabWidget*>()) {
    shots.SavePages(*test, *pages, {"exploration-links", "exploration-html", "exploration-log"});
  }
  TfmFilterLinks filter(test);
  filter.SetFilter(test->Test().Filter);
  filter.show();
  shots.Save(filter, "exploration-filter");

  std::printf("%d pictures\n", shots.Count());
  return shots.Ok() ? 0 : 1;
}
