// Link analysis on pages shaped like those real sites serve: schemes other
// than http, attributes written before the link, srcset, rel values,
// minified one-line pages, character references and script links.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "links/link_extraction.h"
#include "links/link_text.h"
#include "tests/links/analysis_fixture.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;

constexpr char kStart[] = "http://h/a/start.html";

// Offline copy of the start server with every part of a page loaded.
TJobRecord FullCopy() {
  TJobRecord job;
  job.editDepth = 3;
  job.checkLocalize = true;
  job.checkAddHtmExt = true;
  job.checkLoadImg = true;
  job.checkLoadStyle = true;
  job.checkLoadScript = true;
  job.radioThisPath = false;
  job.radioThisServer = true;
  return job;
}

// A link's scheme, whether it names a place of its own, and whether the
// downloader may fetch it: the rows of tests/fixtures/links/link_schemes.txt.
TEST(LinkTextTest, SchemesEntitiesAndLocalLinks) {
  const auto rows = test::ReadRows("links/link_schemes.txt");
  ASSERT_GE(rows.size(), 20u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 4u) << row[0];
    EXPECT_EQ(LinkScheme(row[0]), row[1]) << row[0];
    EXPECT_EQ(IsAbsoluteLink(row[0]), row[2] == "1") << row[0];
    EXPECT_EQ(IsSupportedProtocol(row[0]), row[3] == "1") << row[0];
  }
  EXPECT_EQ(DecodeLinkEntities("a?x=1&amp;y=2&#38;z=&#x33;&lt;&quot;"), "a?x=1&y=2&z=3<\"");
  EXPECT_EQ(DecodeLinkEntities("a&b&amp&copy;&#233;&;"), "a&b&amp&copy;&#233;&;");
  EXPECT_EQ(EncodeLocalLink("../d/a b%#?&\"\xC3\xA9.html"), "../d/a%20b%25%23%3F%26%22%C3%A9.html");
}

// A job from words: the full copy, or with "bare" one that only makes the
// links local; "depth=N", "nohtm" (no added .htm), "server" (this server,
// not this path) and the switches named below.
TJobRecord Job(const std::string& words) {
  TJobRecord job = words.starts_with("bare") ? TJobRecord() : FullCopy();
  job.checkLocalize = true;
  const std::map<std::string, bool TJobRecord::*> switches = {
      {"linktourl", &TJobRecord::checkLinkToUrl},
      {"embed", &TJobRecord::checkLoadEmbed},
      {"other", &TJobRecord::checkOtherServers},
      {"rmtserver", &TJobRecord::radioRmtThisServer},
  };
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    if (word.starts_with("depth=")) job.editDepth = std::stoi(word.substr(6));
    if (word == "nohtm") job.checkAddHtmExt = false;
    if (word == "server") job.radioThisPath = !(job.radioThisServer = true);
    if (switches.contains(word)) job.*switches.at(word) = true;
  }
  return job;
}

// The pages of tests/fixtures/links/pages.txt, each analysed as its job's
// start page.
TEST(RealWebTest, PagesAsSitesWriteThem) {
  const std::vector<test::CaseRecord> cases = test::ReadCases("links/pages.txt");
  ASSERT_GE(cases.size(), 20u);
  for (const test::CaseRecord& c : cases) {
    SCOPED_TRACE(c.Name);
    AnalysisRun run;
    run.Start(Job(c.Get("job")), c.Get("start", kStart));
    const std::string page = c.Text("page");
    std::string want = page;
    size_t at = 0;
    for (const std::string& edit : c.All("edit")) {
      const size_t arrow = edit.rfind(" =>");
      ASSERT_NE(arrow, std::string::npos) << edit;
      const std::string from = edit.substr(0, arrow);
      const std::string to = edit.substr(std::min(arrow + 4, edit.size()));
      at = want.find(from, at);
      ASSERT_NE(at, std::string::npos) << from;
      want.replace(at, from.size(), to);
      at += to.size();
    }
    EXPECT_EQ(run.Analyse(0, page), testing::SplitLines(want));
    EXPECT_EQ(run.Queued(), c.All("queued"));
  }
}

TEST(RealWebTest, LinkRelSaysWhatIsFetched) {
  AnalysisRun run;
  TJobRecord job = FullCopy();
  job.radioThisServer = false;
  job.radioThisPath = true;
  run.Start(job, kStart);
  const std::string kept =
      "<link rev=\"made\" href=\"list@h\"><link rel=\"canonical\" href=\"/a/c.html\">"
      "<link rel=\"preconnect\" href=\"http://h/\"><link rel=dns-prefetch href=\"x.html\">";
  const auto lines =
      run.Analyse(0,
                  "<link rel=\"stylesheet\" href=\"/s/s.css\">"
                  "<link rel=\"shortcut icon\" href=\"/f.ico\">"
                  "<link rel=\"preload\" href=\"/s/f.woff2\" as=\"font\">"
                  "<link rel=\"next\" href=\"n.html\"><link rel=\"prev\" href=\"/p.html\">" +
                      kept);
  // Next and previous are documents, under the anchor rules: this path only.
  EXPECT_EQ(run.Queued(), (std::vector<std::string>{"http://h/s/s.css", "http://h/f.ico",
                                                    "http://h/s/f.woff2", "http://h/a/n.html"}));
  std::vector<int32_t> kinds;
  for (int32_t i = 1; i < run.State.Queue.Count(); ++i) kinds.push_back(run.At(i).LinkKind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{kKindLink, kKindLink, kKindLink, kKindA}));
  EXPECT_TRUE(lines[0].ends_with(kept));
}

TEST(RealWebTest, EveryLinkOfAOneLinePageIsRewrittenAndNothingElse) {
  AnalysisRun run;
  TJobRecord job = FullCopy();
  job.checkAddHtmExt = false;
  run.Start(job, kStart);
  // The first link's local name is the second link as written: a search
  // through the whole line would edit the first link twice.
  std::string page = "<a href=\"sub/p.html\">1</a><a href=\"p.html\">2</a>";
  std::string want = "<a href=\"p.html\">1</a><a href=\"p1.html\">2</a>";
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    const std::string link = "sub/d" + n + ".html";
    page += "<p class=x><a data-href=\"" + link + "\" href=\"" + link + "\">" + n + "</a>";
    want += "<p class=x><a data-href=\"" + link + "\" href=\"d" + n + ".html\">" + n + "</a>";
  }
  const auto lines = run.Analyse(0, page);
  EXPECT_EQ(run.State.Queue.Count(), 43);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], want);
}

TEST(RealWebTest, HashAndVoidLinksRunTheirHandlerWithinAPageBound) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  run.Resolver.Answers["go('two.html')"] = {"http://h/a/two.html", "GET", ""};
  run.Resolver.Answers["void(0); go('three.html')"] = {"http://h/a/three.html", "GET", ""};
  std::string page =
      "<a href=\"#\" onclick=\"go('two.html')\">2</a>"
      "<a href=\"javascript:void(0)\" onclick=\"go('three.html')\">3</a>\n";
  for (int i = 0; i < kMaxScriptRunsPerPage; ++i)
    page += "<a href=\"#x\" onclick=\"nothing()\">n</a>\n";
  std::vector<std::string> lines = testing::SplitLines(page);
  std::vector<std::string> notes;
  ParsePage(lines, run.State.Queue.Entry(0), 0, run.Target, run.Resolver, run.Parser, &notes);
  EXPECT_EQ(run.Queued(),
            (std::vector<std::string>{"http://h/a/two.html", "http://h/a/three.html"}));
  EXPECT_EQ(lines[0],
            "<a href=\"two.html\" alt=\"go('two.html')\">2</a>"
            "<a href=\"three.html\" alt=\"go('three.html')\">3</a>");
  EXPECT_EQ(static_cast<int>(run.Resolver.Ran.size()), kMaxScriptRunsPerPage);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("2 script links"), std::string::npos) << notes[0];
}

}  // namespace
}  // namespace kestrix
