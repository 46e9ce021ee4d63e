#include "links/css_links.h"

#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;
using testing::SplitLines;
using Strings = std::vector<std::string>;

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
  EXPECT_EQ(run.Queued(), (Strings{kSheet, "http://h/a/img/bg.png", "http://h/top.gif",
                                   "http://h/a/css/more.css", "http://h/abs.png"}));
  for (int32_t i = sheet.Sheet + 1; i < run.State.Queue.Count(); ++i) {
    SCOPED_TRACE(run.At(i).Job.editUrl);
    EXPECT_EQ(run.At(i).LinkKind, run.At(i).Job.editUrl.ends_with(".css") ? kKindLink : kKindImg);
    EXPECT_EQ(run.At(i).ParentIndex, sheet.Sheet);
    EXPECT_EQ(run.At(i).Job.editDepth, run.At(sheet.Sheet).Job.editDepth);
  }
}

TEST(StyleSheetAnalysisTest, ImageRulesApply) {
  // Images on other servers need the remote image rule; imports are no images.
  const struct {
    bool images, otherServers, remoteImages;
    const char* css;
    Strings queued;
  } cases[] = {
      {false,
       false,
       false,
       "a { b: url(i.png) } @import url(x.css);",
       {kSheet, "http://h/a/css/x.css"}},
      {true, true, false, "a { b: url(http://cdn/i.png) }", {kSheet}},
      {true, true, true, "a { b: url(http://cdn/i.png) }", {kSheet, "http://cdn/i.png"}},
  };
  for (const auto& c : cases) {
    TJobRecord job = Images();
    job.checkLoadImg = c.images;
    job.checkOtherServers = c.otherServers;
    job.checkRmtLoadImg = c.remoteImages;
    SheetRun sheet(job);
    sheet.Analyse(c.css);
    EXPECT_EQ(sheet.Run.Queued(), c.queued) << c.css;
    EXPECT_EQ(sheet.Run.At(sheet.Run.State.Queue.Count() - 1).RemoteFlag, c.remoteImages ? 1 : 0);
  }
}

TEST(StyleSheetAnalysisTest, WithoutStyleLoadingTheSheetIsNotScanned) {
  AnalysisRun run;
  TJobRecord job = Images();
  run.Start(job, "http://h/a/site.css");
  run.Analyse(0, "a { b: url(i.png) }");
  EXPECT_EQ(run.State.Queue.Count(), 1);
}

TEST(StyleSheetAnalysisTest, RewritesForOfflineBrowsing) {
  const struct {
    bool replicate, images, linkToUrl;
    const char* css;
    const char* expected;
    const char* queued;
  } cases[] = {
      {false, true, false, "a{b:url(../img/bg.png)} c{d:url('/top.gif#x')} @import \"more.css\";",
       "a{b:url(bg.png)} c{d:url('top.gif#x')} @import \"more.css\";", "http://h/a/img/bg.png"},
      // From the sheet's folder up to the folder it shares with the file.
      {true, true, false,
       "a{b:url(../img/bg.png)} c{d:url('../../top.gif#x')} @import \"more.css\";",
       "a{b:url(../img/bg.png)} c{d:url('../../top.gif#x')} @import \"more.css\";",
       "http://h/a/img/bg.png"},
      // The escapes are decoded in the local name; written back, its
      // parentheses are escaped again, or they would end a bare url(...).
      {false, true, false, "a{b:url(w%281%29.png)}", "a{b:url(w%281%29.png)}",
       "http://h/a/css/w%281%29.png"},
      // Links that are not queued name the web when asked.
      {false, false, true, "a{b:url(../i.png)}", "a{b:url(http://h/a/i.png)}", nullptr},
  };
  for (const auto& c : cases) {
    TJobRecord job = Images();
    job.checkLocalize = true;
    job.checkReplicate = c.replicate;
    job.checkLoadImg = c.images;
    job.checkLinkToUrl = c.linkToUrl;
    SheetRun sheet(job);
    EXPECT_EQ(sheet.Analyse(c.css), std::vector<std::string>{c.expected});
    if (c.queued != nullptr) {
      EXPECT_GE(sheet.Run.Find(c.queued), 0) << c.queued;
    }
  }
}

}  // namespace
}  // namespace kestrix
