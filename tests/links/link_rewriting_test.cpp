#include "links/link_rewriting.h"

#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;

THTMLTag TagOn(int32_t start, int32_t end) {
  THTMLTag tag;
  tag.StartLine = start;
  tag.EndLine = end;
  return tag;
}

TEST(FindLinkTextTest, DoubleQuotesThenSingleThenEquals) {
  const std::vector<std::string> lines = {"<a x='p.html' y=\"q\"", " z=p.html href=\"p.html\">"};
  const auto place = FindLinkText(lines, TagOn(0, 1), "p.html");
  ASSERT_TRUE(place);
  EXPECT_EQ(place->Line, 1);
  EXPECT_EQ(place->Pos, 16u);
  const auto single = FindLinkText({"<a x='p.html' z=p.html>"}, TagOn(0, 0), "p.html");
  ASSERT_TRUE(single);
  EXPECT_EQ(single->Pos, 6u);
  const auto bare = FindLinkText({"<a z=p.html>"}, TagOn(0, 0), "p.html");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->Pos, 5u);
  EXPECT_FALSE(FindLinkText({"<a href=\"p.html\">"}, TagOn(1, 1), "p.html"));
}

// Whatever stopped a link (admission, depth, a LINK that names nothing to
// fetch, a part the job does not load), the copy names it on the web.
TEST(LinkRewritingTest, UnqueuedLinksBecomeUrlsOnlyWhenAsked) {
  const std::string page =
      "<a href=\"x.html#top\">x</a><a href=\"http://o/y.html\">y</a>\n"
      "<a\nhref=\"z.html\">z</a>\n"
      "<link rel=\"search\" href=\"_s/os.xml\"><link rev=\"made\" href=\"list@h\">"
      "<link rel=\"stylesheet\" href=\"s.css\"><img src=\"i.png\"><script src=\"j.js\"></script>"
      "<a href=\"?p=2&amp;q=3\">2</a><a href=\"//o/p.html\">p</a><a href=\"mailto:m@h\">m</a>";
  for (bool linkToUrl : {false, true}) {
    AnalysisRun run;
    TJobRecord job;
    job.checkLocalize = true;
    job.checkLinkToUrl = linkToUrl;
    run.Start(job, "http://h/a/start.html");
    const auto lines = run.Analyse(0, page);
    EXPECT_EQ(run.State.Queue.Count(), 1);
    if (!linkToUrl) {
      EXPECT_EQ(lines, testing::SplitLines(page));
      continue;
    }
    EXPECT_EQ(lines[0], "<a href=\"http://h/a/x.html#top\">x</a><a href=\"http://o/y.html\">y</a>");
    EXPECT_EQ(lines[2], "href=\"http://h/a/z.html\">z</a>");
    EXPECT_EQ(lines[3],
              "<link rel=\"search\" href=\"http://h/a/_s/os.xml\">"
              "<link rev=\"made\" href=\"http://h/a/list@h\">"
              "<link rel=\"stylesheet\" href=\"http://h/a/s.css\"><img src=\"http://h/a/i.png\">"
              "<script src=\"http://h/a/j.js\"></script>"
              "<a href=\"http://h/a/start.html?p=2&amp;q=3\">2</a><a href=\"http://o/p.html\">p</a>"
              "<a href=\"mailto:m@h\">m</a>");
  }
  // A next page named by a LINK is followed only when the job reads LINK
  // tags; read for its link alone, it is not queued.
  AnalysisRun run;
  TJobRecord job;
  job.editDepth = 2;
  job.checkLocalize = true;
  job.checkLinkToUrl = true;
  job.checkAddHtmExt = false;
  run.Start(job, "http://h/a/start.html");
  const auto lines = run.Analyse(0, "<link rel=\"next\" href=\"n.html\"><a href=\"b.html\">b</a>");
  EXPECT_EQ(run.Queued(), std::vector<std::string>{"http://h/a/b.html"});
  EXPECT_EQ(lines[0], "<link rel=\"next\" href=\"http://h/a/n.html\"><a href=\"b.html\">b</a>");
}

TEST(LinkRewritingTest, TheFirstOccurrenceInATagIsEdited) {
  AnalysisRun run;
  TJobRecord job;
  job.checkLocalize = true;
  job.checkLoadImg = true;
  job.checkAddHtmExt = false;
  run.Start(job, "http://h/a/start.html");
  const auto lines = run.Analyse(0, "<img src=\"i.gif\" lowsrc=\"i.gif\">");
  EXPECT_EQ(lines[0], "<img src=\"i.gif\" lowsrc=\"i.gif\">");  // same name, nothing to see
  AnalysisRun other;
  other.Start(job, "http://h/a/start.html");
  const auto moved = other.Analyse(0, "<img src=\"d/i.gif\" lowsrc=\"d/i.gif\">");
  EXPECT_EQ(moved[0], "<img src=\"i.gif\" lowsrc=\"d/i.gif\">");
}

// A browser drops tabs and line breaks inside a link value; the copy's link
// is rewritten wherever the value was broken.
TEST(LinkRewritingTest, ValuesBrokenByTabsOrLinesAreRewritten) {
  struct Case {
    const char* page;
    std::vector<std::string> saved;
  };
  const Case cases[] = {
      {"<a href=\"d/a\tb.html\">x</a>", {"<a href=\"ab.html\">x</a>"}},
      {"<a href=\"d/a\nb.html\">x</a>", {"<a href=\"ab.html", "\">x</a>"}},
      {"<a title=x\nhref=\"\n d/ab.html\n\">x</a>",
       {"<a title=x", "href=\"ab.html", "", "\">x</a>"}},
      {"<a href='d/a\t\nb.html#top'>x</a>", {"<a href='ab.html", "#top'>x</a>"}},
  };
  for (const Case& c : cases) {
    AnalysisRun run;
    TJobRecord job;
    job.editDepth = 2;
    job.checkLocalize = true;
    job.checkAddHtmExt = false;
    job.checkReplicate = false;
    run.Start(job, "http://h/start.html");
    const auto lines = run.Analyse(0, c.page);
    EXPECT_EQ(run.Queued(), std::vector<std::string>{"http://h/d/ab.html"}) << c.page;
    EXPECT_EQ(lines, c.saved) << c.page;
  }
}

}  // namespace
}  // namespace kestrix
