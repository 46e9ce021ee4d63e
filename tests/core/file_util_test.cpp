#include "core/file_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

namespace fs = std::filesystem;
using test::TScratchDir;
using test::WriteFile;

// The "slash" rows of tests/fixtures/core/paths.txt.
TEST(AddBackslash, AppendsOneSlash) {
  const auto rows = test::ReadRows("core/paths.txt", "slash");
  ASSERT_GE(rows.size(), 7u);
  for (const auto& r : rows) EXPECT_EQ(AddBackslash(r[0]), r[1]) << "'" << r[0] << "'";
}

TEST(ForceDirectories, CreatesEveryMissingParent) {
  TScratchDir dir;
  EXPECT_TRUE(ForceDirectories(dir / "a/b/c"));
  EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
  EXPECT_TRUE(ForceDirectories(dir / "a/b/c/"));
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(ForceDirectories(dir / "file/sub"));
  EXPECT_FALSE(DirectoryExists(dir / "file"));
  EXPECT_FALSE(ForceDirectories(""));
  // What the options dialog warns of, without making anything.
  EXPECT_EQ(FolderProblem(dir / "a/b/c/"), "");
  EXPECT_EQ(FolderProblem(dir / "new/deeper/"), "");
  EXPECT_FALSE(DirectoryExists(dir / "new"));
  EXPECT_EQ(FolderProblem(dir / "file/sub/"), "Not a directory");
}

TEST(DeleteDirectory, EmptiesTheTreeAndRemovesTheFolderOnlyWhenAsked) {
  TScratchDir dir;
  EXPECT_FALSE(DeleteDirectory(dir / "missing", true));
  EXPECT_FALSE(DeleteDirectory(dir / "missing", false));
  ForceDirectories(dir / "site/a/b");
  WriteFile(dir / "site/a/b/page.html", "x");
  WriteFile(dir / "site/top.html", "x");
  EXPECT_TRUE(DeleteDirectory(dir / "site/", false));
  EXPECT_TRUE(fs::is_empty(dir / "site/a/b"));
  EXPECT_FALSE(fs::exists(dir / "site/top.html"));
  // Dot entries stay, and keep their folder.
  WriteFile(dir / "site/a/page.html", "x");
  WriteFile(dir / "site/.hidden", "x");
  ForceDirectories(dir / "site/.git");
  EXPECT_FALSE(DeleteDirectory(dir / "site", true));
  EXPECT_TRUE(fs::exists(dir / "site/.hidden"));
  EXPECT_TRUE(fs::exists(dir / "site/.git"));
  EXPECT_FALSE(fs::exists(dir / "site/a/page.html"));
  EXPECT_TRUE(DeleteDirectory(dir / "site", false));
  fs::remove(dir / "site/.hidden");
  fs::remove(dir / "site/.git");
  EXPECT_TRUE(DeleteDirectory(dir / "site", true));
  EXPECT_FALSE(fs::exists(dir / "site"));
}

TEST(DeleteDirectory, PlantedLinksGoButWhatTheyPointToStays) {
  TScratchDir dir;
  ForceDirectories(dir / "outside");
  WriteFile(dir / "outside/file.txt", "keep");
  ForceDirectories(dir / "site/sub");
  fs::create_directory_symlink(dir / "outside", dir / "site/dirlink");
  fs::create_symlink(dir / "outside/file.txt", dir / "site/sub/filelink");
  fs::create_symlink(dir / "nowhere", dir / "site/dangling");
  EXPECT_TRUE(DeleteDirectory(dir / "site", true));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "site")));
  EXPECT_EQ(test::ReadWholeFile(dir / "outside/file.txt"), "keep");
}

// Builds a tree with read-only files and folders without write or read
// permission, then deletes it. Run as root, the kernel would ignore those
// permissions, so the work is done by a child that has given up root.
TEST(DeleteDirectory, EntriesWithoutPermissionAreGivenItFirst) {
  TScratchDir dir;
  const std::string site = dir / "site";
  ForceDirectories(site + "/locked/inner");
  WriteFile(site + "/readonly.html", "x");
  WriteFile(site + "/locked/inner/file.html", "x");
  WriteFile(site + "/locked/file.html", "x");
  chmod((site + "/readonly.html").c_str(), 0444);
  chmod((site + "/locked/inner").c_str(), 0500);  // no write: its file cannot be unlinked
  chmod((site + "/locked").c_str(), 0300);        // no read: cannot be listed

  const bool root = geteuid() == 0;
  const uid_t nobody = 65534;
  if (root) {
    for (fs::path up = fs::path(dir.Path()).parent_path().parent_path(); up != up.root_path();
         up = up.parent_path()) {
      struct stat st {};
      if (stat(up.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) {
        GTEST_SKIP() << up << " cannot be passed by an unprivileged user";
      }
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
      ASSERT_EQ(lchown(entry.path().c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(chown(dir.Path().c_str(), nobody, nobody), 0);
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (root && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(3);
    _exit(DeleteDirectory(site, true) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fs::exists(site));
}

}  // namespace
}  // namespace kestrix
