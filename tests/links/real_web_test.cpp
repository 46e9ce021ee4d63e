// Link analysis on pages shaped like those real sites serve: schemes other
// than http, attributes written before the link, srcset, rel values,
// minified one-line pages, character references and script links.
#include <gtest/gtest.h>

#include "links/link_text.h"
#include "tests/links/analysis_fixture.h"

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

TEST(LinkTextTest, SchemesEntitiesAndLocalLinks) {
  const struct {
    const char* link;
    const char* scheme;
    bool absolute;
  } schemes[] = {
      {"https://h/x", "https", true},   {"//h/x", "", true},   {"data:,x", "data", true},
      {"svn+ssh://h", "svn+ssh", true}, {"x.html", "", false}, {"a/b:c", "", false},
      {"p?x=a:b", "", false},           {"#a:b", "", false},   {"1x:y", "", false},
      {" TEL:+1", "TEL", true},
  };
  for (const auto& c : schemes) {
    EXPECT_EQ(LinkScheme(c.link), c.scheme) << c.link;
    EXPECT_EQ(IsAbsoluteLink(c.link), c.absolute) << c.link;
  }
  EXPECT_EQ(DecodeLinkEntities("a?x=1&amp;y=2&#38;z=&#x33;&lt;&quot;"), "a?x=1&y=2&z=3<\"");
  EXPECT_EQ(DecodeLinkEntities("a&b&amp&copy;&#233;&;"), "a&b&amp&copy;&#233;&;");
  EXPECT_EQ(EncodeLocalLink("../d/a b%#?&\"\xC3\xA9.html"), "../d/a%20b%25%23%3F%26%22%C3%A9.html");
}

TEST(RealWebTest, LinksOfOtherSchemesAreNeitherQueuedNorRewritten) {
  AnalysisRun run;
  TJobRecord job = FullCopy();
  job.checkLinkToUrl = true;
  run.Start(job, kStart);
  const std::string page =
      "<a href=\"https://o/x.html\">s</a><a href=\"//o/y.html\">p</a>"
      "<img src=\"data:image/png;base64,iVBORw0KGgo=\"><a href=\"tel:+123\">t</a>"
      "<a href=\"about:blank\">b</a><a href=\"blob:http://h/1\">l</a>"
      "<a href=\"mailto:me@h\">m</a><a href=\"HTTPS://h/a/z.html\">z</a>";
  const auto lines = run.Analyse(0, page);
  // Only the https link to the site itself is followed: it is the same server.
  EXPECT_EQ(run.State.Queue.Count(), 2);
  EXPECT_GE(run.Find("HTTPS://h/a/z.html"), 0);
  std::string expected = page;
  expected.replace(expected.find("HTTPS://h/a/z.html"), 18, "z.html");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], expected);
}

TEST(RealWebTest, ProtocolRelativeLinksTakeThePageScheme) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  const auto lines = run.Analyse(0, "<a href=\"//h/a/p.html\">p</a><a href=\"//o/q.html\">q</a>");
  EXPECT_GE(run.Find("http://h/a/p.html"), 0);
  EXPECT_EQ(run.Find("http://o/q.html"), -1);  // another server, not followed by this job
  EXPECT_EQ(lines[0], "<a href=\"p.html\">p</a><a href=\"//o/q.html\">q</a>");
}

TEST(RealWebTest, TheLinkAttributeIsChosenByName) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  const auto lines = run.Analyse(0,
                                 "<script id=\"o\" data-url_root=\"./\" src=\"opts.js\"></script>\n"
                                 "<img data-src=\"lazy.png\" src=\"real.png\">\n"
                                 "<a data-href=\"wrong.html\" href=\"right.html\">r</a>\n"
                                 "<link data-url=\"x\" href=\"s.css\" rel=\"stylesheet\">\n"
                                 "<a onclick=\"x()\" data-url=\"fallback.html\">f</a>");
  for (const char* url : {"http://h/a/opts.js", "http://h/a/real.png", "http://h/a/right.html",
                          "http://h/a/s.css", "http://h/a/fallback.html"}) {
    EXPECT_GE(run.Find(url), 0) << url;
  }
  for (const char* url : {"http://h/a/", "http://h/a/lazy.png", "http://h/a/wrong.html"}) {
    EXPECT_EQ(run.Find(url), -1) << url;
  }
  EXPECT_EQ(lines[0], "<script id=\"o\" data-url_root=\"./\" src=\"opts.js\"></script>");
  EXPECT_EQ(lines[1], "<img data-src=\"lazy.png\" src=\"real.png\">");
  EXPECT_EQ(lines[2], "<a data-href=\"wrong.html\" href=\"right.html\">r</a>");
}

TEST(RealWebTest, SrcsetCandidatesAreQueuedAndRewrittenInPlace) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  const auto lines =
      run.Analyse(0,
                  "<img srcset=\"i/a.png 1x, i/b%20c.png 2x,i/d.png\" src=\"i/a.png\">\n"
                  "<img src=\"e.png\" srcset=\"e.png 1x,\n"
                  "   https://o/f.png 2x\">");
  for (const char* url :
       {"http://h/a/i/a.png", "http://h/a/i/b%20c.png", "http://h/a/i/d.png", "http://h/a/e.png"}) {
    EXPECT_GE(run.Find(url), 0) << url;
  }
  EXPECT_EQ(lines[0], "<img srcset=\"a.png 1x, b_c.png 2x,d.png\" src=\"a.png\">");
  EXPECT_EQ(lines[1], "<img src=\"e.png\" srcset=\"e.png 1x,");
  EXPECT_EQ(lines[2], "   https://o/f.png 2x\">");
}

TEST(RealWebTest, PictureSourcesGiveTheirImages) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  const auto lines = run.Analyse(0,
                                 "<picture><source srcset=\"p/a.webp 1x, p/b.webp 2x\" "
                                 "type=\"image/webp\"><img src=\"p/a.png\"></picture>"
                                 "<video><source src=\"m/v.mp4\" type=\"video/mp4\"></video>");
  for (const char* url :
       {"http://h/a/p/a.webp", "http://h/a/p/b.webp", "http://h/a/p/a.png", "http://h/a/m/v.mp4"}) {
    EXPECT_GE(run.Find(url), 0) << url;
  }
  EXPECT_EQ(run.State.Queue.Count(), 5);
  EXPECT_EQ(lines[0],
            "<picture><source srcset=\"a.webp 1x, b.webp 2x\" type=\"image/webp\"><img "
            "src=\"a.png\"></picture><video><source src=\"v.mp4\" type=\"video/mp4\"></video>");
}

TEST(RealWebTest, AQueryAloneNamesThePageItself) {
  AnalysisRun run;
  run.Start(FullCopy(), "http://h/a/list.php?page=1");
  const auto lines = run.Analyse(0, "<a href=\"?page=2\">2</a><a href=\"./?page=3\">3</a>");
  EXPECT_GE(run.Find("http://h/a/list.php?page=2"), 0);
  EXPECT_GE(run.Find("http://h/a/?page=3"), 0);
  EXPECT_EQ(run.Find("http://h/a/?page=2"), -1);
  EXPECT_EQ(lines[0], "<a href=\"list.php@page=2.htm\">2</a><a href=\"@page=3.htm\">3</a>");
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
  for (const char* url : {"http://h/s/s.css", "http://h/f.ico", "http://h/s/f.woff2"}) {
    const int32_t at = run.Find(url);
    ASSERT_GE(at, 0) << url;
    EXPECT_EQ(run.At(at).LinkKind, kKindLink);
  }
  // Next and previous are documents, under the anchor rules: this path only.
  const int32_t next = run.Find("http://h/a/n.html");
  ASSERT_GE(next, 0);
  EXPECT_EQ(run.At(next).LinkKind, kKindA);
  EXPECT_EQ(run.Find("http://h/p.html"), -1);
  for (const char* url :
       {"http://h/a/list@h", "http://h/a/c.html", "http://h/", "http://h/a/x.html"}) {
    EXPECT_EQ(run.Find(url), -1) << url;
  }
  EXPECT_EQ(run.State.Queue.Count(), 5);
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

TEST(RealWebTest, BaseBlanksOnlyItsOwnTag) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  const auto lines = run.Analyse(0,
                                 "<html><head><base href=\"http://h/\"><link rel=\"stylesheet\" "
                                 "href=\"_s/t.css?v=3\"></head><body><a href=\"a/start.html\">s</a>"
                                 "<a href=\"a/two.html\">2</a></body></html>");
  // The page is found again under its own URL, not queued a second time.
  EXPECT_EQ(run.Find(kStart), 0);
  EXPECT_GE(run.Find("http://h/_s/t.css?v=3"), 0);
  EXPECT_GE(run.Find("http://h/a/two.html"), 0);
  EXPECT_EQ(run.State.Queue.Count(), 3);
  EXPECT_EQ(lines[0],
            "<html><head><link rel=\"stylesheet\" href=\"t.css@v=3.css\"></head><body>"
            "<a href=\"start.html\">s</a><a href=\"two.html\">2</a></body></html>");
}

TEST(RealWebTest, ReferencesAreDecodedForFetchingAndSavedLinksAreEncoded) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  const auto lines = run.Analyse(0,
                                 "<a href=\"q.cgi?x=1&amp;y=2#t\">q</a>"
                                 "<a href=\"caf%C3%A9 menu.html\">c</a>"
                                 "<script src=\"app.js?v=1&amp;t=2\"></script>");
  EXPECT_GE(run.Find("http://h/a/q.cgi?x=1&y=2"), 0);
  EXPECT_GE(run.Find("http://h/a/caf%C3%A9%20menu.html"), 0);
  const int32_t script = run.Find("http://h/a/app.js?v=1&t=2");
  ASSERT_GE(script, 0);
  EXPECT_EQ(run.At(script).LocalFileName, "app.js@v=1&t=2.js");
  EXPECT_EQ(lines[0],
            "<a href=\"q.cgi@x=1%26y=2.htm#t\">q</a>"
            "<a href=\"caf%C3%A9_menu.html\">c</a>"
            "<script src=\"app.js@v=1%26t=2.js\"></script>");
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
  EXPECT_GE(run.Find("http://h/a/two.html"), 0);
  EXPECT_GE(run.Find("http://h/a/three.html"), 0);
  EXPECT_EQ(lines[0],
            "<a href=\"two.html\" alt=\"go('two.html')\">2</a>"
            "<a href=\"three.html\" alt=\"go('three.html')\">3</a>");
  EXPECT_EQ(static_cast<int>(run.Resolver.Ran.size()), kMaxScriptRunsPerPage);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("2 script links"), std::string::npos) << notes[0];
}

}  // namespace
}  // namespace kestrix

namespace kestrix {
namespace {

TEST(RealWebTest, StyleElementsAndAttributesNameTheirParts) {
  AnalysisRun run;
  run.Start(FullCopy(), kStart);
  const auto lines = run.Analyse(
      0,
      "<style>@import \"base.css\";\n"
      "@font-face{src:url(f/x.woff2) format('woff2')} body{background:url('i/bg.png')}</style>\n"
      "<div style=\"background-image: url(&quot;i/d.png&quot;); x: url(i/s p.png)\">d</div>"
      "<script>var s = \"<style>.a{background:url(no.png)}</style>\";</script>"
      "<!-- <p style=\"background:url(no2.png)\"> -->"
      "<p data-x='style=\"url(no3.png)\"'>p</p>");
  for (const char* url : {"http://h/a/base.css", "http://h/a/f/x.woff2", "http://h/a/i/bg.png",
                          "http://h/a/i/d.png", "http://h/a/i/s%20p.png"}) {
    EXPECT_GE(run.Find(url), 0) << url;
  }
  for (const char* url : {"http://h/a/no.png", "http://h/a/no2.png", "http://h/a/no3.png"}) {
    EXPECT_EQ(run.Find(url), -1) << url;
  }
  EXPECT_EQ(lines[0], "<style>@import \"base.css\";");
  EXPECT_EQ(lines[1],
            "@font-face{src:url(x.woff2) format('woff2')} body{background:url('bg.png')}</style>");
  EXPECT_TRUE(lines[2].starts_with(
      "<div style=\"background-image: url(&quot;d.png&quot;); x: url(s_p.png)\">d</div>"))
      << lines[2];
}

}  // namespace
}  // namespace kestrix
