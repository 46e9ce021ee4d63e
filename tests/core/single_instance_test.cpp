#include "core/single_instance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

// What a second start of the program sees: a separate process asking for
// the same lock. Exit status 0 means it would run, 1 that it is refused.
int SecondProcessExitStatus(const std::string& lockPath) {
  const pid_t child = fork();
  if (child == 0) {
    SingleInstance second(lockPath);
    _exit(second.IsFirstInstance() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(SingleInstance, ASecondProcessIsRefusedUntilTheFirstEnds) {
  test::TScratchDir dir;
  const std::string lock = dir / "MutexToProtectRun.lock";
  {
    SingleInstance first(lock);
    ASSERT_TRUE(first.IsFirstInstance());
    EXPECT_EQ(SecondProcessExitStatus(lock), 1);
    EXPECT_EQ(SecondProcessExitStatus(lock), 1);
  }
  EXPECT_EQ(SecondProcessExitStatus(lock), 0);
}

TEST(SingleInstance, AnUnopenableLockFileLetsTheProgramStart) {
  test::TScratchDir dir;
  SingleInstance guard(dir / "missing-folder/lock");
  EXPECT_TRUE(guard.IsFirstInstance());
}

TEST(SingleInstance, LockLivesInTheRuntimeFolderOrAPerUserTempFile) {
  EXPECT_EQ(SingleInstance::DefaultLockPath(test::FakeEnv({{"XDG_RUNTIME_DIR", "/run/user/1000"}})),
            "/run/user/1000/MutexToProtectRun.lock");
  EXPECT_EQ(SingleInstance::DefaultLockPath(test::FakeEnv({{"TMPDIR", "/t"}})),
            "/t/MutexToProtectRun-" + std::to_string(getuid()) + ".lock");
}

}  // namespace
}  // namespace kestrix
