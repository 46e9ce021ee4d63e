// kestrix-cli as a user meets it: usage errors and the commands that
// read and edit the store of projects and jobs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/single_instance.h"
#include "tests/cli/cli_runner.h"

namespace kestrix::test {
namespace {

using ::testing::HasSubstr;

TEST(CliUsage, WrongCommandLinesExitTwoWithAPlainMessage) {
  TCliRunner cli;
  ExpectRefusals(cli, "usage");
  EXPECT_FALSE(std::filesystem::exists(cli.SettingsFile())) << "a refused command wrote settings";
}

TEST(CliStore, ProjectsAndJobsRoundTripAndRefusalsChangeNothing) {
  TCliResult r;
  TCliRunner cli;
  EXPECT_EQ(cli.Run({"projects"}).Out, "");
  ASSERT_EQ(cli.Run({"add-project", "Docs"}).ExitCode, 0);
  ASSERT_EQ(cli.Run({"add-project", "Birds"}).ExitCode, 0);
  EXPECT_EQ(cli.Run({"projects"}).Out, "Docs\nBirds\n");

  r = cli.Run({"add-job", "docs", "example.org/manual/", "--depth", "3", "--images",
               "--ignore-files", "*.zip", "--ignore-files", "*.iso"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "1\thttp://example.org/manual/\n") << "the project's own spelling is used";
  ASSERT_EQ(cli.Run({"add-job", "Docs", "http://u:p@example.org:8080"}).ExitCode, 0);
  EXPECT_EQ(cli.Run({"jobs", "Docs"}).Out,
            "1\thttp://example.org/manual/\t--depth 3 --images --ignore-files \"*.zip;*.iso\"\n"
            "2\thttp://example.org:8080/\n");

  ASSERT_EQ(cli.Run({"remove-job", "Docs", "1"}).ExitCode, 0);
  EXPECT_EQ(cli.Run({"jobs", "Docs"}).Out, "1\thttp://example.org:8080/\n");
  const std::string before = ReadWholeFile(cli.SettingsFile());
  EXPECT_THAT(before, HasSubstr("[Docs]\nJob0=Docs`http://example.org:8080/`"));

  ExpectRefusals(cli, "store");  // they change nothing
  EXPECT_EQ(ReadWholeFile(cli.SettingsFile()), before);
}

TEST(CliStore, ASecondInstanceIsRefused) {
  TCliRunner cli;
  // This test process holds the guard the way a running instance would.
  SingleInstance first(SingleInstance::DefaultLockPath([&](const std::string& name) {
    return name == "XDG_RUNTIME_DIR" ? std::optional<std::string>(cli.Folder() + "run")
                                     : std::nullopt;
  }));
  ASSERT_TRUE(first.IsFirstInstance());
  ExpectRefusals(cli, "instance");
  EXPECT_FALSE(std::filesystem::exists(cli.SettingsFile()));
  // Reading goes on beside a running instance.
  EXPECT_EQ(cli.Run({"projects"}).ExitCode, 0);
}

}  // namespace
}  // namespace kestrix::test
