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

TEST(CliExploreCommand, ListsEveryLinkWithItsVerdictAsTsvOrJson) {
  TNginxServer nginx(KESTRIX_SOURCE_DIR "/samples/site/");
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  const auto url = [&](const std::string& path) { return nginx.BaseUrl() + "/" + path; };
  TCliRunner cli;
  ASSERT_EQ(cli.Run({"add-project", "field"}).ExitCode, 0);
  ASSERT_EQ(
      cli.Run({"add-job", "field", url("index.html"), "--depth", "2", "--images", "--this-server"})
          .ExitCode,
      0);
  TCliResult r = cli.Run({"test", "field"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("A\tenabled\t" + url("birds/index.html") + "\t\n"));
  EXPECT_THAT(r.Out, HasSubstr("IMG\tenabled\t" + url("img/logo.png") + "\t\n"));
  EXPECT_THAT(r.Out, HasSubstr("LINK\tdisabled\t" + url("style/site.css") +
                               "\tStyle sheets retrieval was disabled\n"));
  EXPECT_THAT(r.Out,
              HasSubstr("A\tdisabled\tmailto:notes@example.invalid\tUnsupported protocol\n"));
  EXPECT_THAT(r.Out, HasSubstr("IFRAME\tdisabled\t" + url("map.html") +
                               "\tEmbedded object, iFrame retrieval was disabled\n"));
  EXPECT_THAT(r.Out,
              HasSubstr("\tdisabled\thttp://@OTHER@/index.html\tRetrieval from remote (external) "
                        "location was disabled\n"));
  // Everything fetched lies in the project's test folder.
  const std::string project = cli.DownloadFolder() + "field/";
  for (const auto& file : fs::recursive_directory_iterator(project)) {
    if (file.is_regular_file()) {
      EXPECT_TRUE(file.path().string().starts_with(project + "LinkCheck/")) << file.path();
    }
  }
  EXPECT_TRUE(fs::exists(project + "LinkCheck/index.html"));

  // Another URL with the job's settings, as JSON lines.
  r = cli.Run({"test", "field", "1", url("birds/index.html"), "--format", "json"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("{\"kind\":\"A\",\"enabled\":true,\"url\":\"" + url("index.html") +
                               "\",\"reason\":\"\"}\n"));
  for (size_t start = 0, end; (end = r.Out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = r.Out.substr(start, end - start);
    EXPECT_TRUE(line.starts_with("{\"kind\":") && line.ends_with("}")) << line;
  }
  ExpectRefusals(cli, "test", nginx.BaseUrl());
}

}  // namespace
}  // namespace kestrix::test
