#include "links/link_extraction.h"

#include <gtest/gtest.h>

#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;

constexpr char kStart[] = "http://h/a/start.html";

TEST(LinkExtractionTest, ScriptLinksAreResolvedAndMadeInert) {
  AnalysisRun run;
  run.Start(testing::JobOf("bare depth=3 nohtm script"), kStart);
  run.Resolver.Answers["go(1)"] = {"http://h/a/one.html", "GET", ""};
  run.Resolver.Answers["post(); send()"] = {"http://h/a/form.cgi", "POST", "q=1"};
  const auto lines = run.Analyse(0,
                                 "<a onClick=\"go(1)\">one</a>\n"
                                 "<a href=\"javascript:return post()\" onclick=\"send()\">p</a>");
  EXPECT_EQ(run.Resolver.Events.front().substr(0, 5), "load ");  // once, before the first run
  EXPECT_EQ(run.Resolver.Events.back(), "clear");
  ASSERT_EQ(run.Queued(), (std::vector<std::string>{"http://h/a/one.html", "http://h/a/form.cgi"}));
  EXPECT_EQ(run.At(1).RequestMethod, 1);
  EXPECT_EQ(run.At(2).RequestMethod, 2);
  EXPECT_EQ(run.At(2).PostData, "q=1");
  EXPECT_EQ(lines[1], "<a href=\"form.cgi\" alt=\"send()\">p</a>");
}

TEST(LinkExtractionTest, InvalidPatternEndsThePageOnceWithItsText) {
  AnalysisRun run;
  run.Start(testing::JobOf("bare depth=3 nohtm img ignore=[x"), kStart);
  std::optional<std::string> error;
  run.Analyse(0, "<frame src=\"f.html\"><a href=\"a.html\">a</a><img src=\"i.gif\">", &error);
  EXPECT_EQ(error, "'[x' is an invalid mask at (1)");
  // Frames pass without filters; the page ends at the first filtered link.
  EXPECT_EQ(run.Queued(), std::vector<std::string>{"http://h/a/f.html"});
}

}  // namespace
}  // namespace kestrix
