// The main window's "Exploration test" command opens the test window on the
// selected job, and the queue's "Links exploration test" on an entry.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "browser/script_executor.h"
#include "core/offline_state.h"
#include "exploration/explorer_window.h"
#include "tests/support/event_wait.h"
#include "tests/support/nginx_server.h"
#include "tests/ui/window_harness.h"
#include "ui/job_grid.h"
#include "ui/preview_pane.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"

namespace kestrix::test {
namespace {

// Both commands on one window: the job's test first, resolving script links
// as a download does and coming back when asked for again while minimised;
// then, after a download, the test of a queued entry. Before them, the View
// page shows its controls the first time it opens and Queue takes the keys.
TEST(MainWindowTestCommand, OpensTheTestOnTheSelectedJobOrQueueEntry) {
  TScratchDir site;
  site.WriteFile(
      "one.html",
      "<a href=\"two.html\">two</a> <a href=\"javascript:location.href='s.html'\">s</a>\n");
  site.WriteFile("two.html", "<p>two</p>\n");
  TNginxServer nginx(site.Path());
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  const std::string one = nginx.BaseUrl() + "/one.html", two = nginx.BaseUrl() + "/two.html";
  OfflineState offline;
  TWindowHarness h({two, one}, 2,
                   [&offline] { return std::make_unique<TScriptExecutor>(offline, nullptr); });
  TJobRecord job;
  h.Store->GetJob(kProject, 2, job);
  job.checkLoadScript = true;
  h.Store->UpdateJob(kProject, 2, job);
  EXPECT_FALSE(h.Window->HasPreview());
  h.Window->Pages()->setCurrentIndex(TfmMain::kViewPage);
  ASSERT_TRUE(h.Window->HasPreview());
  RunFor(20);
  EXPECT_TRUE(h.Window->Preview().edNavigate->isVisible());
  h.Window->activateWindow();
  RunFor(50);
  h.Window->Pages()->setCurrentIndex(TfmMain::kQueuePage);
  EXPECT_EQ(QApplication::focusWidget(), h.Window->QueueView());

  const auto fetch = [&h](const std::string& url) {
    TfmTest* test = h.Window->TestWindow();
    ASSERT_NE(test, nullptr);
    EXPECT_TRUE(test->isVisible());
    EXPECT_EQ(test->Test().Job().editUrl, url);
    QTest::mouseClick(test->Button(QStringLiteral("btnGetUrl")), Qt::LeftButton);
    ASSERT_TRUE(RunUntil([test] { return !test->Test().Running(); }, 15000));
  };
  QAction* command = h.Window->Action(QStringLiteral("btnTest"));
  ASSERT_TRUE(command->isEnabled());
  h.Window->JobGrid()->SelectRow(1);
  command->trigger();
  fetch(one);
  TfmTest* test = h.Window->TestWindow();
  ASSERT_EQ(test->Test().Links().size(), 2u);
  EXPECT_EQ(test->Test().Links()[0].Url, two);
  EXPECT_EQ(test->Test().Links()[1].Type, TLinkType::ScriptResult);
  EXPECT_EQ(test->Test().Links()[1].Url, nginx.BaseUrl() + "/s.html");
  test->showMinimized();
  ASSERT_TRUE(test->isMinimized());
  command->trigger();
  EXPECT_FALSE(test->isMinimized());

  h.Window->StartDownload();
  ASSERT_TRUE(h.WaitIdle());
  h.Model->Flush();
  const int row = h.State.Queue.Find(two);
  ASSERT_GE(row, 0);
  h.Window->QueueView()->SelectRow(row);
  QTest::keyClick(h.Window->QueueView(), Qt::Key_E, Qt::ControlModifier);
  fetch(two);
  EXPECT_EQ(h.Window->TestWindow()->Test().Current().JobNumber, 2);

  // "Save html" asks the program's file chooser.
  h.Dialogs.SaveAnswer = h.Dir.Path() + "kept.html";
  QTest::mouseClick(h.Window->TestWindow()->Button(QStringLiteral("btnSaveHtml")), Qt::LeftButton);
  EXPECT_EQ(h.Dialogs.SaveOffers, std::vector<std::string>{"two.html"});
  EXPECT_EQ(ReadWholeFile(h.Dialogs.SaveAnswer), "<p>two</p>\n");
}

}  // namespace
}  // namespace kestrix::test
