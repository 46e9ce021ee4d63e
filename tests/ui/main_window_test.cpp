// The main window against a real engine and nginx on 127.0.0.1: job rows,
// refusals while the queue is in use, unsafe names, drops, the run's
// figures and geometry.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <map>

#include "engine/history_file.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/support/nginx_server.h"
#include "tests/ui/window_harness.h"
#include "ui/job_grid.h"
#include "ui/queue_view.h"
#include "ui/summary_view.h"

namespace kestrix::test {
namespace {

std::vector<std::string> StateColumn(const TfmMain& window) {
  std::vector<std::string> states;
  for (int row = 0; row < window.JobGrid()->rowCount(); ++row) {
    states.push_back(window.JobGrid()->StateText(row).toStdString());
  }
  return states;
}

// Three jobs, the second with a blank in its URL and the third with the
// first one's URL: each row is marked by its own job number. The status bar
// has a light per worker and the queue's figures.
TEST(MainWindowJobs, JobRowsFollowTheirOwnJobsThroughStartMoveAndDelete) {
  TScratchDir site;
  site.WriteFile("index.html", "<a href=\"one.html\">one</a> <img src=\"p.gif\">");
  site.WriteFile("one.html", "<a href=\"index.html\">back</a>");
  site.WriteFile("a b.html", "<a href=\"one.html\">one</a>");
  site.WriteFile("p.gif", "GIF89a");
  TNginxServer server(site.Path());
  ASSERT_TRUE(server.Start()) << server.Error();
  const auto url = [&server](const std::string& path) { return server.BaseUrl() + "/" + path; };
  TWindowHarness h({url("index.html"), url("a b.html"), url("index.html")}, 3);
  TfmMain& window = *h.Window;
  EXPECT_EQ(window.WorkerLights(), 3);
  window.JobGrid()->SelectRow(1);
  window.StartSelectedJob();
  EXPECT_EQ(StateColumn(window), (std::vector<std::string>{"", "Started", ""}));
  ASSERT_TRUE(h.WaitIdle());
  EXPECT_EQ(StateColumn(window), (std::vector<std::string>{"", "Completed", ""}));
  EXPECT_EQ(window.PanelText(2).toStdString(), "Recieved: 3");
  EXPECT_EQ(window.PanelText(3).toStdString(), "Queue: 3");
  for (int slot = 0; slot < 3; ++slot) EXPECT_FALSE(window.WorkerLit(slot));

  int modelSignals = 0;
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
    QObject::connect(h.Model.get(), signal, [&] { ++modelSignals; });
  }
  QObject::connect(h.Model.get(), &QAbstractItemModel::dataChanged, [&] { ++modelSignals; });
  QElapsedTimer clock;
  clock.start();
  h.Prompts.Answer = true;  // "Update queue ?"
  window.StartAllJobs();
  EXPECT_EQ(window.Pages()->currentIndex(), TfmMain::kQueuePage);
  EXPECT_EQ(StateColumn(window), (std::vector<std::string>{"Started", "Started", "Started"}));
  ASSERT_TRUE(h.WaitIdle());
  h.Model->Flush();
  EXPECT_EQ(StateColumn(window), (std::vector<std::string>{"Completed", "Completed", "Completed"}));
  // Batched: a few model signals per 100 ms, not several per entry.
  EXPECT_LE(modelSignals, 3 * (clock.elapsed() / TQueueModel::kFlushMs + 2));
  EXPECT_EQ(h.Model->rowCount(), h.State.Queue.Count());
  EXPECT_EQ(h.Model->CellText(0, 0), url("a%20b.html"));
  window.QueueView()->SelectRow(1);  // as a click would
  EXPECT_EQ(window.PanelText(0).toStdString(), "2");

  // Moving job 1 to the end: the store, the states and the queued entries
  // all follow.
  window.JobGrid()->SetStateText(0, QStringLiteral("Stoped"));
  window.MoveJob(0, 2);
  TJobRecord job;
  h.Store->GetJob(kProject, 1, job);
  EXPECT_EQ(job.editUrl, url("a b.html"));
  EXPECT_EQ(StateColumn(window), (std::vector<std::string>{"Completed", "Completed", "Stoped"}));
  EXPECT_EQ(h.State.Queue.Entry(0).JobNumber, 1);  // "a b.html" was job 2

  window.JobGrid()->SelectRow(2);
  window.DeleteJob(false);
  EXPECT_EQ(h.Store->JobCount(kProject), 2);
  EXPECT_EQ(window.JobGrid()->rowCount(), 2);
  window.JobGrid()->SelectRow(0);
  h.Prompts.Answer = false;
  window.DeleteJob(true);  // Del asks first, with No for Enter
  EXPECT_EQ(h.Prompts.NoByDefault, std::vector<std::string>{"Delete curren job ?"});
  EXPECT_EQ(h.Store->JobCount(kProject), 2);

  // Clearing the data shows the emptied queue's figures at once.
  h.Prompts.Answer = true;
  window.ClearData();
  RunFor(3 * TQueueModel::kFlushMs);
  const auto shown = [&window](const char* panel) {
    return window.findChild<QLabel*>(QString::fromLatin1(panel))->text().toStdString();
  };
  EXPECT_EQ(shown("StBarPanel2"), "Recieved: 0");
  EXPECT_EQ(shown("StBarPanel3"), "Queue: 0");
}

// Queued entries name their job by number. Moving and deleting jobs, or
// choosing another download folder, must never leave a reopened project's
// entries with another job's depth and filters.
TEST(MainWindowJobs, HistoryEntriesKeepTheirOwnJobsThroughMovesDeletesAndReopening) {
  TWindowHarness h({"http://a.test/", "http://b.test/", "http://c.test/"});
  TEngineState saved;
  for (int number = 1; number <= 3; ++number) {
    TJobRecord job;
    h.Store->GetJob(kProject, number, job);
    job.lcleditRetriveFile = job.editUrl;  // each job's own filter
    h.Store->UpdateJob(kProject, number, job);
    TRetriveRec entry;
    entry.JobNumber = number;
    entry.LocalFolder = h.DownloadFolder + kProject + "/";
    entry.LocalFileName = std::to_string(number) + ".html";
    saved.Queue.Append(job.editUrl + "page.html", entry);
  }
  std::filesystem::create_directories(h.DownloadFolder);
  ASSERT_TRUE(SaveHistory(h.DownloadFolder, kProject, saved));
  h.Store->AddProject("other");
  const auto reopen = [&h] {
    h.Window->ChangeProject(QStringLiteral("other"));
    h.Window->ChangeProject(QString::fromLatin1(kProject));
  };
  // Each entry's filter, by the URL of the page it names.
  const auto filters = [&h] {
    std::map<std::string, std::string> seen;
    for (int32_t i = 0; i < h.State.Queue.Count(); ++i) {
      seen[std::string(h.State.Queue.Url(i))] = h.State.Queue.Entry(i).Job->lcleditRetriveFile;
    }
    return seen;
  };
  using TSeen = std::map<std::string, std::string>;
  const TSeen own = {{"http://a.test/page.html", "http://a.test/"},
                     {"http://b.test/page.html", "http://b.test/"},
                     {"http://c.test/page.html", "http://c.test/"}};
  reopen();
  ASSERT_EQ(filters(), own);
  h.Window->MoveJob(0, 2);
  reopen();
  EXPECT_EQ(filters(), own);
  h.Window->JobGrid()->SelectRow(0);  // b, now first
  h.Window->DeleteJob(false);
  reopen();
  TSeen orphaned = own;
  orphaned["http://b.test/page.html"] = "";  // its job is gone
  EXPECT_EQ(filters(), orphaned);

  // Another download folder: the project is read again from there.
  h.Dialogs.NewFolder = h.Dir.Path() + "elsewhere/";
  h.Window->ShowOptions();
  EXPECT_EQ(h.State.Queue.Count(), 0);
  EXPECT_EQ(h.Control->RunningProject(), kProject);
}

// A server that never answers keeps the queue in use until Stop.
TEST(MainWindowBusy, ProjectChangeClearAndExitAreRefusedUntilStopped) {
  TFaultServer server(R"({"routes": {"*": [{"hold": 30}]}})");
  ASSERT_TRUE(server.Start()) << server.Error();
  TWindowHarness h({server.BaseUrl() + "/slow.html"});
  h.Store->AddProject("other");
  h.Window->ChangeProject(QString::fromLatin1(kProject));
  std::filesystem::create_directories(h.DownloadFolder + kProject);
  h.Window->StartSelectedJob();
  ASSERT_TRUE(RunUntil([&] { return h.Control->BusyWorkers() > 0; }, 5000));

  h.Prompts.Answer = false;  // do not stop
  h.Window->ChangeProject(QStringLiteral("other"));
  EXPECT_EQ(h.Window->RunningProject(), kProject);
  EXPECT_EQ(h.Window->Projects()->currentText().toStdString(), kProject);
  h.Window->ClearData();
  EXPECT_TRUE(std::filesystem::exists(h.DownloadFolder + kProject));
  EXPECT_FALSE(h.Window->close());
  EXPECT_EQ(h.Prompts.Texts, std::vector<std::string>(3, "Stop download project  site  ?"));

  // A click that arrives while the stop waits for its workers runs after it.
  bool askedInsideStop = false;
  h.Prompts.OnPrompt = [&](const std::string&) { askedInsideStop |= h.Control->IsBusy(); };
  QTimer::singleShot(0, h.Window.get(),
                     [&] { h.Window->Action(QStringLiteral("btnClear"))->trigger(); });
  h.Window->StopDownload();
  ASSERT_TRUE(RunUntil([&] { return !h.Control->IsBusy(); }, 5000));
  RunFor(100);
  EXPECT_FALSE(askedInsideStop);
  EXPECT_EQ(h.Prompts.Texts.back(), "Delete downloaded data ?");
  EXPECT_EQ(h.Prompts.NoByDefault, std::vector<std::string>{"Delete downloaded data ?"});
  EXPECT_EQ(StateColumn(*h.Window), std::vector<std::string>{"Stoped"});

  // "Continue aborted" starts the stopped job again.
  emit h.Window->QueueView()->ContinueAbortedRequested();
  ASSERT_TRUE(RunUntil([&] { return h.Control->BusyWorkers() > 0; }, 5000));
  EXPECT_EQ(StateColumn(*h.Window), std::vector<std::string>{"Started"});

  // Exit confirmed during a download leaves once the stop is complete,
  // without a second Exit.
  h.Prompts.OnPrompt = nullptr;
  h.Prompts.Answer = true;
  h.Window->close();
  EXPECT_TRUE(RunUntil([&] { return !h.Window->isVisible(); }, 5000));
  EXPECT_FALSE(h.Control->IsBusy());
}

// Then the window's place, written when it closes.
TEST(MainWindowEntries, TypedPastedAndDroppedEntriesAreCheckedAndStored) {
  TWindowHarness h({});
  // Which names are unusable is core's table; here only that it is asked.
  h.Dialogs.ProjectAnswers = {"../x"};
  h.Window->NewProject();
  EXPECT_EQ(h.Store->ProjectCount(), 1);
  EXPECT_EQ(h.Prompts.Texts.size(), 1u);
  // A URL typed into the grid or pasted from the clipboard is checked too.
  h.Window->ChangeProject(QString::fromLatin1(kProject));
  h.Dialogs.JobUrls.clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("http://a.test/`x"));
  h.Window->PasteJob();
  EXPECT_TRUE(h.Dialogs.JobUrls.empty());
  h.Window->NewJob(QStringLiteral("http://a.test/"));
  const auto storedUrl = [&h] {
    TJobRecord job;
    h.Store->GetJob(kProject, 1, job);
    return job.editUrl;
  };
  h.Window->EditJobUrl(0, QStringLiteral("http://b.test/`y"));
  EXPECT_EQ(storedUrl(), "http://a.test/");
  h.Window->EditJobUrl(0, QStringLiteral(" http://b.test/ok "));
  EXPECT_EQ(storedUrl(), "http://b.test/ok");
  // The same through the grid's own editor: double click, type, Enter.
  TJobGrid& grid = *h.Window->JobGrid();
  const QRect cell = grid.visualItemRect(grid.item(0, TJobGrid::kUrl));
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_TRUE(grid.Editing());
  auto* editor = grid.viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, QStringLiteral("http://c.test/typed"));
  QTest::keyClick(editor, Qt::Key_Return);
  RunFor(50);
  EXPECT_FALSE(grid.Editing());
  EXPECT_EQ(storedUrl(), "http://c.test/typed");

  // The manual missing from beside the program is said, not ignored; so is
  // a desktop without a program for the manual or the folder.
  h.Window->ShowHelp();
  EXPECT_NE(h.Prompts.Texts.back().find("'   not Found !"), std::string::npos);
  h.Dir.WriteFile("Help/none.html", "<p>manual</p>");
  h.OpenAnswer = false;
  for (void (TfmMain::*command)() : {&TfmMain::ShowHelp, &TfmMain::ShowFolder}) {
    const size_t said = h.Prompts.Texts.size();
    (h.Window.get()->*command)();
    ASSERT_EQ(h.Prompts.Texts.size(), said + 1);
    EXPECT_TRUE(h.Prompts.Texts.back().starts_with("No program on this desktop opens"));
  }
  EXPECT_EQ(h.Opened.size(), 2u);

  h.Dialogs.ProjectAnswers = {"  fresh  "};
  h.Window->NewProject();
  EXPECT_EQ(h.Window->RunningProject(), "fresh");

  // Clearing removes the project's folder and nothing beside it.
  h.Window->ChangeProject(QString::fromLatin1(kProject));
  h.Dir.WriteFile("downloads/keep.txt", "x");
  h.Dir.WriteFile(std::string("downloads/") + kProject + "/old.html", "x");
  h.Prompts.Answer = true;
  h.Window->ClearData();
  EXPECT_FALSE(std::filesystem::exists(h.DownloadFolder + kProject));
  EXPECT_TRUE(std::filesystem::exists(h.DownloadFolder + "keep.txt"));

  // Dropped URLs become jobs one by one; unsafe ones are refused the same way.
  QMimeData uris, text;
  uris.setUrls(
      {QUrl(QStringLiteral("http://a.test/x")), QUrl(QStringLiteral("http://b.test/y z"))});
  text.setText(QStringLiteral(" http://c.test/\n\nhttp://d.test/`bad\nhttp://e.test/ "));
  using TJobs = std::vector<std::string>;
  for (const auto& [data, jobs] :
       {std::pair{&uris, TJobs{"http://a.test/x", "http://b.test/y%20z"}},
        std::pair{&text, TJobs{"http://c.test/", "http://e.test/"}}}) {
    SCOPED_TRACE(jobs[0]);
    h.Dialogs.JobUrls.clear();
    QWidget* target = h.Window->JobGrid()->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    RunFor(50);
    EXPECT_EQ(h.Dialogs.JobUrls, jobs);
  }
  EXPECT_EQ(h.Store->JobCount(kProject), 5);
  EXPECT_NE(h.Prompts.Texts.back().find("\"`\""), std::string::npos);

  // A cancelled dialog in a series may stop the rest of it.
  h.Dialogs.JobUrls.clear();
  h.Dialogs.JobAnswer = false;
  h.Prompts.Answer = false;
  h.Window->DropUrls({QStringLiteral("http://f.test/"), QStringLiteral("http://g.test/"),
                      QStringLiteral("http://h.test/")});
  EXPECT_EQ(h.Dialogs.JobUrls, std::vector<std::string>{"http://f.test/"});
  EXPECT_EQ(h.Prompts.Texts.back(), "Go on with the 2 other dropped link(s) ?");
  EXPECT_EQ(h.Store->JobCount(kProject), 5);

  // The place written at exit is the normal one. The offscreen platform has
  // no tray: the minimised window must stay reachable.
  h.Options.ToTray = true;
  h.Window->move(120, 90);
  h.Window->resize(640, 520);
  h.Window->showMinimized();
  RunFor(50);
  EXPECT_TRUE(h.Window->Minimized());
  EXPECT_FALSE(h.Window->isHidden());
  h.Window->showMaximized();
  RunFor(50);
  EXPECT_TRUE(h.Window->close());
  EXPECT_EQ(h.Ini->ReadInteger("MainWnd", "Width", 0), 640);
  EXPECT_EQ(h.Ini->ReadInteger("MainWnd", "Height", 0), 520);
}

// After a run over gzip, the Summary page tells the documents' bytes from
// the fewer that came over the wire, and counts what robots.txt refused.
TEST(MainWindowSummary, ShowsSavedAndWireBytesApartAndRobotsRefusals) {
  TScratchDir site;
  const std::string index =
      "<a href=\"a.html\">a</a> <a href=\"secret.html\">s</a>" + std::string(4000, ' ') + ".";
  site.WriteFile("index.html", index);
  site.WriteFile("a.html", std::string(3000, 'a'));
  site.WriteFile("secret.html", "s");
  site.WriteFile("robots.txt", "User-agent: *\nDisallow: /secret.html\n");
  TNginxServer server(site.Path(), "gzip on; gzip_min_length 1;");
  ASSERT_TRUE(server.Start()) << server.Error();
  TWindowHarness h({server.BaseUrl() + "/index.html"});
  h.Window->JobGrid()->SelectRow(0);
  h.Window->StartSelectedJob();
  ASSERT_TRUE(h.WaitIdle());
  TSummaryView& summary = *h.Window->SummaryView();
  summary.UpdateButton()->click();
  const QLocale locale;
  EXPECT_EQ(summary.SavedText(), locale.toString(static_cast<qlonglong>(index.size() + 3000)));
  const qlonglong wire = locale.toLongLong(summary.WireText());
  EXPECT_GT(wire, 0);
  EXPECT_LT(wire, 1000);
  EXPECT_EQ(summary.RefusedText(), locale.toString(1));
  // One host, the refused page among the failures (counted by queue_summary_test).
  EXPECT_EQ(summary.HostsGrid()->rowCount(), 1);
  EXPECT_EQ(summary.ErrorsGrid()->rowCount(), 1);
}

TEST(MainWindowGeometry, PlacesAreFittedToAVisibleScreen) {
  const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  for (const auto& [wanted, fitted] :
       {std::pair{QRect(55, 108, 700, 375), QRect(55, 108, 700, 375)},
        std::pair{QRect(2000, 100, 700, 375), QRect(2000, 100, 700, 375)},
        std::pair{QRect(-32000, -32000, 160, 28), QRect(50, 50, 200, 150)},  // minimised
        std::pair{QRect(5000, 5000, 700, 375), QRect(50, 50, 700, 375)},
        std::pair{QRect(100, 100, 4000, 3000), QRect(0, 0, 1920, 1080)}}) {
    EXPECT_EQ(TfmMain::FitToScreens(wanted, screens), fitted) << wanted.x();
  }
}

}  // namespace
}  // namespace kestrix::test
