// `kestrix-cli test`: the links of a job's page with their verdicts, on the
// bundled sample site served by nginx.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_runner.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

const std::string kSampleSite = std::string(KESTRIX_SOURCE_DIR) + "/samples/site/";

class CliExploreCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(nginx_.Start()) << nginx_.Error();
    ASSERT_EQ(cli_.Run({"add-project", "field"}).ExitCode, 0);
    ASSERT_EQ(cli_.Run({"add-job", "field", Url("index.html"), "--depth", "2", "--images",
                        "--this-server"})
                  .ExitCode,
              0);
  }
  std::string Url(const std::string& path) const { return nginx_.BaseUrl() + "/" + path; }

  TNginxServer nginx_{kSampleSite};
  TCliRunner cli_;
};

TEST_F(CliExploreCommand, ListsEveryLinkWithItsVerdict) {
  const TCliResult r = cli_.Run({"test", "field"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("A\tenabled\t" + Url("birds/index.html") + "\t\n"));
  EXPECT_THAT(r.Out, HasSubstr("IMG\tenabled\t" + Url("img/logo.png") + "\t\n"));
  EXPECT_THAT(r.Out, HasSubstr("LINK\tdisabled\t" + Url("style/site.css") +
                               "\tStyle sheets retrieval was disabled\n"));
  EXPECT_THAT(r.Out,
              HasSubstr("A\tdisabled\tmailto:notes@example.invalid\tUnsupported protocol\n"));
  EXPECT_THAT(r.Out, HasSubstr("IFRAME\tdisabled\t" + Url("map.html") +
                               "\tEmbedded object, iFrame retrieval was disabled\n"));
  EXPECT_THAT(r.Out,
              HasSubstr("\tdisabled\thttp://@OTHER@/index.html\tRetrieval from remote (external) "
                        "location was disabled\n"));
  // Everything fetched lies in the project's test folder.
  const std::string project = cli_.DownloadFolder() + "field/";
  for (const auto& file : fs::recursive_directory_iterator(project)) {
    if (file.is_regular_file()) {
      EXPECT_TRUE(file.path().string().starts_with(project + "LinkCheck/")) << file.path();
    }
  }
  EXPECT_TRUE(fs::exists(project + "LinkCheck/index.html"));
}

TEST_F(CliExploreCommand, JsonAndAnotherUrlWithTheJobsSettings) {
  const TCliResult r =
      cli_.Run({"test", "field", "1", Url("birds/index.html"), "--format", "json"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("{\"kind\":\"A\",\"enabled\":true,\"url\":\"" + Url("index.html") +
                               "\",\"reason\":\"\"}\n"));
  for (size_t start = 0, end; (end = r.Out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = r.Out.substr(start, end - start);
    EXPECT_TRUE(line.starts_with("{\"kind\":") && line.ends_with("}")) << line;
  }
}

TEST_F(CliExploreCommand, FailuresAndWrongCommandLines) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  };
  const Case cases[] = {
      {{"test", "field", "--format", "xml"}, 2, "--format takes tsv or json"},
      {{"test", "nowhere"}, 1, "nowhere"},
      {{"test", "field", "2"}, 1, "is not a job number (1 to 1)"},
      {{"test", "field", "1", Url("missing.html")}, 1, "Not Found"},
      {{"test", "field", "1", Url("img/logo.png")}, 1, "Can't view as html :"},
      {{"test", "field", "1", "http://127.0.0.1:1/"}, 1, "127.0.0.1:1"},
      {{"test", "field", "1", "2", "3"}, 2, "too many arguments"},
  };
  for (const Case& c : cases) {
    const TCliResult r = cli_.Run(c.args);
    EXPECT_EQ(r.ExitCode, c.exitCode) << ::testing::PrintToString(c.args) << r.Err;
    EXPECT_THAT(r.Err, HasSubstr(c.message)) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.Out, "") << ::testing::PrintToString(c.args);
  }
}

}  // namespace
}  // namespace kestrix::test
