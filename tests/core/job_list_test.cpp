#include "core/job_list.h"

#include <gtest/gtest.h>

#include "core/ini_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::ReadWholeFile;
using test::TScratchDir;
using test::WriteFile;

TJobRecord Job(const std::string& project, const std::string& url) {
  TJobRecord r;
  r.ProjectName = project;
  r.editUrl = url;
  return r;
}

class JobListTest : public ::testing::Test {
 protected:
  TScratchDir dir_;
  IniFile ini_{dir_ / "kestrix.ini"};
};

TEST_F(JobListTest, JobsLoadInLineOrderAndSaveRenumberedFromZero) {
  const std::string first = JobRecordToText(Job("Site", "http://a.test/?x=1&y=2"));
  const std::string second = JobRecordToText(Job("Site", "http://b.test/"));
  WriteFile(ini_.Path(), "[Projects]\nSite=Project\n[Site]\nJob5=" + first + "\nJob2=" + second +
                             "\n[Options]\nThreadCount=3\n");
  TJobList store(ini_);
  EXPECT_TRUE(store.LoadErrors().empty());
  ASSERT_EQ(store.JobCount("site"), 2);
  TJobRecord r;
  store.GetJob("Site", 1, r);
  EXPECT_EQ(r.editUrl, "http://a.test/?x=1&y=2");
  store.GetJob("Site", 2, r);
  EXPECT_EQ(r.editUrl, "http://b.test/");

  ASSERT_EQ(store.Save(), "");
  EXPECT_EQ(ReadWholeFile(ini_.Path()),
            "[Options]\nThreadCount=3\n\n[Projects]\nSite=Project\n\n[Site]\nJob0=" + first +
                "\nJob1=" + second + "\n");
}

TEST_F(JobListTest, AProjectWithoutASectionGetsOneOnlyWithItsFirstJob) {
  WriteFile(ini_.Path(), "[Projects]\nEmpty=Project\n");
  TJobList store(ini_);
  ASSERT_EQ(store.ProjectCount(), 1);
  EXPECT_FALSE(store.Projects()[0].Jobs.has_value());
  EXPECT_EQ(store.JobCount("Empty"), 0);
  ASSERT_EQ(store.Save(), "");
  EXPECT_FALSE(ini_.Read().HasSection("Empty"));

  ASSERT_EQ(store.AddJob(Job("Empty", "http://e.test/")), "");
  ASSERT_EQ(store.Save(), "");
  TJobList reloaded(ini_);
  EXPECT_EQ(reloaded.JobCount("Empty"), 1);
}

TEST_F(JobListTest, MissingProjectsAndJobsAndTheStoredProjectWins) {
  TJobList store(ini_);
  ASSERT_EQ(store.AddProject("Site"), "");
  EXPECT_EQ(store.AddJob(Job("Nowhere", "http://x.test/")), "Project : Nowhere not found !");
  EXPECT_EQ(store.JobCount("Site"), 0);
  EXPECT_EQ(store.ProjectCount(), 1);
  // A hand-edited job claiming another project cannot send downloads elsewhere.
  store.SetProjects({{"Site", std::vector<std::string>{JobRecordToText(Job("../..", "u"))}}});
  TJobRecord r;
  store.GetJob("SITE", 1, r);
  EXPECT_EQ(r.ProjectName, "Site");
  EXPECT_EQ(r.editUrl, "u");
  for (const int number : {0, 2, -1}) {
    store.GetJob("Site", number, r);
    EXPECT_EQ(r, TJobRecord()) << number;
  }
  store.GetJob("Missing", 1, r);
  EXPECT_EQ(r, TJobRecord());
}

TEST_F(JobListTest, UnusableProjectNamesAreRefusedAndSkippedOnLoad) {
  const char* names[] = {"",       "   ",      ".",           "..",      "a/b",       "a\\b",
                         "a]b",    "a=b",      "a\nb",        "a\rb",    "tab\there", " lead",
                         "trail ", ";comment", "[section",    "Options", "PROJECTS",  "mainwnd",
                         "bell\a", "del\x7f",  "grave`accent"};
  TJobList store(ini_);
  for (const char* name : names) {
    const std::string error = store.AddProject(name);
    EXPECT_NE(error.find("cannot be used"), std::string::npos) << "'" << name << "': " << error;
  }
  EXPECT_EQ(store.ProjectCount(), 0);
  EXPECT_EQ(store.AddProject("My site (2024) äö"), "");
  EXPECT_EQ(store.AddProject("my SITE (2024) äö"), "my SITE (2024) äö is exist !");
  // A whole new list is refused if any name is unusable or repeated.
  EXPECT_EQ(store.SetProjects({{"A", std::nullopt}, {"a", std::nullopt}}), "a is exist !");
  EXPECT_NE(store.SetProjects({{"A", std::nullopt}, {"..", std::nullopt}}), "");
  EXPECT_EQ(store.ProjectCount(), 1);

  WriteFile(ini_.Path(),
            "[Projects]\n..=Project\nGood=Project\na\\b=Project\ngood=Project\n"
            "[..]\nJob0=x\n");
  TJobList loaded(ini_);
  EXPECT_EQ(loaded.ProjectNames(), std::vector<std::string>{"Good"});
  EXPECT_EQ(loaded.LoadErrors().size(), 3u);
  ASSERT_EQ(loaded.Save(), "");
  // The skipped project's section is left alone, as any unreferenced one.
  EXPECT_EQ(ini_.ReadString("..", "Job0", ""), "x");
  EXPECT_EQ(ini_.ReadSection("Projects").size(), 1u);
}

TEST_F(JobListTest, RenameMoveRemoveAndUpdate) {
  TJobList store(ini_);
  ASSERT_EQ(store.AddProject("Old"), "");
  ASSERT_EQ(store.AddProject("Other"), "");
  ASSERT_EQ(store.AddJob(Job("Old", "http://1.test/")), "");
  ASSERT_EQ(store.AddJob(Job("Old", "http://2.test/")), "");
  EXPECT_EQ(store.RenameProject("Old", "Other"), "Other is exist !");
  EXPECT_NE(store.RenameProject("Old", "../x"), "");
  ASSERT_EQ(store.RenameProject("old", "New"), "");
  EXPECT_EQ(store.Projects()[0].Jobs->at(0).rfind("New`http://1.test/`", 0), 0u);

  EXPECT_TRUE(store.MoveJob("New", 2, 1));
  TJobRecord r;
  store.GetJob("New", 1, r);
  EXPECT_EQ(r.editUrl, "http://2.test/");
  r.editUrl = "http://changed.test/\nsecond line";
  EXPECT_TRUE(store.UpdateJob("New", 1, r));
  EXPECT_FALSE(store.UpdateJob("New", 3, r));
  EXPECT_TRUE(store.RemoveJob("New", 2));
  EXPECT_FALSE(store.RemoveJob("New", 2));

  EXPECT_TRUE(store.MoveProject(1, 0));
  EXPECT_FALSE(store.MoveProject(0, 2));
  EXPECT_EQ(store.ProjectNames(), (std::vector<std::string>{"Other", "New"}));
  ASSERT_EQ(store.Save(), "");

  // A line break in a field cannot split the stored line.
  TJobList reloaded(ini_);
  ASSERT_EQ(reloaded.JobCount("New"), 1);
  reloaded.GetJob("New", 1, r);
  EXPECT_EQ(r.editUrl, "http://changed.test/ second line");
  EXPECT_TRUE(reloaded.RemoveProject("Other"));
  EXPECT_FALSE(reloaded.RemoveProject("Other"));
  EXPECT_EQ(reloaded.ProjectCount(), 1);
}

TEST_F(JobListTest, ASaveThatCannotWriteReportsAndKeepsTheFile) {
  // The settings path's folder is a plain file: nothing can be written there.
  WriteFile(dir_ / "blocker", "");
  IniFile blocked(dir_ / "blocker/kestrix.ini");
  TJobList unwritable(blocked);
  ASSERT_EQ(unwritable.AddProject("Site"), "");
  EXPECT_EQ(unwritable.Save(), "Cannot write the settings file: " + blocked.Path());
  EXPECT_EQ(ReadWholeFile(dir_ / "blocker"), "");
}

}  // namespace
}  // namespace kestrix
