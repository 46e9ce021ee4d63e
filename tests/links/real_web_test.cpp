// Link analysis on pages shaped like those real sites serve: schemes other
// than http, attributes written before the link, srcset, rel values,
// minified one-line pages, character references and script links.
#include <gtest/gtest.h>

#include "links/link_extraction.h"
#include "links/link_text.h"
#include "tests/links/analysis_fixture.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;

constexpr char kStart[] = "http://h/a/start.html";

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

// The pages of tests/fixtures/links/pages.txt, each analysed as its job's
// start page.
TEST(RealWebTest, PagesAsSitesWriteThem) {
  const std::vector<test::CaseRecord> cases = test::ReadCases("links/pages.txt");
  ASSERT_GE(cases.size(), 20u);
  for (const test::CaseRecord& c : cases) {
    SCOPED_TRACE(c.Name);
    AnalysisRun run;
    run.Start(testing::JobOf(c.Get("job")), c.Get("start", kStart));
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

TEST(RealWebTest, HashAndVoidLinksRunTheirHandlerWithinAPageBound) {
  AnalysisRun run;
  run.Start(testing::JobOf(""), kStart);
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
