#include "links/css_links.h"

#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;
using testing::SplitLines;

constexpr char kStart[] = "http://h/a/start.html";
constexpr char kSheet[] = "http://h/a/css/site.css";

std::vector<std::string> Links(const std::string& css) {
  std::vector<std::string> out;
  for (const TCssRef& ref : FindCssRefs(SplitLines(css))) {
    out.push_back((ref.Import ? "@" : "") + ref.Link);
  }
  return out;
}

TEST(FindCssRefsTest, Forms) {
  struct Case {
    const char* Css;
    std::vector<std::string> Expected;
  };
  const Case cases[] = {
      {"a { background: url(x.png) }", {"x.png"}},
      {"a { background: URL( \"sp ace.png\" ) }", {"sp ace.png"}},
      {"a { background: url('q.gif'), url(  b.png  ) }", {"q.gif", "b.png"}},
      {"a { background: url(data:image/png;base64,AAAA) }", {}},
      {"a { filter: url(#blur); mask: url('DATA:x') }", {}},
      {"a { background: url() }", {}},
      {"/* url(no.png) */ a { b: url(yes.png) }", {"yes.png"}},
      {"/* open\nurl(no.png)\n still */ url(after.png)", {"after.png"}},
      {"a::before { content: \"url(no.png)\" } b { c: url(yes.png) }", {"yes.png"}},
      {"@import \"one.css\";\n@IMPORT url(two.css) screen;\n@import 'three.css';",
       {"@one.css", "@two.css", "@three.css"}},
      {"@import /*c*/ x; b { c: \"not.css\" }", {}},
      {"a { b: myurl(no.png); c: url(unclosed.png }", {}},
      {"a { b: url(\"esc\\\"aped.png\") }", {"esc\\\"aped.png"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Links(c.Css), c.Expected) << c.Css;
}

TEST(FindCssRefsTest, PlacesCoverTheLinkText) {
  const auto lines = SplitLines("x\n  b: url( \"i.png\" ) url(j.png);");
  const auto refs = FindCssRefs(lines);
  ASSERT_EQ(refs.size(), 2u);
  for (const TCssRef& ref : refs) {
    EXPECT_EQ(ref.Line, 1);
    EXPECT_EQ(lines[1].substr(ref.Pos, ref.Length), ref.Link);
  }
  EXPECT_EQ(refs[0].Quote, '"');
  EXPECT_EQ(refs[1].Quote, 0);
}

TEST(IsStyleSheetTest, ByKindPathAndContent) {
  TRetriveRec entry;
  entry.Job.editUrl = "http://h/s.css?v=2";
  EXPECT_TRUE(IsStyleSheet(entry, SplitLines("a{}")));
  EXPECT_TRUE(IsStyleSheet(entry, {}));
  EXPECT_FALSE(IsStyleSheet(entry, SplitLines("\n  <html><body>Not found</body></html>")));
  EXPECT_FALSE(IsStyleSheet(entry, SplitLines("\xEF\xBB\xBF<!DOCTYPE html>")));
  entry.Job.editUrl = "http://h/style.cgi";
  EXPECT_FALSE(IsStyleSheet(entry, SplitLines("a{}")));
  entry.LinkKind = kKindLink;
  EXPECT_TRUE(IsStyleSheet(entry, SplitLines("a{}")));
  entry.Job.editUrl = "http://h/next.html";
  EXPECT_FALSE(IsStyleSheet(entry, SplitLines("<html>")));
}

struct SheetRun {
  AnalysisRun Run;
  int32_t Sheet = -1;

  explicit SheetRun(TJobRecord job) {
    job.checkLoadStyle = true;
    Run.Start(job, kStart);
    Run.Analyse(0, "<link rel=\"stylesheet\" href=\"css/site.css\">");
    Sheet = Run.Find(kSheet);
    Run.NamePage(Sheet);
  }
  std::vector<std::string> Analyse(const std::string& css) { return Run.Analyse(Sheet, css); }
};

TJobRecord Images() {
  TJobRecord job;
  job.editDepth = 2;
  job.checkLoadImg = true;
  return job;
}

TEST(StyleSheetAnalysisTest, QueuesImagesAndImportsWithoutSpendingDepth) {
  SheetRun sheet(Images());
  ASSERT_GE(sheet.Sheet, 0);
  sheet.Analyse(
      "body { background: url(../img/bg.png) }\n"
      ".hero { background-image: url(\"/top.gif#x\") }\n"
      "@import \"more.css\";\n"
      "i { b: url(http://h/abs.png); c: url(mailto:x@h); d: url(data:,x) }");
  const auto& run = sheet.Run;
  for (const char* url : {"http://h/a/img/bg.png", "http://h/top.gif", "http://h/abs.png"}) {
    const int32_t i = run.Find(url);
    ASSERT_GE(i, 0) << url;
    EXPECT_EQ(run.At(i).LinkKind, kKindImg);
    EXPECT_EQ(run.At(i).ParentIndex, sheet.Sheet);
    EXPECT_EQ(run.At(i).Job.editDepth, run.At(sheet.Sheet).Job.editDepth);
  }
  const int32_t more = run.Find("http://h/a/css/more.css");
  ASSERT_GE(more, 0);
  EXPECT_EQ(run.At(more).LinkKind, kKindLink);
  EXPECT_EQ(run.State.Queue.Count(), 6);
}

TEST(StyleSheetAnalysisTest, ImageRulesApply) {
  TJobRecord job = Images();
  job.checkLoadImg = false;
  SheetRun local(job);
  local.Analyse("a { b: url(i.png) } @import url(x.css);");
  EXPECT_EQ(local.Run.Find("http://h/a/css/i.png"), -1);
  EXPECT_GE(local.Run.Find("http://h/a/css/x.css"), 0);

  // Images on other servers need the remote image rule.
  job = Images();
  job.checkOtherServers = true;
  SheetRun remote(job);
  remote.Analyse("a { b: url(http://cdn/i.png) }");
  EXPECT_EQ(remote.Run.Find("http://cdn/i.png"), -1);
  job.checkRmtLoadImg = true;
  SheetRun allowed(job);
  allowed.Analyse("a { b: url(http://cdn/i.png) }");
  const int32_t i = allowed.Run.Find("http://cdn/i.png");
  ASSERT_GE(i, 0);
  EXPECT_EQ(allowed.Run.At(i).RemoteFlag, 1);
}

TEST(StyleSheetAnalysisTest, WithoutStyleLoadingTheSheetIsNotScanned) {
  AnalysisRun run;
  TJobRecord job = Images();
  run.Start(job, "http://h/a/site.css");
  run.Analyse(0, "a { b: url(i.png) }");
  EXPECT_EQ(run.State.Queue.Count(), 1);
}

TEST(StyleSheetAnalysisTest, RewritesForOfflineBrowsing) {
  struct Case {
    bool Replicate;
    const char* Expected;
  };
  const Case cases[] = {
      {false, "a{b:url(bg.png)} c{d:url('top.gif#x')} @import \"more.css\";"},
      // From the sheet's folder up to the project's, then down to the file.
      {true,
       "a{b:url(../../../h/a/img/bg.png)} c{d:url('../../../h/top.gif#x')} "
       "@import \"../../../h/a/css/more.css\";"},
  };
  for (const Case& c : cases) {
    TJobRecord job = Images();
    job.checkLocalize = true;
    job.checkReplicate = c.Replicate;
    SheetRun sheet(job);
    const auto lines =
        sheet.Analyse("a{b:url(../img/bg.png)} c{d:url('/top.gif#x')} @import \"more.css\";");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], c.Expected) << c.Replicate;
  }
}

TEST(StyleSheetAnalysisTest, BareLocalNameKeepsItsParenthesesEscaped) {
  TJobRecord job = Images();
  job.checkLocalize = true;
  SheetRun sheet(job);
  // The escapes are decoded in the local name; written back, its
  // parentheses are escaped again, or they would end a bare url(...).
  const auto lines = sheet.Analyse("a{b:url(w%281%29.png)}");
  ASSERT_GE(sheet.Run.Find("http://h/a/css/w%281%29.png"), 0);
  EXPECT_EQ(lines[0], "a{b:url(w%281%29.png)}");
}

TEST(StyleSheetAnalysisTest, UnqueuedLinksNameTheWebWhenAsked) {
  TJobRecord job = Images();
  job.checkLoadImg = false;
  job.checkLocalize = true;
  job.checkLinkToUrl = true;
  SheetRun sheet(job);
  const auto lines = sheet.Analyse("a{b:url(../i.png)}");
  EXPECT_EQ(lines[0], "a{b:url(http://h/a/i.png)}");
}

}  // namespace
}  // namespace kestrix
