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

TEST(LinkRewritingTest, UnqueuedRelativeLinksBecomeUrlsOnlyWhenAsked) {
  for (bool linkToUrl : {false, true}) {
    AnalysisRun run;
    TJobRecord job;
    job.checkLocalize = true;
    job.checkLinkToUrl = linkToUrl;
    run.Start(job, "http://h/a/start.html");
    const auto lines = run.Analyse(0,
                                   "<a href=\"x.html#top\">x</a><a href=\"http://o/y.html\">y</a>\n"
                                   "<a\nhref=\"z.html\">z</a>");
    EXPECT_EQ(lines[0], linkToUrl
                            ? "<a href=\"http://h/a/x.html#top\">x</a>"
                              "<a href=\"http://o/y.html\">y</a>"
                            : "<a href=\"x.html#top\">x</a><a href=\"http://o/y.html\">y</a>");
    EXPECT_EQ(lines[2], linkToUrl ? "href=\"http://h/a/z.html\">z</a>" : "href=\"z.html\">z</a>");
  }
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

}  // namespace
}  // namespace kestrix
