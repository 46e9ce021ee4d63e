// The exploration test window, headless, against nginx and the fault
// server: its grids, its steps, and what it refuses while a fetch runs.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include <QCheckBox>

#include "exploration/filter_links_dialog.h"
#include "exploration/test_window.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scratch_dir.h"

namespace kestrix::test {
namespace {

class TestWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.WriteFile(
        "index.html",
        "<a href=\"a.html\">a</a>\n<img src=\"i.gif\">\n<a href=\"mailto:x@y\">m</a>\n");
    site_.WriteFile("a.html", "<a href=\"index.html\">home</a>\n");
    ASSERT_TRUE(nginx_.Start()) << nginx_.Error();
    ASSERT_TRUE(faults_.Start()) << faults_.Error();
    options_.DownLoadFolder = dir_.Path();
    options_.TimeOut = 10;
    TTestWindowHooks hooks;
    hooks.Tell = [this](QWidget*, const QString& text) { told_.push_back(text.toStdString()); };
    hooks.Ask = [this](QWidget*, const QString& text) {
      asked_.push_back(text.toStdString());
      return answer_;
    };
    hooks.EditFilter = [this](QWidget*, TLinkFilter& filter) {
      filter = filter_;
      return true;
    };
    window_ = std::make_unique<TfmTest>(options_, std::move(hooks));
    window_->show();
  }
  void Start(const std::string& url, int depth = 2) {
    TJobRecord job;
    job.ProjectName = "p";
    job.editUrl = url;
    job.editDepth = depth;
    job.checkLoadImg = false;
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
  std::string Cell(QTableWidget* grid, int row, int column) const {
    const QTableWidgetItem* item = grid->item(row, column);
    return item == nullptr ? std::string() : item->text().toStdString();
  }
  std::string Label(const char* name) const {
    return window_->LabelText(QString::fromLatin1(name)).toStdString();
  }

  TScratchDir site_, dir_;
  TNginxServer nginx_{site_.Path()};
  TFaultServer faults_{
      R"({"routes": {"/hold": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a"}, {"hold": 30}]}})"};
  TGlobalOptions options_;
  std::vector<std::string> told_, asked_;
  bool answer_ = true;
  TLinkFilter filter_;
  std::unique_ptr<TfmTest> window_;
};

TEST_F(TestWindowTest, GridsShowTheVerdictsAndStepsMoveThroughThePages) {
  Start(nginx_.BaseUrl() + "/index.html");
  ASSERT_TRUE(Click("btnGetUrl"));
  ASSERT_TRUE(WaitIdle());
  QTableWidget* enabled = window_->EnabledGrid();
  QTableWidget* disabled = window_->DisabledGrid();
  EXPECT_EQ(enabled->horizontalHeaderItem(3)->text().toStdString(), "Request metod");
  EXPECT_EQ(disabled->horizontalHeaderItem(2)->text().toStdString(), "Event: \"onClick\"");
  ASSERT_EQ(enabled->rowCount(), 1);
  EXPECT_EQ(Cell(enabled, 0, 0), nginx_.BaseUrl() + "/a.html");
  EXPECT_EQ(Cell(enabled, 0, 2), "Local");
  EXPECT_EQ(Cell(enabled, 0, 3), "Get");
  ASSERT_EQ(disabled->rowCount(), 2);
  EXPECT_EQ(Cell(disabled, 0, 5), "Images from local server retrieval was disabled");
  EXPECT_EQ(Cell(disabled, 1, 5), "Unsupported protocol");
  EXPECT_EQ(Label("lblParent"), "Parent Url : no parent");
  EXPECT_EQ(window_->StatusText().toStdString(), "3 link(s) total");

  enabled->selectRow(0);
  ASSERT_TRUE(Click("btnNextLevel"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Label("lblDepth"), "Depth       :1");
  EXPECT_TRUE(Label("lblParent").ends_with("/index.html"));
  EXPECT_EQ(window_->EnabledGrid()->rowCount(), 0);
  EXPECT_EQ(Cell(window_->DisabledGrid(), 0, 5), "Depth value exceed");
  ASSERT_TRUE(Click("btnBack"));
  EXPECT_FALSE(window_->Test().Running());  // shown from the cache
  EXPECT_EQ(window_->EnabledGrid()->rowCount(), 1);

  // The filter hides images and mail links from the disabled grid.
  filter_.Disabled[static_cast<int>(TLinkType::Image)] = false;
  filter_.Disabled[static_cast<int>(TLinkType::HtmlReference)] = false;
  ASSERT_TRUE(Click("btnFilter"));
  EXPECT_EQ(window_->DisabledGrid()->rowCount(), 0);
  EXPECT_EQ(window_->EnabledGrid()->rowCount(), 1);

  // Delete all asks first, and on Yes starts over with an empty cache.
  ASSERT_TRUE(Click("btnDeleteAll"));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0], "Clear all parsed links and disk cache ?");
  EXPECT_EQ(window_->EnabledGrid()->rowCount(), 0);
  EXPECT_EQ(window_->Test().Entries().Count(), 1);
}

TEST_F(TestWindowTest, ClosingAndDeletingDuringAFetchAreRefused) {
  Start(faults_.BaseUrl() + "/hold");
  ASSERT_TRUE(Click("btnGetUrl"));
  ASSERT_TRUE(RunUntil([this] { return !faults_.Requests().empty(); }, 10000));
  const int entries = window_->Test().Entries().Count();
  const std::string path = window_->Test().CurrentPath();
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  ASSERT_TRUE(Click("btnDeleteAll"));
  EXPECT_TRUE(asked_.empty());
  ASSERT_EQ(told_.size(), 2u);
  EXPECT_EQ(told_[0], "Connection is open now !");
  EXPECT_EQ(told_[1], "Connection is open now !");
  EXPECT_TRUE(window_->Test().Running());
  EXPECT_EQ(window_->Test().Entries().Count(), entries);
  EXPECT_EQ(window_->Test().CurrentPath(), path);
  // Leaving the program during the fetch ends it without a report.
  window_.reset();
  RunFor(200);
}

TEST(FilterLinksDialogTest, BoxesRoundTripTheFilter) {
  TfmFilterLinks dialog;
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Filter options:");
  TLinkFilter filter;
  filter.Enabled[static_cast<int>(TLinkType::Ftp)] = false;
  filter.Disabled[static_cast<int>(TLinkType::Form)] = false;
  dialog.SetFilter(filter);
  EXPECT_EQ(dialog.Box(true, TLinkType::Ftp)->text().toStdString(), "FTP link");
  EXPECT_FALSE(dialog.Box(true, TLinkType::Ftp)->isChecked());
  dialog.Box(false, TLinkType::Image)->setChecked(false);
  const TLinkFilter out = dialog.Filter();
  EXPECT_FALSE(out.Enabled[static_cast<int>(TLinkType::Ftp)]);
  EXPECT_FALSE(out.Disabled[static_cast<int>(TLinkType::Form)]);
  EXPECT_FALSE(out.Disabled[static_cast<int>(TLinkType::Image)]);
  EXPECT_TRUE(out.Enabled[static_cast<int>(TLinkType::Image)]);
}

}  // namespace
}  // namespace kestrix::test
