#include "links/admission.h"

#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;

constexpr char kStart[] = "http://h/dir/start.html";

TEST(QueueingRulesTest, DepthOneKeepsImagesAndDepthTwoFollowsAnchors) {
  for (int depth : {1, 2}) {
    AnalysisRun run;
    TJobRecord job;
    job.editDepth = depth;
    job.checkLoadImg = true;
    run.Start(job, kStart);
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

TEST(QueueingRulesTest, PathLimitAgainstServerLimit) {
  const std::string page =
      "<a href=\"sub/a.html\">a</a><a href=\"/other/b.html\">b</a>"
      "<frame src=\"../frames/f.html\"><a href=\"ftp://h/file.zip\">f</a>";
  for (bool thisPath : {true, false}) {
    AnalysisRun run;
    TJobRecord job;
    job.editDepth = 3;
    job.radioThisPath = thisPath;
    job.radioThisServer = !thisPath;
    run.Start(job, kStart);
    run.Analyse(0, page);
    EXPECT_GE(run.Find("http://h/dir/sub/a.html"), 0);
    EXPECT_EQ(run.Find("http://h/other/b.html") >= 0, !thisPath);
    // Frames are queued whatever the directory limit says.
    EXPECT_GE(run.Find("http://h/frames/f.html"), 0);
    EXPECT_EQ(run.Find("ftp://h/file.zip"), -1);
  }
}

TEST(QueueingRulesTest, FirstCrossingSetsTheRemoteBudget) {
  AnalysisRun run;
  TJobRecord job;
  job.editDepth = 5;
  job.checkOtherServers = true;
  job.radioRmtThisServer = true;
  job.checkRmtLoadImg = true;
  job.EditRmtDepth = 2;
  run.Start(job, kStart);
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
  TJobRecord job;
  job.editDepth = 5;
  job.checkOtherServers = true;
  job.radioRmtThisPath = true;
  job.EditRmtDepth = 5;
  run.Start(job, kStart);
  run.Analyse(0, "<a href=\"http://o/x/p.html\">out</a>");
  const int32_t remote = run.Find("http://o/x/p.html");
  ASSERT_GE(remote, 0);
  run.NamePage(remote);
  run.Analyse(remote, "<a href=\"sub/in.html\">in</a><a href=\"/y/out.html\">out</a>");
  EXPECT_EQ(run.Queued(),
            (std::vector<std::string>{"http://o/x/p.html", "http://o/x/sub/in.html"}));
}

TEST(QueueingRulesTest, StoredMaskNamesTheFileAndKnownUrlsGiveTheirName) {
  AnalysisRun run;
  TJobRecord job;
  job.editDepth = 3;
  job.lclCheckRetriveFile = true;
  job.lcleditRetriveFile = "*.cgi*|*.html;*.html";
  run.Start(job, kStart);
  run.Analyse(0, "<a href=\"run.cgi?x=1\">r</a><a href=\"a.php\">p</a>");
  ASSERT_EQ(run.Queued(), std::vector<std::string>{"http://h/dir/run.cgi?x=1"});
  EXPECT_EQ(run.At(1).LocalFileName, "run.cgi@x=1.html");

  // A known URL gives where its file lies, also when it is the address the
  // entry relocated to ("sub" answered by a relocation to "sub/").
  TJobRecord plain;
  plain.editDepth = 3;
  plain.checkLocalize = plain.checkReplicate = true;
  AnalysisRun moved;
  moved.Start(plain, kStart);
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

TEST(LinkVerdictTest, EveryReason) {
  using R = TReason;
  TJobRecord plain;
  EXPECT_EQ(Verdicts(plain, "<a href=\"mailto:x@h\">m</a>", false),
            std::vector<R>{R::UnsupportedProtocol});
  EXPECT_EQ(Verdicts(plain, "<iframe src=\"f.html\"></iframe>", false),
            std::vector<R>{R::EmbeddedDisabled});
  EXPECT_EQ(Verdicts(plain, "<img src=\"i.gif\">", false), std::vector<R>{R::LocalImagesDisabled});
  EXPECT_EQ(Verdicts(plain, "<a href=\"a.html\">a</a>", false), std::vector<R>{R::DepthExceeded});
  EXPECT_EQ(Verdicts(plain, "<link href=\"s.css\">", false),
            std::vector<R>{R::StyleSheetsDisabled});
  EXPECT_EQ(Verdicts(plain, "<script src=\"s.js\"></script>", false),
            std::vector<R>{R::ScriptSourcesDisabled});
  EXPECT_EQ(Verdicts(plain, "<a href=\"javascript:go()\">j</a>", false),
            std::vector<R>{R::ScriptLinksDisabled});
  EXPECT_EQ(Verdicts(plain, "<a onclick=\"go()\">j</a>", false),
            std::vector<R>{R::ScriptLinksDisabled});
  EXPECT_EQ(Verdicts(plain, "<a href=\"http://o/p.html\">o</a>", false),
            std::vector<R>{R::RemoteDisabled});

  TJobRecord deep;
  deep.editDepth = 3;
  deep.checkLoadImg = true;
  deep.lclCheckIgnoreFile = true;
  deep.lcleditIgnoreFile = "*.gif";
  EXPECT_EQ(
      Verdicts(deep, "<a href=\"../up.html\">u</a><img src=\"i.gif\"><a href=\"a.html\">", false),
      (std::vector<R>{R::OutsideStartUrl, R::Filtered, R::Admitted}));
  // A link the rules admit may still be a crawl trap.
  EXPECT_EQ(
      Verdicts(deep,
               "<a href=\"a/b/a/b/a/b/\">r</a><a href=\"x?" + std::string(2100, 'q') + "\">l</a>",
               false),
      (std::vector<R>{R::RepeatingPath, R::UrlTooLong}));

  TJobRecord scripts = deep;
  scripts.checkLoadScript = true;
  EXPECT_EQ(Verdicts(scripts, "<a href=\"javascript:nothing()\">j</a>", false),
            std::vector<R>{R::ScriptUnresolved});
  EXPECT_EQ(Verdicts(scripts, "<a onclick=\"go()\">j</a>", false, true),
            std::vector<R>{R::Admitted});

  TJobRecord remote = deep;
  remote.checkOtherServers = true;
  EXPECT_EQ(Verdicts(remote, "<a href=\"http://o/x/abs.html\">a</a>", true),
            std::vector<R>{R::RemoteToRemote});
  EXPECT_EQ(
      Verdicts(remote, "<a href=\"http://o2/y.html\">a</a><img src=\"http://o2/i.png\">", false),
      (std::vector<R>{R::RemotePagesDisabled, R::RemoteImagesDisabled}));
  // The one text no other test shows, kept as users have always read it.
  EXPECT_STREQ(ReasonText(R::RemoteToRemote),
               "Crossing from remote host to an remote host unsupport");
  EXPECT_STREQ(ReasonText(R::Admitted), "");
}

}  // namespace
}  // namespace kestrix
