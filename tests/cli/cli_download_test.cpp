// kestrix-cli downloading from nginx on 127.0.0.1: a small site mirrored and
// shown again by `summary` and `queue`, an update run answered by 304s, rows
// fetched again by `reload` and `continue`, and writes that fail; each with
// its exit status. (A download stopped by Ctrl-C: cli_warc_test.)
#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

// The access log lines written since the log held `before` lines.
std::vector<std::string> LogSince(const TNginxServer& nginx, size_t before) {
  std::vector<std::string> log = nginx.AccessLog();
  return {log.begin() + static_cast<long>(std::min(before, log.size())), log.end()};
}

TEST(CliDownload, MirrorSummaryQueueUpdateReloadAndContinue) {
  TScratchDir site;
  site.WriteFile("index.html",
                 "<html><body><a href=\"a.html\">Alpha</a> <a href=\"b/c.html\">Charlie</a>"
                 "<img src=\"img/dot.gif\" alt=\"dot\"><a href=\"gone.html\">Gone</a>"
                 "</body></html>\n");
  site.WriteFile("a.html",
                 "<html><body><a href=\"index.html\">Home</a>"
                 "<a href=\"b/c.html\">Charlie</a></body></html>\n");
  site.WriteFile("b/c.html",
                 "<html><body><img src=\"../img/dot.gif\">"
                 "<a href=\"../a.html\">Alpha</a></body></html>\n");
  site.WriteFile("img/dot.gif", std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14));
  TNginxServer nginx(site.Path());
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  TCliRunner cli;
  const std::string url = nginx.BaseUrl() + "/index.html";
  TCliResult r = cli.Run({"mirror", url, "--project", "Site", "--depth", "3", "--images",
                          "--offline", "--replicate", "--threads", "3"});
  // gone.html is missing: the queue finished, one entry failed.
  ASSERT_EQ(r.ExitCode, 5) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("OK\t" + nginx.BaseUrl() + "/a.html\t"));
  EXPECT_THAT(r.Out, HasSubstr("Finished: 4 of 5 entries, 1 failed (see kestrix-cli queue); "));
  std::multiset<std::string> names;
  for (const std::string& path : SavedFiles(cli.DownloadFolder() + "Site")) {
    names.insert(fs::path(path).filename());
  }
  EXPECT_EQ(names, (std::multiset<std::string>{"a.html", "c.html", "dot.gif", "index.html"}));
  EXPECT_TRUE(fs::exists(cli.DownloadFolder() + "Site/Site.his"));
  // --threads was for this run only.
  EXPECT_THAT(ReadWholeFile(cli.SettingsFile()), ::testing::Not(HasSubstr("[Options]")));

  r = cli.Run({"summary", "Site"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_THAT(r.Out, ContainsRegex("Html +4 +[0-9]+ +\n"));
  EXPECT_THAT(r.Out, ContainsRegex("Images +1 +14 +\n"));
  EXPECT_THAT(r.Out, ContainsRegex("Total +5 +[0-9]+ +\n"));
  EXPECT_THAT(r.Out, ContainsRegex("Hosts: 1\n127\\.0\\.0\\.1 +5\n"));
  EXPECT_THAT(r.Out, HasSubstr("Errors: 0\n"));

  r = cli.Run({"queue", "Site"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_THAT(
      r.Out, ::testing::StartsWith("Row\tURL\tLinked Text\tSize\tDate\tState\n1\t" + url + "\t\t"));
  EXPECT_THAT(r.Out, HasSubstr("\t" + nginx.BaseUrl() + "/a.html\tAlpha\t"));
  EXPECT_THAT(r.Out, HasSubstr("\t" + nginx.BaseUrl() + "/img/dot.gif\tdot\t14\t"));
  EXPECT_THAT(r.Out, HasSubstr(" GMT\tOK\n"));
  EXPECT_THAT(r.Out, HasSubstr("/gone.html\tGone\t\t\tHTTP status 404\n"));

  // The update asks for every saved document with its date: nothing comes
  // again. Without run options the options are written, as at any exit.
  size_t before = nginx.AccessLog().size();
  r = cli.Run({"download", "Site"});
  ASSERT_EQ(r.ExitCode, 5) << r.Out << r.Err;
  std::vector<std::string> log = LogSince(nginx, before);
  EXPECT_EQ(CountWith(log, "304 0 GET"), 4) << ::testing::PrintToString(log);
  EXPECT_EQ(CountWith(log, "404 "), 1) << "gone.html has no saved copy to date";
  EXPECT_THAT(ReadWholeFile(cli.SettingsFile()), HasSubstr("[Options]"));

  // Row 2 is a.html: fetched again whole, without a date condition.
  const std::string a = "200 86 GET /a.html";
  before = nginx.AccessLog().size();
  ASSERT_EQ(cli.Run({"reload", "Site", "2"}).ExitCode, 5);
  EXPECT_THAT(LogSince(nginx, before), ::testing::ElementsAre(HasSubstr(a)));
  // From row 2 on: a.html whole, the rows after it with their dates.
  before = nginx.AccessLog().size();
  ASSERT_EQ(cli.Run({"continue", "Site", "2"}).ExitCode, 5);
  log = LogSince(nginx, before);
  ASSERT_EQ(log.size(), 4u) << ::testing::PrintToString(log);
  EXPECT_THAT(log[0], HasSubstr(a));
  EXPECT_EQ(CountWith(log, "304 0 GET"), 2);
  ExpectRefusals(cli, "queue");
}

// A download folder that cannot be made ends the run at once, and a settings
// file that cannot be written fails a download that went well: exit 1.
TEST(CliDownload, WritesThatFailExitOne) {
  TScratchDir site;
  site.WriteFile("data.bin", "d");
  TNginxServer nginx(site.Path());
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  TCliRunner cli;
  const std::string plain = cli.Folder() + "plain";
  std::ofstream(plain) << "x";
  TCliResult r = cli.Run(
      {"mirror", nginx.BaseUrl() + "/data.bin", "--project", "Full", "--folder", plain + "/dl"});
  EXPECT_EQ(r.ExitCode, 1) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Failed: Cannot create folder \"" + plain + "/dl/Full/"));
  EXPECT_THAT(r.Out, HasSubstr("Not a directory"));

  cli.SetEnv("KESTRIX_SETTINGS", plain + "/kestrix.ini");
  r = cli.Run({"mirror", nginx.BaseUrl() + "/data.bin", "--project", "Full"});
  EXPECT_EQ(r.ExitCode, 1) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Finished: 1 of 1 entries"));
  EXPECT_THAT(r.Err, HasSubstr("cannot write the settings file " + plain + "/kestrix.ini"));
}

}  // namespace
}  // namespace kestrix::test
