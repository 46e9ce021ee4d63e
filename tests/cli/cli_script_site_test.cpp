// kestrix-cli mirroring, from nginx on 127.0.0.1, sites whose links exist
// only as script: javascript: URLs, onclick handlers and a form submitted
// from script. With --scripts the hidden browser finds every page; without
// it only the start page is saved. Many workers finishing while a page's
// scripts run must leave the same queue as a single worker does.
#include <set>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/cli/cli_runner.h"
#include "tests/support/nginx_server.h"

namespace kestrix::test {
namespace {

using ::testing::HasSubstr;

// The rows of `queue PROJECT` without their row number and date, which
// depend on the order the workers happened to finish in.
std::multiset<std::string> QueueRows(TCliRunner& cli, const std::string& project) {
  const TCliResult r = cli.Run({"queue", project});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  std::multiset<std::string> rows;
  std::istringstream in(r.Out);
  std::string line;
  std::getline(in, line);  // the heading
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
    if (cells.size() == 6)
      rows.insert(cells[1] + "\t" + cells[2] + "\t" + cells[3] + "\t" + cells[5]);
  }
  return rows;
}

std::string Page(const std::string& body) {
  return "<html><body>" + body + "</body></html>\n";
}

class CliScriptSite : public ::testing::Test {
 protected:
  void SetUp() override { cli_.AllowWebEngine(); }

  TCliResult Mirror(const std::string& url, const std::string& project,
                    std::vector<std::string> extra) {
    std::vector<std::string> args{"mirror",  url, "--project",     project,
                                  "--depth", "4", "--no-replicate"};
    args.insert(args.end(), extra.begin(), extra.end());
    return cli_.Run(args, 60000);
  }

  TScratchDir site_;
  TCliRunner cli_;
};

TEST_F(CliScriptSite, LinksMadeOnlyByScriptsAreFollowedWithScriptsOn) {
  site_.WriteFile("index.html",
                  Page("<a href=\"javascript:window.open('a.html')\">A</a>\n"
                       "<a href=\"javascript:location.href='b.html'\">B</a>\n"
                       "<a onclick=\"window.location.href='c.html'; return false\">C</a>\n"
                       "<form action=\"d.html\" method=\"get\">"
                       "<input type=\"hidden\" name=\"q\" value=\"x y\"></form>\n"
                       "<a href=\"javascript:document.forms[0].submit()\">D</a>\n"));
  site_.WriteFile("a.html", Page("<a href=\"javascript:void(0)\" onclick=\"go('sub/e.html')\">E"
                                 "</a><script>function go(u) { location = u; }</script>"));
  site_.WriteFile("b.html", Page("b"));
  site_.WriteFile("c.html", Page("c"));
  // Reached only through the form, whose fields travel in the address.
  site_.WriteFile("d.html", Page("<a href=\"f.html\">F</a>"));
  site_.WriteFile("f.html", Page("f"));
  site_.WriteFile("sub/e.html", Page("e"));
  TNginxServer nginx(site_.Path());
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  const std::string url = nginx.BaseUrl() + "/index.html";

  TCliResult r = Mirror(url, "Off", {});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_EQ(SavedFiles(cli_.DownloadFolder() + "Off"), std::set<std::string>{"index.html"});

  r = Mirror(url, "On", {"--scripts", "--threads", "3"});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Finished: 7 of 7 entries"));
  EXPECT_THAT(r.Out, HasSubstr("OK\t" + nginx.BaseUrl() + "/d.html?q=x+y\t"));
  const std::set<std::string> want{"index.html",        "a.html", "b.html", "c.html", "e.html",
                                   "d.html@q=x_y.html", "f.html"};
  EXPECT_EQ(SavedFiles(cli_.DownloadFolder() + "On"), want);
  for (const std::string& line : nginx.AccessLog()) {
    if (IsRobotsRequest(line)) continue;
    EXPECT_THAT(line, HasSubstr(" GET ")) << "a GET form is not posted";
    EXPECT_THAT(line, ::testing::StartsWith("200 "));
  }
}

TEST_F(CliScriptSite, WorkersFinishingDuringScriptsLeaveTheSameQueue) {
  // Every page holds script links and plain ones, so while one page's
  // scripts run in the hidden browser other workers finish downloads.
  std::string index;
  for (int p = 1; p <= 6; ++p) {
    const std::string dir = "p" + std::to_string(p) + "/";
    index += "<a href=\"" + dir + "index.html\">P" + std::to_string(p) + "</a>\n";
    std::string body;
    for (int t = 1; t <= 4; ++t) {
      const std::string name = "t" + std::to_string(t) + ".html";
      site_.WriteFile(dir + name, Page("<a href=\"../index.html\">home</a>"));
      body += t % 2 == 0 ? "<a href=\"javascript:window.open('" + name + "')\">S" + name + "</a>\n"
                         : "<a onclick=\"location='" + name + "'\">S" + name + "</a>\n";
      site_.WriteFile(dir + "plain" + std::to_string(t) + ".html", Page("plain"));
      body += "<a href=\"plain" + std::to_string(t) + ".html\">plain</a>\n";
    }
    site_.WriteFile(dir + "index.html", Page(body));
  }
  site_.WriteFile("index.html", Page(index));
  TNginxServer nginx(site_.Path());
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  const std::string url = nginx.BaseUrl() + "/index.html";

  TCliResult r = Mirror(url, "One", {"--scripts", "--threads", "1"});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Finished: 55 of 55 entries"));
  r = Mirror(url, "Ten", {"--scripts", "--threads", "10"});
  ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
  EXPECT_THAT(r.Out, HasSubstr("Finished: 55 of 55 entries"));

  EXPECT_EQ(SavedFiles(cli_.DownloadFolder() + "One").size(), 55u);
  EXPECT_EQ(SavedFiles(cli_.DownloadFolder() + "One"), SavedFiles(cli_.DownloadFolder() + "Ten"));
  EXPECT_EQ(QueueRows(cli_, "One"), QueueRows(cli_, "Ten"));
}

}  // namespace
}  // namespace kestrix::test
