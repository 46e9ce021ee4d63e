#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/offline_state.h"
#include "engine/history_file.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/dialog_test_env.h"
#include "ui/dialogs.h"
#include "ui/project_list_dialog.h"
#include "ui/project_name_dialog.h"

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::TMessageLog;

TEST(ProjectNameDialog, RefusesNamesTheStoreHasOrCannotHold) {
  TMessageLog log;
  TfmProject dialog(log.Shower());
  dialog.SetExisting({"Docs", "Site"});
  EXPECT_FALSE(dialog.btnOk->isEnabled());
  const struct {
    const char* typed;
    const char* message;
  } refused[] = {
      {" docs ", "DOCS is exist !"},
      // The rules of the name are core's; one of them shows it is asked.
      {"a/b", "Project name \"a/b\" cannot be used: the name holds \"/\" or \"\\\"."},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.typed);
    log.texts.clear();
    dialog.setResult(QDialog::Rejected);
    dialog.editProjectName->setText(QString::fromLatin1(r.typed));
    EXPECT_TRUE(dialog.btnOk->isEnabled());
    dialog.btnOk->click();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(log.texts, std::vector<QString>{QString::fromLatin1(r.message)});
  }
  dialog.editProjectName->clear();
  EXPECT_FALSE(dialog.btnOk->isEnabled());
  // Enter closes the dialog when the name will do.
  dialog.editProjectName->setText(QStringLiteral("  My Site "));
  log.texts.clear();
  QTest::keyClick(dialog.editProjectName, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Name(), "My Site");
  EXPECT_TRUE(log.texts.empty());
}

TEST(ProjectNameDialog, AnswersThroughTheProvider) {
  IniFile ini("/nonexistent/kestrix.ini");
  OfflineState offline;
  TDialogs dialogs(ini, offline, nullptr);
  std::string name = "unchanged";
  test::WhenModalOf<TfmProject>([](TfmProject& d) {
    d.editProjectName->setText(QStringLiteral(" Fresh "));
    d.btnOk->click();
  });
  ASSERT_TRUE(dialogs.AskProjectName(nullptr, {"Docs"}, name));
  EXPECT_EQ(name, "Fresh");
  // The box is emptied for the next use.
  test::WhenModalOf<TfmProject>([](TfmProject& d) {
    EXPECT_TRUE(d.editProjectName->text().isEmpty());
    d.btnCancel->click();
  });
  EXPECT_FALSE(dialogs.AskProjectName(nullptr, {"Docs"}, name));
  EXPECT_EQ(name, "Fresh");
}

class ProjectListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.WriteFile("Old/page.html", "saved");
    TEngineState state;
    TRetriveRec e;
    e.Job.editUrl = "http://h/";
    e.LocalFolder = dir_.Path() + "Old/";
    e.LocalFileName = "page.html";
    state.Queue.Append(e.Job.editUrl, e);
    ASSERT_TRUE(SaveHistory(dir_.Path(), "Old", state));
    history_ = test::ReadWholeFile(dir_.Path() + "Old/Old.his");
    projects_ = {{"Old", std::vector<std::string>{"Old`http://h/`0`", "Old`http://h/b`0`"}},
                 {"Other", std::nullopt},
                 {"Third", std::vector<std::string>{}}};
  }

  std::unique_ptr<TfmEditProject> Dialog(TRenamePath rename = RenameNoReplace) {
    auto dialog =
        std::make_unique<TfmEditProject>(log_.Shower(), dir_.Path(), nullptr, std::move(rename));
    dialog->SetProjects(projects_);
    dialog->show();
    return dialog;
  }
  // Double click on `from`, type `to`, click "Update".
  static void Rename(TfmEditProject& dialog, const char* from, const char* to) {
    QListWidgetItem* item =
        dialog.listProjName->findItems(QString::fromLatin1(from), Qt::MatchExactly).value(0);
    ASSERT_NE(item, nullptr);
    dialog.listProjName->setCurrentItem(item);
    emit dialog.listProjName->itemDoubleClicked(item);
    EXPECT_TRUE(dialog.UpdateMode);
    EXPECT_FALSE(dialog.btnAdd->isEnabled());
    EXPECT_TRUE(dialog.btnUpdate->isEnabled());
    dialog.editProjName->setText(QString::fromLatin1(to));
    dialog.btnUpdate->click();
  }
  static std::vector<std::string> Names(const TfmEditProject& dialog) {
    std::vector<std::string> names;
    for (const TProject& p : dialog.Projects()) names.push_back(p.Name);
    return names;
  }
  bool Exists(const std::string& path) const { return fs::exists(dir_.Path() + path); }
  bool DiskUntouched() const {
    return Exists("Old/page.html") && test::ReadWholeFile(dir_.Path() + "Old/Old.his") == history_;
  }

  test::TScratchDir dir_;
  std::string history_;
  std::vector<TProject> projects_;
  TMessageLog log_;
};

TEST_F(ProjectListTest, CancelAfterUpdateLeavesTheDiskAlone) {
  IniFile ini(dir_.Path() + "kestrix.ini");
  OfflineState offline;
  TDialogs dialogs(ini, offline, log_.Shower());
  TGlobalOptions options;
  options.DownLoadFolder = dir_.Path();
  std::vector<TProject> projects = projects_;
  test::WhenModalOf<TfmEditProject>([](TfmEditProject& d) {
    Rename(d, "Old", "New");
    d.btnCancel->click();
  });
  EXPECT_FALSE(dialogs.EditProjectList(nullptr, options, projects));
  EXPECT_EQ(projects, projects_);
  EXPECT_TRUE(DiskUntouched());
  EXPECT_FALSE(Exists("New"));
  test::WhenModalOf<TfmEditProject>([](TfmEditProject& d) {
    Rename(d, "Old", "New");
    d.btnOk->click();
  });
  ASSERT_TRUE(dialogs.EditProjectList(nullptr, options, projects));
  EXPECT_EQ(projects[0].Name, "New");
  EXPECT_TRUE(Exists("New/New.his"));
}

TEST_F(ProjectListTest, RefusedNamesRenameNothing) {
  dir_.WriteFile("Taken/x", "");
  const struct {
    const char* name;
    const char* message;
  } cases[] = {
      {"Taken", " already exists)"},
      {"other", "other  is exist !"},
      {"../up", "\"/\" or \"\\\"."},  // core's rules, as above
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log_.texts.clear();
    auto dialog = Dialog();
    Rename(*dialog, "Old", c.name);
    ASSERT_EQ(log_.texts.size(), 1u);
    EXPECT_TRUE(log_.texts[0].endsWith(QString::fromLatin1(c.message)))
        << log_.texts[0].toStdString();
    EXPECT_EQ(Names(*dialog), (std::vector<std::string>{"Old", "Other", "Third"}));
    // Esc leaves the refused rename, and only it: the dialog stays.
    QTest::keyClick(dialog->editProjName, Qt::Key_Escape);
    EXPECT_FALSE(dialog->UpdateMode);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->editProjName->text().isEmpty());
    dialog->btnOk->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(DiskUntouched());
  }
}

TEST_F(ProjectListTest, AFailedStepUndoesTheRenamesBeforeIt) {
  dir_.WriteFile("Other/page.html", "other");
  int calls = 0;
  auto dialog = Dialog([&calls](const std::string& from, const std::string& to) {
    // The second folder rename fails; the rest, the undo included, work.
    return ++calls != 2 && RenameNoReplace(from, to);
  });
  Rename(*dialog, "Other", "Other2");
  Rename(*dialog, "Old", "Old2");
  dialog->btnOk->click();
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  ASSERT_EQ(log_.texts.size(), 1u);
  EXPECT_EQ(log_.texts[0],
            QString::fromStdString("Cannot rename directory: " + dir_.Path() + "Old/"));
  EXPECT_TRUE(DiskUntouched());
  EXPECT_FALSE(Exists("Old/Old2.his"));
  EXPECT_TRUE(Exists("Other/page.html"));
  EXPECT_FALSE(Exists("Other2"));
}

// Renames happen on Ok, with the exact case typed, and free names for
// each other; the jobs follow at once.
TEST_F(ProjectListTest, RenamesHappenOnOkAndChainedOnesFreeNamesForEachOther) {
  dir_.WriteFile("Other/page.html", "other");
  auto dialog = Dialog();
  Rename(*dialog, "Old", "Swap Name");
  EXPECT_FALSE(dialog->UpdateMode);
  EXPECT_TRUE(dialog->editProjName->text().isEmpty());
  EXPECT_EQ(*dialog->Projects()[0].Jobs,
            (std::vector<std::string>{"Swap Name`http://h/`0`", "Swap Name`http://h/b`0`"}));
  EXPECT_TRUE(DiskUntouched());
  Rename(*dialog, "Other", "Old");
  Rename(*dialog, "Swap Name", "Other");
  EXPECT_TRUE(log_.texts.empty());
  EXPECT_EQ(Names(*dialog), (std::vector<std::string>{"Other", "Old", "Third"}));
  dialog->btnOk->click();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(test::ReadWholeFile(dir_.Path() + "Old/page.html"), "other");
  EXPECT_EQ(test::ReadWholeFile(dir_.Path() + "Other/page.html"), "saved");
  EXPECT_TRUE(Exists("Other/Other.his"));
  EXPECT_FALSE(Exists("Swap Name"));
}

TEST_F(ProjectListTest, AddDeleteAndTheButtons) {
  auto dialog = Dialog();
  EXPECT_FALSE(dialog->btnAdd->isEnabled());
  EXPECT_FALSE(dialog->btnUpdate->isEnabled());
  dialog->editProjName->setText(QStringLiteral(" third "));
  EXPECT_TRUE(dialog->btnAdd->isEnabled());
  dialog->btnAdd->click();
  EXPECT_EQ(log_.texts, std::vector<QString>{QStringLiteral("third  is exist !")});
  dialog->editProjName->setText(QStringLiteral(" Fourth "));
  dialog->btnAdd->click();
  EXPECT_TRUE(dialog->editProjName->text().isEmpty());
  EXPECT_EQ(dialog->Projects().back(), (TProject{"Fourth", std::nullopt}));
  // Deleting the last item selects the new last one.
  dialog->listProjName->setCurrentRow(3);
  dialog->btnDelete->click();
  EXPECT_EQ(dialog->listProjName->currentRow(), 2);
  dialog->listProjName->setCurrentRow(0);
  dialog->btnDelete->click();
  EXPECT_EQ(dialog->listProjName->currentRow(), 0);
  EXPECT_EQ(dialog->Projects(), (std::vector<TProject>{projects_[1], projects_[2]}));
}

}  // namespace
}  // namespace kestrix
