#include "links/admission.h"

#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/links/analysis_fixture.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;

constexpr char kStart[] = "http://h/dir/start.html";

TEST(QueueingRulesTest, DepthOneKeepsImagesAndDepthTwoFollowsAnchors) {
  for (int depth : {1, 2}) {
    AnalysisRun run;
    run.Start(testing::JobOf("bare img depth=" + std::to_string(depth)), kStart);
    run.Analyse(0, "<a href=\"next.html\">Next</a><img src=\"pic.gif\">");
    const int32_t img = run.Find("http://h/dir/pic.gif");
    ASSERT_GE(img, 0) << depth;
    EXPECT_EQ(run.At(img).Depth, 0);
    EXPECT_EQ(run.At(img).Job.editDepth, depth);
    EXPECT_EQ(run.At(img).LinkKind, kKindImg);
    const int32_t next = run.Find("http://h/dir/next.html");
    if (depth == 1) {
      EXPECT_EQ(next, -1);
      continue;
    }
    ASSERT_GE(next, 0);
    EXPECT_EQ(run.At(next).Depth, 1);
    EXPECT_EQ(run.At(next).Job.editDepth, 1);
    EXPECT_EQ(run.At(next).ParentIndex, 0);
    EXPECT_EQ(run.At(next).LinkedText, "Next");
    EXPECT_EQ(run.At(next).LocalFolder, "/dl/P/");
  }
}

TEST(QueueingRulesTest, FirstCrossingSetsTheRemoteBudget) {
  AnalysisRun run;
  run.Start(testing::JobOf("bare depth=5 other rmtserver rmtimg rmtdepth=2"), kStart);
  run.Analyse(0, "<a href=\"http://o/x/p.html?a=1&amp;b=2\">out</a>");
  const int32_t remote = run.Find("http://o/x/p.html?a=1&b=2");
  ASSERT_GE(remote, 0);
  const TRetriveRec& r = run.At(remote);
  EXPECT_EQ(r.RemoteFlag, 1);
  EXPECT_EQ(r.LocalScopeFlag, 0);
  EXPECT_EQ(r.StartUrl, "http://o/x/p.html?a=1&b=2");  // the reference decoded
  EXPECT_EQ(r.Job.editDepth, 2);                       // EditRmtDepth + 1, one spent on the anchor
  EXPECT_EQ(r.Depth, 1);

  // On the other server: relative pages follow its budget, absolute anchors
  // are never followed, absolute images are.
  run.NamePage(remote);
  run.Analyse(remote,
              "<a href=\"q.html\">q</a><a href=\"http://o/x/abs.html\">abs</a>"
              "<img src=\"http://cdn/i.gif\">");
  ASSERT_EQ(run.Queued(), (std::vector<std::string>{"http://o/x/p.html?a=1&b=2",
                                                    "http://o/x/q.html", "http://cdn/i.gif"}));
  const int32_t q = 2;
  EXPECT_EQ(run.At(q).Job.editDepth, 1);
  EXPECT_EQ(run.At(q).RemoteFlag, 1);

  run.NamePage(q);
  run.Analyse(q, "<a href=\"r.html\">r</a>");
  EXPECT_EQ(run.State.Queue.Count(), 4);  // the remote budget is spent
}

TEST(QueueingRulesTest, RemotePathLimitHoldsForTheDownloadToo) {
  AnalysisRun run;
  run.Start(testing::JobOf("bare depth=5 other rmtpath rmtdepth=5"), kStart);
  run.Analyse(0, "<a href=\"http://o/x/p.html\">out</a>");
  const int32_t remote = run.Find("http://o/x/p.html");
  ASSERT_GE(remote, 0);
  run.NamePage(remote);
  run.Analyse(remote, "<a href=\"sub/in.html\">in</a><a href=\"/y/out.html\">out</a>");
  EXPECT_EQ(run.Queued(),
            (std::vector<std::string>{"http://o/x/p.html", "http://o/x/sub/in.html"}));
}

// A known URL gives where its file lies, also when it is the address the
// entry relocated to ("sub" answered by a relocation to "sub/").
TEST(QueueingRulesTest, KnownUrlsGiveTheirName) {
  AnalysisRun moved;
  moved.Start(testing::JobOf("bare depth=3 replicate"), kStart);
  moved.Analyse(0, "<a href=\"sub\">s</a>");
  ASSERT_EQ(moved.Queued(), std::vector<std::string>{"http://h/dir/sub"});
  ASSERT_EQ(moved.At(1).LocalFileName, "sub.htm");
  moved.State.Queue.AddAlias(1, "http://h/dir/sub/");
  EXPECT_EQ(moved.Analyse(0, "<a href=\"sub/\">s</a>"),
            std::vector<std::string>{"<a href=\"sub.htm\">s</a>"});
}

// The exploration test's verdicts: candidates built with its rules.
std::vector<TReason> Verdicts(const TJobRecord& job, const std::string& html, bool remotePage,
                              bool scriptAnswers = false) {
  AnalysisRun run;
  const int32_t start = run.Start(job, kStart);
  TRetriveRec& page = run.State.Queue.Entry(start);
  if (remotePage) {
    page.RemoteFlag = 1;
    page.Job.editUrl = "http://o/x/p.html";
    page.StartUrl = "http://o/x/p.html";
  }
  if (scriptAnswers) run.Resolver.Answers["go()"] = {"http://h/dir/s.html", "", ""};
  std::vector<std::string> lines = testing::SplitLines(html);
  run.Parser.Clear();
  run.Parser.KeptKinds =
      kKeepFrame | kKeepIFrame | kKeepA | kKeepImg | kKeepEmbed | kKeepLink | kKeepScript;
  run.Parser.Lines = &lines;
  run.Parser.Parse();
  TPageAnalysis analysis(lines, page, start, run.Target, run.Resolver,
                         TExtractionRules::Exploration);
  std::vector<TReason> reasons;
  const TTrapLimits limits;
  const TTrapCheck traps{limits, run.State};
  for (const THTMLItem& item : run.Parser.Items) {
    const THTMLTag* tag = AsTag(item);
    if (tag == nullptr || tag->Params.empty()) continue;
    TLinkCandidate candidate;
    if (!analysis.BuildCandidate(*tag, candidate)) continue;
    reasons.push_back(LinkVerdict(*tag, candidate.Rec, candidate.ScriptResolved,
                                  analysis.Context().StartDir, "index.html", &traps)
                          .Reason);
  }
  return reasons;
}

// The rows of tests/fixtures/links/verdicts.txt.
TEST(LinkVerdictTest, EveryReason) {
  const auto rows = test::ReadRows("links/verdicts.txt");
  ASSERT_GE(rows.size(), 15u);
  for (const auto& r : rows) {
    std::vector<std::string> texts;
    for (const TReason reason : Verdicts(testing::JobOf(r[0]), r[3], r[1] == "1", r[2] == "1"))
      texts.push_back(reason == TReason::Admitted ? "admitted" : ReasonText(reason));
    EXPECT_EQ(texts, std::vector<std::string>(r.begin() + 4, r.end())) << r[3];
  }
}

}  // namespace
}  // namespace kestrix
