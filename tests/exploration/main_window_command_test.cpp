// The main window's "Exploration test" command opens the test window on the
// selected job, and the queue's "Links exploration test" on an entry.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTest>

#include "exploration/explorer_window.h"
#include "tests/support/event_wait.h"
#include "tests/support/nginx_server.h"
#include "tests/ui/window_harness.h"
#include "ui/job_grid.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"

namespace kestrix::test {
namespace {

// Both commands on one window: the job's test first, then, after a
// download, the test of a queued entry.
TEST(MainWindowTestCommand, OpensTheTestOnTheSelectedJobOrQueueEntry) {
  TScratchDir site;
  site.WriteFile("one.html", "<a href=\"two.html\">two</a>\n");
  site.WriteFile("two.html", "<p>two</p>\n");
  TNginxServer nginx(site.Path());
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  const std::string one = nginx.BaseUrl() + "/one.html", two = nginx.BaseUrl() + "/two.html";
  TWindowHarness h({two, one});
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
  ASSERT_EQ(h.Window->TestWindow()->Test().Links().size(), 1u);
  EXPECT_EQ(h.Window->TestWindow()->Test().Links()[0].Url, two);

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
