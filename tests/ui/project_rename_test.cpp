#include "core/project_rename.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/ini_file.h"
#include "core/job_list.h"
#include "engine/history_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

namespace fs = std::filesystem;

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

TEST(HistoryRebase, MovesOnlyTheFoldersBelowTheOldProjectFolder) {
  const std::string bytes =
      EncodeHistory(Queue({"/d/Old/", "/d/Old/h/x/", "/d/Older/", "/e/Old/"}));
  const std::string expected =
      EncodeHistory(Queue({"/d/New name/", "/d/New name/h/x/", "/d/Older/", "/e/Old/"}));
  EXPECT_EQ(RebaseHistoryFolders(bytes, "/d/Old/", "/d/New name/"), expected);
}

TEST(HistoryRebase, KeepsADamagedTailAsItIs) {
  const std::string bytes = EncodeHistory(Queue({"/d/Old/", "/d/Old/"}));
  const std::string cut = bytes.substr(0, bytes.size() - 5);
  const std::string rebased = RebaseHistoryFolders(cut, "/d/Old/", "/d/Newer/");
  const std::string first = EncodeHistory(Queue({"/d/Newer/"}));
  // The first record moved; the broken second one is kept byte for byte.
  EXPECT_EQ(rebased.substr(12, first.size() - 12), first.substr(12));
  EXPECT_EQ(rebased.substr(first.size()), cut.substr(first.size() - 2));
  EXPECT_EQ(RebaseHistoryFolders("abc", "/d/Old/", "/x/"), "abc");
}

class ProjectRenameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.WriteFile("Old/h/page.html", "<p>saved</p>");
    dir_.WriteFile("Old/Old.cookies", "h\tFALSE\t/\tFALSE\t0\tsession\tx\n");
    ASSERT_TRUE(
        SaveHistory(dir_.Path(), "Old", Queue({dir_.Path() + "Old/h/", dir_.Path() + "Old/"})));
    history_ = test::ReadWholeFile(dir_.Path() + "Old/Old.his");
  }
  bool Exists(const std::string& path) const { return fs::exists(dir_.Path() + path); }

  test::TScratchDir dir_;
  std::string history_;
};

TEST_F(ProjectRenameTest, FolderHistoryAndCookiesMoveTogetherAndTheHistoryPointsIntoTheNewFolder) {
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

TEST_F(ProjectRenameTest, RefusedRenamesLeaveEverythingInPlace) {
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
    EXPECT_EQ(test::ReadWholeFile(dir_.Path() + "Old/Old.his"), history_);
    EXPECT_TRUE(Exists("Old/h/page.html"));
  }
  EXPECT_EQ(test::ReadWholeFile(dir_.Path() + "Taken/keep.txt"), "mine");
}

TEST_F(ProjectRenameTest, ACaseChangeAndAProjectWithoutAFolder) {
  ASSERT_EQ(RenameProjectData(dir_.Path(), "Old", "OLD"), "");
  EXPECT_TRUE(Exists("OLD/OLD.his"));
  EXPECT_FALSE(Exists("OLD/Old.his"));
  EXPECT_EQ(RenameProjectData(dir_.Path(), "Never", "Fresh"), "");
  EXPECT_FALSE(Exists("Fresh"));
}

}  // namespace
}  // namespace kestrix
