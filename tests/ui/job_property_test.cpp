// The job dialog and the pattern editor its buttons open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <tuple>

#include "core/ini_file.h"
#include "core/offline_state.h"
#include "tests/ui/dialog_test_env.h"
#include "ui/dialogs.h"
#include "ui/job_property_dialog.h"
#include "ui/pattern_editor.h"

namespace kestrix {
namespace {

using test::TMessageLog;

TJobRecord NewJob(const std::string& url = {}) {
  TJobRecord job;
  job.ProjectName = "Site";
  job.editUrl = url;
  return job;
}

// Loads `job`, presses Ok and answers what was stored, or nullopt when the
// dialog refused.
std::optional<TJobRecord> Store(TfmProperty& dialog, const TJobRecord& job) {
  dialog.GetPropertyVar(job);
  dialog.setResult(QDialog::Rejected);
  dialog.btnOk->click();
  if (dialog.result() != QDialog::Accepted) return std::nullopt;
  return dialog.Record();
}

TEST(JobPropertyDialog, EveryControlCarriesItsFieldThroughLoadAndStore) {
  TJobRecord job = NewJob("http://h/start/");
  job.checkLocalize = true;
  job.checkAddHtmExt = false;
  job.checkLinkToUrl = true;
  job.checkReplicate = job.checkLoadScript = job.checkLoadEmbed = job.checkLoadStyle = true;
  job.checkRecordWarc = true;
  job.radioThisPath = false;
  job.radioThisServer = true;
  job.checkOtherServers = job.checkLoadImg = true;
  job.editDepth = 0;  // the bounds
  job.lclcheckKoi8 = job.lclCheckRetriveFile = job.lclCheckIgnoreFile = true;
  job.lclcheckRetrieveLink = job.lclcheckIgnoreLink = true;
  job.lcleditRetriveFile = "*.htm;*.gif|img/*;";
  job.lcleditRetrieveLink = "next";
  job.lcleditIgnoreFile = "*.zip;";
  job.lcleditIgnoreLink = "logout";
  job.radioRmtThisServer = true;
  job.checkRmtLoadImg = true;
  job.EditRmtDepth = 1000000;
  job.rmtcheckKoi8 = job.rmtCheckRetriveFile = job.rmtCheckIgnoreFile = true;
  job.rmtcheckRetrieveLink = job.rmtcheckIgnoreLink = true;
  job.rmteditRetrieveFile = "a";
  job.rmteditRetrieveLink = "b";
  job.rmteditIgnoreFile = "c|d";
  job.rmteditIgnoreLink = "e";
  TMessageLog log;
  TfmProperty dialog(log.Shower());
  EXPECT_EQ(Store(dialog, job), job);
  // A new job keeps the defaults of the store.
  EXPECT_EQ(Store(dialog, NewJob("http://h/")), NewJob("http://h/"));
  // The URL is stored in the form the store keeps (its rules are core's);
  // what was stored shows and stores again unchanged.
  for (const auto& [typed, stored] :
       {std::pair{"  user:secret@example.com:8080/x/  ", "http://example.com:8080/x/"},
        std::pair{"h/page<1-3>.htm", "http://h/page<1-3>.htm"}}) {
    const std::optional<TJobRecord> once = Store(dialog, NewJob(typed));
    ASSERT_TRUE(once);
    EXPECT_EQ(once->editUrl, stored);
    EXPECT_EQ(Store(dialog, *once), once);
  }
  EXPECT_TRUE(log.texts.empty());
}

TEST(JobPropertyDialog, ValuesThatCannotBeStoredAreRefusedAndTheDialogKeepsThem) {
  const struct {
    const char* box;
    const char* typed;
    const char* message;
  } cases[] = {
      {"editDepth", "2147483648", "'2147483648' is not a valid integer value"},
      {"EditRmtDepth", "2147483647", "2147483647 is not within the valid range of 0..1000000"},
      {"editUrl", "http://h/a`b",
       "'http://h/a`b' cannot be stored: a job cannot hold the grave accent (`)."},
      {"editUrl", "/a/b.htm", "The URL names no server: /a/b.htm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    TMessageLog log;
    TfmProperty dialog(log.Shower());
    const TJobRecord job = NewJob("http://h/");
    dialog.GetPropertyVar(job);
    dialog.findChild<QLineEdit*>(QString::fromLatin1(c.box))->setText(QString::fromUtf8(c.typed));
    const QString typed = dialog.editUrl->text();
    dialog.btnOk->click();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(log.texts.size(), 1u);
    EXPECT_EQ(log.texts[0], QString::fromUtf8(c.message));
    EXPECT_EQ(dialog.Record(), job);
    EXPECT_EQ(dialog.editUrl->text(), typed);
  }
}

TEST(JobPropertyDialog, TheProviderHandsBackOnlyWhatOkTook) {
  IniFile ini("/nonexistent/kestrix.ini");
  OfflineState offline;
  TMessageLog log;
  TDialogs dialogs(ini, offline, log.Shower());
  TJobRecord job = NewJob("http://h/");
  const TJobRecord before = job;
  test::WhenModalOf<TfmProperty>([](TfmProperty& d) {
    d.EditRmtDepth->setText(QStringLiteral("99999999999"));
    d.btnOk->click();
    EXPECT_TRUE(d.isVisible());
    d.pageControl->setCurrentWidget(d.tabrmtExploration);
    d.btnCancel->click();
  });
  EXPECT_FALSE(dialogs.EditJob(nullptr, job, false));
  EXPECT_EQ(job, before);
  EXPECT_EQ(log.texts.size(), 1u);
  // The same form again, showing the caller's job and not the refused edit;
  // a new job starts on "General" with what is typed going into the URL.
  test::WhenModalOf<TfmProperty>([](TfmProperty& d) {
    EXPECT_EQ(d.EditRmtDepth->text(), QStringLiteral("1"));
    EXPECT_EQ(d.pageControl->currentWidget(), d.tabGeneral);
    QWidget* typed = QApplication::focusWidget();
    ASSERT_EQ(typed, d.editUrl);
    QTest::keyClick(typed, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(typed, QStringLiteral("example.org"));
    d.btnOk->click();
  });
  ASSERT_TRUE(dialogs.EditJob(nullptr, job, true));
  EXPECT_EQ(job, NewJob("http://example.org/"));
}

// Other servers switch the remote group, a remote limit the remote depth
// (a double click switches the limit off), offline browse its details.
TEST(JobPropertyDialog, SwitchesEnableTheirDetailsAndOkStoresWhatIsLeft) {
  TfmProperty dialog(nullptr);
  EXPECT_FALSE(dialog.btnOk->isEnabled());  // Ok follows the URL box
  TJobRecord job = NewJob("http://h/");
  job.checkOtherServers = job.checkLocalize = job.radioRmtThisPath = true;
  dialog.GetPropertyVar(job);
  dialog.show();
  EXPECT_TRUE(dialog.btnOk->isEnabled());
  dialog.editUrl->clear();
  EXPECT_FALSE(dialog.btnOk->isEnabled());
  QTest::keyClick(dialog.editUrl, Qt::Key_H);
  EXPECT_TRUE(dialog.btnOk->isEnabled());
  for (QWidget* control : std::initializer_list<QWidget*>{
           dialog.groupRemote, dialog.lblRmtExploration, dialog.radioRmtThisPath,
           dialog.radioRmtThisServer, dialog.checkRmtLoadImg, dialog.EditRmtDepth,
           dialog.lblRmtDepth, dialog.checkAddHtmExt, dialog.checkLinkToUrl}) {
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  }
  EXPECT_TRUE(dialog.radioRmtThisPath->isChecked());
  QTest::mouseClick(dialog.radioRmtThisServer, Qt::LeftButton);
  EXPECT_FALSE(dialog.radioRmtThisPath->isChecked());
  QTest::mouseDClick(dialog.radioRmtThisServer, Qt::LeftButton);
  EXPECT_FALSE(dialog.radioRmtThisServer->isChecked() || dialog.radioRmtThisPath->isChecked());
  EXPECT_FALSE(dialog.EditRmtDepth->isEnabled() || dialog.lblRmtDepth->isEnabled());
  QTest::mouseClick(dialog.radioRmtThisPath, Qt::LeftButton);
  EXPECT_TRUE(dialog.EditRmtDepth->isEnabled() && dialog.lblRmtDepth->isEnabled());
  dialog.checkOtherServers->click();
  EXPECT_FALSE(dialog.groupRemote->isEnabled() || dialog.lblRmtExploration->isEnabled());
  EXPECT_FALSE(dialog.radioRmtThisServer->isChecked() || dialog.radioRmtThisPath->isChecked());
  // The local pair stays exclusive, and a click never switches one off.
  dialog.radioThisServer->click();
  EXPECT_FALSE(dialog.radioThisPath->isChecked());
  dialog.radioThisServer->click();
  EXPECT_TRUE(dialog.radioThisServer->isChecked());
  dialog.checkLocalize->click();
  EXPECT_FALSE(dialog.checkAddHtmExt->isEnabled() || dialog.checkLinkToUrl->isEnabled());
  EXPECT_TRUE(dialog.checkAddHtmExt->isChecked());
  dialog.btnOk->click();
  const TJobRecord stored = dialog.Record();
  EXPECT_FALSE(stored.radioRmtThisPath || stored.radioRmtThisServer || stored.checkLocalize);
  EXPECT_TRUE(stored.checkAddHtmExt && stored.radioThisServer);
}

// The mask column shows for the retrieve lists and the remote page only. The
// editor opens with no cell in edit, so one Esc closes it and keeps the text.
TEST(JobPropertyDialog, PatternButtonsEditTheirOwnBox) {
  TfmProperty dialog(nullptr);
  dialog.GetPropertyVar(NewJob("http://h/"));
  const struct {
    QToolButton* button;
    QLineEdit* box;
    bool mask, esc;
  } buttons[] = {{dialog.lclbtnEditRetrieveFile, dialog.lcleditRetriveFile, true, false},
                 {dialog.lclbtnEditIgnoreLink, dialog.lcleditIgnoreLink, false, false},
                 {dialog.rmtbtnEditIgnoreLink, dialog.rmteditIgnoreLink, true, false},
                 {dialog.rmtbtnEditIgnoreLink, dialog.rmteditIgnoreLink, true, true}};
  for (const auto& b : buttons) {
    SCOPED_TRACE(b.button->objectName().toStdString() + (b.esc ? " Esc" : ""));
    bool seen = false;
    test::WhenModalOf<TfmEditPatterns>([&](TfmEditPatterns& editor) {
      seen = true;
      EXPECT_EQ(editor.StrGrdPattern->isColumnHidden(1), !b.mask);
      QTableWidget& grid = *editor.StrGrdPattern;
      grid.item(grid.rowCount() - 1, 0)->setText(QStringLiteral("*.new"));
      if (b.esc) {
        grid.setFocus();
        QTest::qWait(20);
        EXPECT_EQ(grid.viewport()->findChild<QLineEdit*>(), nullptr);  // no cell in edit
        QTest::keyClick(&grid, Qt::Key_Escape);
        EXPECT_FALSE(editor.isVisible());
      } else {
        editor.btnOk->click();
      }
    });
    const QString before = b.box->text();
    b.button->click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(b.box->text(), before + (b.esc ? QString() : QStringLiteral("*.new;")));
  }
}

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows Shown(const TfmEditPatterns& editor) {
  Rows rows;
  const QTableWidget& grid = *editor.StrGrdPattern;
  for (int row = 0; row < grid.rowCount(); ++row) {
    const auto text = [&grid, row](int column) {
      return grid.item(row, column) ? grid.item(row, column)->text().toStdString() : std::string();
    };
    rows.emplace_back(text(0), text(1));
  }
  return rows;
}

void Open(TfmEditPatterns& editor, const std::string& text, bool showMask) {
  editor.PatternText = text;
  editor.ShowMask = showMask;
  editor.hide();  // the table is filled each time the editor shows
  editor.show();
}

std::string PressOk(TfmEditPatterns& editor) {
  editor.btnOk->click();
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  return editor.PatternText;
}

TEST(PatternEditor, ShowsOneEntryPerRowAndGivesTheListBack) {
  const std::string e;
  const struct {
    std::string text;
    Rows rows;
    std::string count;
    std::string back;
  } cases[] = {
      {"a;b|m;", {{"a", e}, {"b", "m"}, {e, e}}, "3", "a;b|m;"},
      {"x", {{"x", e}}, "1", "x;"},
      {"a;b", {{"a", e}, {"b", e}, {e, e}}, "3", "a;b;"},
      {"", {{e, e}}, "0", ""},
      {"p|m1|m2;", {{"p", "m1|m2"}, {e, e}}, "2", "p|m1|m2;"},
      {"|lost;;a|;", {{e, "lost"}, {e, e}, {"a", e}, {e, e}}, "4", "a;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TfmEditPatterns editor;
    Open(editor, c.text, true);
    EXPECT_EQ(Shown(editor), c.rows);
    EXPECT_EQ(editor.lblcnt->text().toStdString(), c.count);
    EXPECT_EQ(PressOk(editor), c.back);
  }
  // A hidden mask stays with its pattern; a mask whose pattern was emptied goes.
  for (const auto& [text, showMask, edited, back] :
       {std::tuple{"a|img/*;b;", false, "c", "a|img/*;c;"},
        std::tuple{"b|n;a|m;", true, "", "b|n;"}}) {
    TfmEditPatterns editor;
    Open(editor, text, showMask);
    EXPECT_EQ(editor.StrGrdPattern->isColumnHidden(1), !showMask);
    editor.StrGrdPattern->item(1, 0)->setText(QString::fromLatin1(edited));
    EXPECT_EQ(PressOk(editor), back);
  }
}

}  // namespace
}  // namespace kestrix
