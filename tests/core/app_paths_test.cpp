#include "core/app_paths.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::FakeEnv;

const auto kWritable = [](const std::string&) { return true; };
const auto kReadOnly = [](const std::string&) { return false; };

// Every program of the suite opens the same kestrix.ini beside it, so the
// command line and the desktop program share their projects and options.
TEST(SettingsFilePath, OneSharedFileBesideThePrograms) {
  const auto env = FakeEnv({{"HOME", "/home/u"}});
  for (const char* program : {"kestrix", "kestrix-cli", "kestrix-gui.bin"}) {
    EXPECT_EQ(SettingsFilePath(std::string("/opt/v1.2/bin/") + program, env, kWritable),
              "/opt/v1.2/bin/kestrix.ini")
        << program;
  }
}

TEST(SettingsFilePath, FallsBackToTheConfigFolderWhenTheProgramsFolderIsReadOnly) {
  EXPECT_EQ(SettingsFilePath("/usr/bin/kestrix", FakeEnv({{"XDG_CONFIG_HOME", "/cfg"}}), kReadOnly),
            "/cfg/kestrix/kestrix.ini");
  test::TScratchDir home;
  EXPECT_EQ(SettingsFilePath("/usr/bin/kestrix", FakeEnv({{"HOME", home.Path()}}), kReadOnly),
            home.Path() + ".config/kestrix/kestrix.ini");
}

TEST(SettingsFilePath, TheEnvironmentOverridesBoth) {
  const auto env = FakeEnv({{"KESTRIX_SETTINGS", "/tmp/t.ini"}, {"XDG_CONFIG_HOME", "/cfg"}});
  EXPECT_EQ(SettingsFilePath("/usr/bin/kestrix", env, kReadOnly), "/tmp/t.ini");
  EXPECT_EQ(SettingsFilePath("/opt/kestrix", env, kWritable), "/tmp/t.ini");
  // Set but empty counts as unset.
  EXPECT_EQ(SettingsFilePath("/opt/kestrix", FakeEnv({{"KESTRIX_SETTINGS", ""}}), kWritable),
            "/opt/kestrix.ini");
}

TEST(DefaultDownloadFolder, DownloadDirThenHomeThenTemp) {
  test::TScratchDir home;
  EXPECT_EQ(
      DefaultDownloadFolder(FakeEnv({{"XDG_DOWNLOAD_DIR", "/data/dl"}, {"HOME", home.Path()}})),
      "/data/dl/");
  EXPECT_EQ(DefaultDownloadFolder(FakeEnv({{"HOME", home.Path()}})), home.Path() + "Downloads/");
  EXPECT_EQ(DefaultDownloadFolder(FakeEnv({{"HOME", home / "gone"}, {"TMPDIR", "/scratch"}})),
            "/scratch/");
  EXPECT_EQ(TempFolder(FakeEnv({})), "/tmp/");
}

}  // namespace
}  // namespace kestrix
