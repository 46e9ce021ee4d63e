// Renaming a project's data on disk, and the dialogs that name projects and
// edit the project list.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "core/global_options.h"
#include "core/ini_file.h"
#include "core/job_list.h"
#include "core/offline_state.h"
#include "core/project_rename.h"
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

TEngineState Queue(const std::vector<std::string>& folders) {
  TEngineState state;
  for (size_t i = 0; i < folders.size(); ++i) {
    TRetriveRec e;
    e.Job.editUrl = "http://h/" + std::to_string(i) + ".html";
    e.JobNumber = 1;
    e.LinkedText = "text";
    e.StartUrl = "http://h/";
    e.LocalFolder = folders[i];
    e.LocalFileName = std::to_string(i) + ".html";
    e.ContentSize = 10 + static_cast<int32_t>(i);
    state.Queue.Append(e.Job.editUrl, e);
  }
  state.ProcessedCount = 1;
  state.NextIndex = 2;
  return state;
}

TEST(HistoryRebase, MovesOnlyTheFoldersBelowTheOldProjectFolderAndKeepsADamagedTail) {
  const std::string bytes =
      EncodeHistory(Queue({"/d/Old/", "/d/Old/h/x/", "/d/Older/", "/e/Old/"}));
  const std::string expected =
      EncodeHistory(Queue({"/d/New name/", "/d/New name/h/x/", "/d/Older/", "/e/Old/"}));
  EXPECT_EQ(RebaseHistoryFolders(bytes, "/d/Old/", "/d/New name/"), expected);

  // Of a damaged history the first record moves; the broken second one is
  // kept byte for byte.
  const std::string two = EncodeHistory(Queue({"/d/Old/", "/d/Old/"}));
  const std::string cut = two.substr(0, two.size() - 5);
  const std::string rebased = RebaseHistoryFolders(cut, "/d/Old/", "/d/Newer/");
  const std::string first = EncodeHistory(Queue({"/d/Newer/"}));
  EXPECT_EQ(rebased.substr(12, first.size() - 12), first.substr(12));
  EXPECT_EQ(rebased.substr(first.size()), cut.substr(first.size() - 2));
  EXPECT_EQ(RebaseHistoryFolders("abc", "/d/Old/", "/x/"), "abc");
}

// A project "Old" with a saved page, its cookies and its history, as the
// rename and the project list dialog find it on disk.
class ProjectDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.WriteFile("Old/h/page.html", "<p>saved</p>");
    dir_.WriteFile("Old/Old.cookies", "h\tFALSE\t/\tFALSE\t0\tsession\tx\n");
    ASSERT_TRUE(
        SaveHistory(dir_.Path(), "Old", Queue({dir_.Path() + "Old/h/", dir_.Path() + "Old/"})));
    history_ = test::ReadWholeFile(dir_.Path() + "Old/Old.his");
    projects_ = {{"Old", std::vector<std::string>{"Old`http://h/`0`", "Old`http://h/b`0`"}},
                 {"Other", std::nullopt},
                 {"Third", std::vector<std::string>{}}};
  }
  bool Exists(const std::string& path) const { return fs::exists(dir_.Path() + path); }
  bool DiskUntouched() const {
    return Exists("Old/h/page.html") &&
           test::ReadWholeFile(dir_.Path() + "Old/Old.his") == history_;
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

  test::TScratchDir dir_;
  std::string history_;
  std::vector<TProject> projects_;
  TMessageLog log_;
};

TEST_F(ProjectDataTest, FolderHistoryAndCookiesMoveTogetherAndTheHistoryPointsIntoTheNewFolder) {
  ASSERT_EQ(RenameProjectData(dir_.Path(), "Old", "NewName"), "");
  EXPECT_FALSE(Exists("Old"));
  EXPECT_TRUE(Exists("NewName/h/page.html"));
  EXPECT_FALSE(Exists("NewName/Old.his"));
  EXPECT_TRUE(Exists("NewName/NewName.cookies")) << "the project keeps its logins";
  ASSERT_TRUE(Exists("NewName/NewName.his"));
  IniFile ini(dir_.Path() + "kestrix.ini");
  TJobList store(ini, IniDocument());
  TEngineState loaded;
  ASSERT_TRUE(LoadHistory(dir_.Path(), "NewName", &store, loaded).Complete);
  ASSERT_EQ(loaded.Queue.Count(), 2);
  EXPECT_EQ(loaded.Queue.Entry(0).LocalFolder, dir_.Path() + "NewName/h/");
  EXPECT_EQ(loaded.Queue.Entry(1).LocalFolder, dir_.Path() + "NewName/");
  EXPECT_EQ(loaded.NextIndex, 2);
}

TEST_F(ProjectDataTest, RefusedRenamesLeaveEverythingInPlace) {
  dir_.WriteFile("Taken/keep.txt", "mine");
  dir_.WriteFile("file", "x");
  const struct {
    const char* name;
    const char* error;
  } cases[] = {
      {"Taken", "already exists"},
      {"file", "already exists"},
      {"..", "folder reference"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(RenameProjectData(dir_.Path(), "Old", c.name).find(c.error), std::string::npos);
    EXPECT_TRUE(DiskUntouched());
  }
  EXPECT_EQ(test::ReadWholeFile(dir_.Path() + "Taken/keep.txt"), "mine");
}

TEST_F(ProjectDataTest, ACaseChangeAndAProjectWithoutAFolder) {
  ASSERT_EQ(RenameProjectData(dir_.Path(), "Old", "OLD"), "");
  EXPECT_TRUE(Exists("OLD/OLD.his"));
  EXPECT_FALSE(Exists("OLD/Old.his"));
  EXPECT_EQ(RenameProjectData(dir_.Path(), "Never", "Fresh"), "");
  EXPECT_FALSE(Exists("Fresh"));
}

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

TEST_F(ProjectDataTest, CancelAfterUpdateLeavesTheDiskAlone) {
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
}

TEST_F(ProjectDataTest, RefusedNamesRenameNothing) {
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

TEST_F(ProjectDataTest, AFailedStepUndoesTheRenamesBeforeIt) {
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
TEST_F(ProjectDataTest, RenamesHappenOnOkAndChainedOnesFreeNamesForEachOther) {
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
  EXPECT_EQ(test::ReadWholeFile(dir_.Path() + "Other/h/page.html"), "<p>saved</p>");
  EXPECT_TRUE(Exists("Other/Other.his"));
  EXPECT_FALSE(Exists("Swap Name"));
}

}  // namespace
}  // namespace kestrix
