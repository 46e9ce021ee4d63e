#include "links/relink.h"

#include <gtest/gtest.h>

#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using Strings = std::vector<std::string>;

const TRelinks kRelinks = {
    {"/dl/P/h/a/gone.html", {"http://h/a/gone.html?x=1&y=2", ""}},
    {"/dl/P/h/b/old", {"", "/dl/P/h/b/old.png"}},
    {"/dl/P/h/a/caf\xC3\xA9 x.html", {"", "/dl/P/h/c/caf\xC3\xA9 x.htm"}},
};

TEST(RelinkTest, LinksToFailedAndRenamedFilesAreWrittenAgain) {
  std::vector<std::string> page = {
      "<a href=\"gone.html#s\">g</a><a href=\"../b/old\">o</a><a href=\"kept.html\">k</a>"
      "<a href=\"https://x/gone.html\">w</a>",
      "<img srcset=\"../b/old 1x, gone.html 2x\" src=\"kept.html\">",
      "<div style=\"background:url(&quot;../b/old&quot;)\"></div>"
      "<style>p{background:url(gone.html)}</style>",
      "<meta http-equiv=\"refresh\" content=\"0; URL=gone.html\"><a "
      "href=\"caf%C3%A9%20x.html\">c</a>"};
  EXPECT_EQ(LocalLinksOf(page, "/dl/P/h/a/p.htm", false),
            (Strings{"/dl/P/h/a/gone.html", "/dl/P/h/b/old", "/dl/P/h/a/kept.html",
                     "/dl/P/h/a/caf\xC3\xA9 x.html"}));
  EXPECT_EQ(RelinkPage(page, "/dl/P/h/a/p.htm", false, kRelinks), 8);
  EXPECT_EQ(
      page,
      (Strings{"<a href=\"http://h/a/gone.html?x=1&amp;y=2#s\">g</a>"
               "<a href=\"../b/old.png\">o</a><a href=\"kept.html\">k</a>"
               "<a href=\"https://x/gone.html\">w</a>",
               "<img srcset=\"../b/old.png 1x, http://h/a/gone.html?x=1&amp;y=2 2x\" "
               "src=\"kept.html\">",
               "<div style=\"background:url(&quot;../b/old.png&quot;)\"></div>"
               "<style>p{background:url(http://h/a/gone.html?x=1&y=2)}</style>",
               "<meta http-equiv=\"refresh\" content=\"0; URL=http://h/a/gone.html?x=1&amp;y=2\">"
               "<a href=\"../c/caf%C3%A9%20x.htm\">c</a>"}));

  std::vector<std::string> sheet = {
      "a{b:url(../b/old)} c{d:url('../a/gone.html')} @import \"../a/gone.html\";"};
  EXPECT_EQ(RelinkPage(sheet, "/dl/P/h/s/t.css", true, kRelinks), 3);
  EXPECT_EQ(sheet[0],
            "a{b:url(../b/old.png)} c{d:url('http://h/a/gone.html?x=1&y=2')} "
            "@import \"http://h/a/gone.html?x=1&y=2\";");
}

// What the analysis says a page links to is what its saved copy links to.
TEST(RelinkTest, TheAnalysisListsTheEntriesTheSavedPageLinksTo) {
  testing::AnalysisRun run;
  run.Start(testing::JobOf("bare depth=2 replicate img style"), "http://h/a/p.html");
  std::vector<std::string> lines = testing::SplitLines(
      "<a href=\"b/x.html\">x</a><img srcset=\"../i.png 1x, i2.png 2x\">"
      "<a href=\"b/x.html#s\">again</a><a href=\"http://o/\">o</a>\n"
      "<div style=\"background:url(bg.png)\"></div><link rel=\"stylesheet\" href=\"/s.css\">");
  std::vector<int32_t> linked;
  ParsePage(lines, run.At(0), 0, run.Target, run.Resolver, run.Parser, nullptr, &linked);
  Strings paths;
  for (const int32_t index : linked)
    paths.push_back(run.At(index).LocalFolder + run.At(index).LocalFileName);
  EXPECT_EQ(paths.size(), 5u);
  const TRetriveRec& page = run.At(0);
  const Strings saved = LocalLinksOf(lines, page.LocalFolder + page.LocalFileName, false);
  EXPECT_EQ(Strings(paths.begin(), paths.end()), saved);
}

}  // namespace
}  // namespace kestrix
