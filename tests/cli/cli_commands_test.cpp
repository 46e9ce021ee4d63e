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
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{}, "Usage: kestrix-cli COMMAND"},
      {{"fetch"}, "unknown command \"fetch\""},
      {{"mirror"}, "missing arguments (expected mirror URL [options])"},
      {{"mirror", "a", "b"}, "too many arguments"},
      {{"mirror", "http://x/", "--deep"}, "unknown option \"--deep\""},
      {{"mirror", "http://x/", "--depth", "two"}, "--depth needs a whole number"},
      {{"mirror", "http://x/", "--threads", "11"}, "--threads needs a number from 1 to 10"},
      {{"mirror", "http://x/", "--max-file-size", "lots"}, "--max-file-size needs a size such as"},
      {{"mirror", "http:///"}, "is not a URL with a host name"},
      {{"jobs", "--images", "p"}, "unknown option \"--images\""},
  };
  for (const auto& c : cases) {
    TCliResult r = cli.Run(c.args);
    EXPECT_EQ(r.ExitCode, 2) << ::testing::PrintToString(c.args);
    EXPECT_THAT(r.Err, HasSubstr(c.message)) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.Out, "");
  }
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

  // Refusals exit with 1 and change nothing.
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"add-project", "../escape"}, "cannot be used"},
      {{"add-project", "docs"}, ""},
      {{"jobs", "Nowhere"}, "there is no project called \"Nowhere\""},
      {{"add-job", "Nowhere", "http://x/"}, "there is no project called"},
      {{"add-job", "Docs", "http://x/", "--ignore-files", "[abc"},
       "'[abc' is an invalid mask at (1)"},
      {{"remove-job", "Docs", "2"}, "\"2\" is not a job number (1 to 1)"},
      {{"remove-job", "Docs", "0"}, "\"0\" is not a job number (1 to 1)"},
      {{"remove-job", "Docs", "x"}, "is not a job number"},
      {{"summary", "Docs"}, "has no history"},
      {{"queue", "Docs"}, "has no history"},
      {{"download", "Docs", "3"}, "\"3\" is not a job number"},
  };
  for (const auto& c : cases) {
    r = cli.Run(c.args);
    EXPECT_EQ(r.ExitCode, 1) << ::testing::PrintToString(c.args) << r.Err;
    EXPECT_THAT(r.Err, HasSubstr(c.message)) << ::testing::PrintToString(c.args);
  }
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
  for (std::vector<std::string> args :
       {std::vector<std::string>{"add-project", "Docs"}, {"mirror", "http://127.0.0.1:9/"}}) {
    TCliResult r = cli.Run(args);
    EXPECT_EQ(r.ExitCode, 4);
    EXPECT_EQ(r.Err, "Application \"Kestrix\" is running !\n");
  }
  EXPECT_FALSE(std::filesystem::exists(cli.SettingsFile()));
  // Reading goes on beside a running instance.
  EXPECT_EQ(cli.Run({"projects"}).ExitCode, 0);
}

}  // namespace
}  // namespace kestrix::test
