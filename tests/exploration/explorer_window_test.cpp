// The exploration test window, headless, against nginx and the fault
// server: its grids, its steps, what it refuses while a fetch runs, its
// page tools, its rendered view and its place; and the main window's
// commands that open it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "browser/preview_page.h"
#include "browser/script_executor.h"
#include "core/ini_file.h"
#include "core/offline_state.h"
#include "exploration/explorer_web_view.h"
#include "exploration/explorer_window.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/window_harness.h"
#include "ui/job_grid.h"
#include "ui/preview_pane.h"
#include "ui/queue_model.h"
#include "ui/queue_view.h"

namespace kestrix::test {
namespace {

class ExplorerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.WriteFile(
        "index.html",
        "<meta charset=\"iso-8859-1\"><a href=\"caf\xe9.html\">a \xa9</a>\n<img src=\"i.gif\">\n"
        "<a href=\"mailto:x@y\">m</a>\n");
    site_.WriteFile("caf\xe9.html", "<a href=\"index.html\">home</a>\n");
    ASSERT_TRUE(nginx_.Start()) << nginx_.Error();
    ASSERT_TRUE(faults_.Start()) << faults_.Error();
    options_.DownLoadFolder = dir_.Path();
    options_.TimeOut = 10;
    TExplorerWindowHooks hooks;
    hooks.Tell = [this](QWidget*, const QString& text) { told_.push_back(text.toStdString()); };
    hooks.Ask = [this](QWidget*, const QString& text) {
      asked_.push_back(text.toStdString());
      return answer_;
    };
    hooks.EditFilter = [this](QWidget*, TLinkFilter& filter) {
      filter = filter_;
      return true;
    };
    hooks.SaveFileName = [this](QWidget*, const QString& suggested) {
      offered_.push_back(suggested.toStdString());
      return QString::fromStdString(saveAs_);
    };
    hooks.FindInGrid = [this](QWidget*, QAbstractItemView& grid) { searched_ = &grid; };
    hooks.Offline = &offline_;
    window_ = std::make_unique<TfmTest>(options_, std::move(hooks));
    window_->show();
  }
  void Start(const std::string& url, int depth = 2, bool koi8 = false) {
    TJobRecord job;
    job.ProjectName = "p";
    job.editUrl = url;
    job.editDepth = depth;
    job.checkLoadImg = false;
    job.lclcheckKoi8 = koi8;
    ASSERT_TRUE(window_->CreateNewThread(job, 1));
  }
  bool Click(const char* name) {
    QPushButton* button = window_->Button(QString::fromLatin1(name));
    if (button == nullptr) return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
  }
  bool WaitIdle() {
    return RunUntil([this] { return !window_->Test().Running(); }, 15000);
  }
  // A grid row's cells joined by tabs, as the pop-up menu copies it.
  static std::string Row(QTableWidget* grid, int row) {
    std::string text;
    for (int column = 0; column < grid->columnCount(); ++column) {
      const QTableWidgetItem* item = grid->item(row, column);
      text += (column > 0 ? "\t" : "") + (item ? item->text().toStdString() : std::string());
    }
    return text;
  }
  std::string Label(const char* name) const {
    return window_->LabelText(QString::fromLatin1(name)).toStdString();
  }

  TScratchDir site_, dir_;
  TNginxServer nginx_{site_.Path()};
  TFaultServer faults_{
      R"({"routes": {"/hold": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a"}, {"hold": 30}],)"
      R"( "/render": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<p>shown<img src=\"http://127.0.0.1:{port}/pic.gif\"></p>"}]}})"};
  TGlobalOptions options_;
  OfflineState offline_;
  QAbstractItemView* searched_ = nullptr;  // the grid "Find in grid" was asked for
  std::string saveAs_;
  std::vector<std::string> told_, asked_, offered_;
  bool answer_ = true;
  TLinkFilter filter_;
  std::unique_ptr<TfmTest> window_;
};

TEST_F(ExplorerWindowTest, GridsToolsAndStepsWorkOnTheFetchedPages) {
  Start(nginx_.BaseUrl() + "/index.html");
  EXPECT_FALSE(window_->Button(QStringLiteral("btnSaveHtml"))->isEnabled());  // nothing fetched
  ASSERT_TRUE(Click("btnGetUrl"));
  ASSERT_TRUE(WaitIdle());
  QTableWidget* enabled = window_->EnabledGrid();
  QTableWidget* disabled = window_->DisabledGrid();
  ASSERT_EQ(enabled->rowCount(), 1);
  // The link's URL and text in the page's declared charset.
  EXPECT_EQ(Row(enabled, 0), nginx_.BaseUrl() + "/caf\u00e9.html\ta \u00a9\tLocal\tGet\t");
  ASSERT_EQ(disabled->rowCount(), 2);
  EXPECT_EQ(
      Row(disabled, 0),
      nginx_.BaseUrl() + "/i.gif\t\t\tLocal\t0\tImages from local server retrieval was disabled");
  EXPECT_EQ(Label("lblParent"), "Parent Url : no parent");
  EXPECT_EQ(window_->StatusText().toStdString(), "3 link(s) total");
  // "Save html" writes the page's bytes where the user chose; a place that
  // cannot be written is told, not ignored.
  saveAs_ = dir_.Path() + "saved.html";
  ASSERT_TRUE(Click("btnSaveHtml"));
  EXPECT_EQ(offered_, std::vector<std::string>{"index.html"});
  EXPECT_EQ(ReadWholeFile(saveAs_), ReadWholeFile(site_.Path() + "index.html"));
  saveAs_ = dir_.Path() + "missing/folder/saved.html";
  ASSERT_TRUE(Click("btnSaveHtml"));
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_TRUE(told_[0].starts_with("Cannot write " + saveAs_)) << told_[0];

  // The pop-up menu acts on the grid and row it was opened on.
  const QPoint second = disabled->visualRect(disabled->model()->index(1, 0)).center();
  window_->OpenGridMenu(disabled, second);
  ASSERT_TRUE(window_->GridMenu()->isVisible());
  const QList<QAction*> items = window_->GridMenu()->actions();
  ASSERT_EQ(items.size(), 2);  // "Copy to clipboard", "Find in grid"
  EXPECT_EQ(disabled->currentRow(), 1);
  items[0]->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "mailto:x@y\tm\t\tLocal\t0\tUnsupported protocol");
  window_->GridMenu()->hide();
  items[1]->trigger();
  EXPECT_EQ(searched_, disabled);

  // A link whose URL is not UTF-8 is followed all the same.
  enabled->selectRow(0);
  ASSERT_TRUE(Click("btnNextLevel"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Label("lblDepth"), "Depth       :1");
  EXPECT_EQ(window_->Test().StatusCode(), 200);
  ASSERT_TRUE(Click("btnBack"));
  EXPECT_EQ(enabled->rowCount(), 1);

  // The filter chosen applies at once (which links it hides is the driver's).
  filter_.Disabled[static_cast<int>(TLinkType::Image)] = false;
  filter_.Disabled[static_cast<int>(TLinkType::HtmlReference)] = false;
  ASSERT_TRUE(Click("btnFilter"));
  EXPECT_EQ(disabled->rowCount(), 0);

  // Delete all asks first, and on Yes starts over with an empty cache.
  ASSERT_TRUE(Click("btnDeleteAll"));
  EXPECT_EQ(asked_, std::vector<std::string>{"Clear all parsed links and disk cache ?"});
  EXPECT_EQ(enabled->rowCount(), 0);

  // A KOI8-R page the job converts still declares KOI8-R.
  site_.WriteFile("koi8.html",
                  "<meta charset=\"koi8-r\"><a href=\"b.html\">\xe4\xc1\xcc\xd8\xdb\xc5</a>\n");
  Start(nginx_.BaseUrl() + "/koi8.html", 2, true);
  ASSERT_TRUE(Click("btnGetUrl"));
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(enabled->rowCount(), 1);
  EXPECT_EQ(enabled->item(0, 1)->text(), QStringLiteral("\u0414\u0430\u043b\u044c\u0448\u0435"));
}

TEST_F(ExplorerWindowTest, RenderedViewObeysTheOfflineSettingAndClosingDuringAFetchIsRefused) {
  // The program works online, its options say offline: the fetch applies
  // the options, and the rendered page then loads nothing from the network.
  offline_.SetGlobalOffline(false);
  options_.GlobalOfflineFlag = true;
  Start(faults_.BaseUrl() + "/render");
  EXPECT_EQ(window_->WebView(), nullptr);  // no engine until a page is rendered
  window_->ViewAsWeb()->click();
  ASSERT_NE(window_->WebView(), nullptr);
  int loads = 0;
  QObject::connect(window_->WebView()->Page(), &QWebEnginePage::loadFinished,
                   [&](bool) { ++loads; });
  const auto requested = [this](const char* path) {
    for (const TRecordedRequest& request : faults_.Requests()) {
      if (request.RequestLine.find(path) != std::string::npos) return true;
    }
    return false;
  };
  ASSERT_TRUE(Click("btnGetUrl"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(offline_.IsGlobalOffline());
  // Saved without an extension, the page is still rendered, not shown as text.
  ASSERT_TRUE(RunUntil([&] { return loads > 0; }, 20000));
  QString text;
  ASSERT_TRUE(RunUntil(
      [&] {
        window_->WebView()->Page()->toPlainText([&](const QString& shown) { text = shown; });
        RunFor(50);
        return text == QStringLiteral("shown");
      },
      20000))
      << text.toStdString();
  RunFor(500);
  EXPECT_FALSE(requested("/pic.gif"));

  // Online in the options: after the next fetch the page's image is asked for.
  options_.GlobalOfflineFlag = false;
  ASSERT_TRUE(Click("btnGetUrl"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(offline_.IsGlobalOffline());
  EXPECT_TRUE(RunUntil([&] { return requested("/pic.gif"); }, 20000));
  window_->ViewAsHtml()->click();
  EXPECT_EQ(
      window_->HtmlText().toStdString(),
      "<p>shown<img src=\"http://127.0.0.1:" + std::to_string(faults_.Port()) + "/pic.gif\"></p>");

  // Closing during a fetch is refused (Delete all and leaving then are the driver's).
  Start(faults_.BaseUrl() + "/hold");
  ASSERT_TRUE(Click("btnGetUrl"));
  ASSERT_TRUE(RunUntil([&] { return requested("/hold"); }, 10000));
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(told_, std::vector<std::string>{"Connection is open now !"});
}

// The window's place in the settings file: read when it is made, written
// when it closes; a place no screen shows keeps only its size; with no
// place kept, it opens over the window it belongs to.
TEST(TestWindowPlaceTest, KeptInTheSettingsFile) {
  QWidget owner;
  owner.setGeometry(300, 200, 900, 700);
  owner.show();
  for (const int left : {30, 9000, -1}) {
    SCOPED_TRACE(left);
    TScratchDir dir;
    IniFile ini(dir.Path() + "kestrix.ini");
    for (const auto& [key, value] : {std::pair{"TestLeft", left}, std::pair{"TestTop", 40},
                                     std::pair{"TestWidth", 700}, std::pair{"TestHeight", 540}}) {
      if (left >= 0) ini.WriteInteger("MainWnd", key, value);
    }
    TExplorerWindowHooks hooks;
    hooks.Settings = &ini;
    TfmTest window(TGlobalOptions(), std::move(hooks), &owner);
    window.show();
    if (left < 0) {
      EXPECT_LT(
          (window.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 40);
    } else {
      EXPECT_EQ(window.size(), QSize(700, 540));
      EXPECT_EQ(window.pos() == QPoint(30, 40), left == 30);
    }
    window.move(60, 70);
    window.resize(720, 550);
    EXPECT_TRUE(window.close());
    EXPECT_EQ(ini.ReadInteger("MainWnd", "TestLeft", 0), 60);
    EXPECT_EQ(ini.ReadInteger("MainWnd", "TestHeight", 0), 550);
  }
}

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
