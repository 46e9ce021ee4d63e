// Link analysis on pages shaped like those real sites serve: schemes other
// than http, attributes written before the link, srcset, rel values,
// minified one-line pages, character references and script links.
#include <gtest/gtest.h>

#include "links/link_extraction.h"
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

// A link's scheme, whether it names a place of its own, and whether the
// downloader may fetch it.
TEST(LinkTextTest, SchemesEntitiesAndLocalLinks) {
  const struct {
    const char* link;
    const char* scheme;
    bool absolute, supported;
  } schemes[] = {
      {"https://h/x", "https", true, true},
      {"HTTPS://h:8443/", "HTTPS", true, true},
      {"HTTP://h/", "HTTP", true, true},
      {"ftp://h/x.zip", "ftp", true, true},
      {"//h/x", "", true, true},
      {"", "", false, true},
      {"x.html", "", false, true},
      {"a/b:c", "", false, true},
      {"p?x=a:b", "", false, true},
      {"http://h/?next=mailto:x", "http", true, true},
      {"#a:b", "", false, true},
      {"?q=javascript:x", "", false, true},
      {"1x:y", "", false, true},
      {"data:,x", "data", true, false},
      {"svn+ssh://h", "svn+ssh", true, false},
      {" TEL:+1", "TEL", true, false},
      {" mailto:x", "mailto", true, false},
      {"MAILTO:a@b", "MAILTO", true, false},
      {"news:x", "news", true, false},
      {"gopher://h", "gopher", true, false},
      {"file:///etc/passwd", "file", true, false},
      {"JavaScript:void(0)", "JavaScript", true, false},
      {"about:blank", "about", true, false},
      {"blob:http://h/1", "blob", true, false},
  };
  for (const auto& c : schemes) {
    EXPECT_EQ(LinkScheme(c.link), c.scheme) << c.link;
    EXPECT_EQ(IsAbsoluteLink(c.link), c.absolute) << c.link;
    EXPECT_EQ(IsSupportedProtocol(c.link), c.supported) << c.link;
  }
  EXPECT_EQ(DecodeLinkEntities("a?x=1&amp;y=2&#38;z=&#x33;&lt;&quot;"), "a?x=1&y=2&z=3<\"");
  EXPECT_EQ(DecodeLinkEntities("a&b&amp&copy;&#233;&;"), "a&b&amp&copy;&#233;&;");
  EXPECT_EQ(EncodeLocalLink("../d/a b%#?&\"\xC3\xA9.html"), "../d/a%20b%25%23%3F%26%22%C3%A9.html");
}

using Strings = std::vector<std::string>;
using Edits = std::vector<std::pair<std::string, std::string>>;

// Analyses `page` as the job's start page: `queued` is every URL queued
// after the start, `edits` the page's changes, each found after the one
// before; the rest of the page must stay as written.
void ExpectPage(const char* name, const TJobRecord& job, const std::string& page,
                const Strings& queued, const Edits& edits, const char* start = kStart) {
  SCOPED_TRACE(name);
  AnalysisRun run;
  run.Start(job, start);
  std::string want = page;
  size_t at = 0;
  for (const auto& [from, to] : edits) {
    at = want.find(from, at);
    ASSERT_NE(at, std::string::npos) << from;
    want.replace(at, from.size(), to);
    at += to.size();
  }
  EXPECT_EQ(run.Analyse(0, page), testing::SplitLines(want));
  EXPECT_EQ(run.Queued(), queued);
}

TEST(RealWebTest, PagesAsSitesWriteThem) {
  TJobRecord linkToUrl = FullCopy();
  linkToUrl.checkLinkToUrl = true;
  // Only the https link to the site itself is followed: it is the same server.
  ExpectPage("other schemes", linkToUrl,
             "<a href=\"https://o/x.html\">s</a><a href=\"//o/y.html\">p</a>"
             "<img src=\"data:image/png;base64,iVBORw0KGgo=\"><a href=\"tel:+123\">t</a>"
             "<a href=\"about:blank\">b</a><a href=\"blob:http://h/1\">l</a>"
             "<a href=\"mailto:me@h\">m</a><a href=\"HTTPS://h/a/z.html\">z</a>",
             {"HTTPS://h/a/z.html"},
             {{"//o/y.html", "http://o/y.html"}, {"HTTPS://h/a/z.html", "z.html"}});
  // Another server's page is not followed by this job.
  ExpectPage("protocol-relative links", FullCopy(),
             "<a href=\"//h/a/p.html\">p</a><a href=\"//o/q.html\">q</a>", {"http://h/a/p.html"},
             {{"//h/a/p.html", "p.html"}});
  ExpectPage("the link attribute is chosen by name", FullCopy(),
             "<script id=\"o\" data-url_root=\"./\" src=\"opts.js\"></script>\n"
             "<img data-src=\"lazy.png\" src=\"real.png\">\n"
             "<a data-href=\"wrong.html\" href=\"right.html\">r</a>\n"
             "<link data-url=\"x\" href=\"s.css\" rel=\"stylesheet\">\n"
             "<a onclick=\"x()\" data-url=\"fallback.html\">f</a>",
             {"http://h/a/opts.js", "http://h/a/real.png", "http://h/a/right.html",
              "http://h/a/s.css", "http://h/a/fallback.html"},
             {});
  ExpectPage(
      "srcset candidates are queued and rewritten in place", FullCopy(),
      "<img srcset=\"i/a.png 1x, i/b%20c.png 2x,i/d.png\" src=\"i/a.png\">\n"
      "<img src=\"e.png\" srcset=\"e.png 1x,\n   https://o/f.png 2x\">",
      {"http://h/a/i/a.png", "http://h/a/i/b%20c.png", "http://h/a/i/d.png", "http://h/a/e.png"},
      {{"i/a.png", "a.png"},
       {"i/b%20c.png", "b_c.png"},
       {"i/d.png", "d.png"},
       {"i/a.png", "a.png"}});
  TJobRecord embedded = FullCopy();
  embedded.checkLoadEmbed = true;
  // A picture's sources are images; what a page plays or embeds is an
  // embedded object, and a video's poster an image.
  ExpectPage(
      "pictures, videos, sounds and objects", embedded,
      "<picture><source srcset=\"p/a.webp 1x, p/b.webp 2x\" type=\"image/webp\">"
      "<img src=\"p/a.png\"></picture>"
      "<a href=\"f.html\"><video poster=\"m/p.jpg\" src=\"m/v.webm\">"
      "<source src=\"m/v.mp4\" type=\"video/mp4\"><track src=\"m/en.vtt\"></video>"
      "<audio src=\"m/s.ogg\"></audio><object data=\"fig/f.svg\">Figure</object></a>",
      {"http://h/a/p/a.webp", "http://h/a/p/b.webp", "http://h/a/p/a.png", "http://h/a/f.html",
       "http://h/a/m/v.webm", "http://h/a/m/p.jpg", "http://h/a/m/v.mp4", "http://h/a/m/en.vtt",
       "http://h/a/m/s.ogg", "http://h/a/fig/f.svg"},
      {{"p/a.webp", "a.webp"},
       {"p/b.webp", "b.webp"},
       {"p/a.png", "a.png"},
       {"f.html", "f.html"},
       {"m/p.jpg", "p.jpg"},
       {"m/v.webm", "v.webm"},
       {"m/v.mp4", "v.mp4"},
       {"m/en.vtt", "en.vtt"},
       {"m/s.ogg", "s.ogg"},
       {"fig/f.svg", "f.svg"}});
  // Browsers strip blanks around a link and take "." and ".." as folders.
  ExpectPage("blanks and dot segments", FullCopy(),
             "<a href=\" https://o/x.html\">o</a><a href=\"  sub/b.html \">b</a>"
             "<a href=\"..\">up</a><a href=\".\">here</a><a href=\"http://h/a/x/../y.html\">y</a>",
             {"http://h/a/sub/b.html", "http://h/", "http://h/a/", "http://h/a/y.html"},
             {{"  sub/b.html ", "b.html"},
              {"..", "index.html"},
              {".", "index1.html"},
              {"http://h/a/x/../y.html", "y.html"}});
  ExpectPage("a query alone names the page itself", FullCopy(),
             "<a href=\"?page=2\">2</a><a href=\"./?page=3\">3</a>",
             {"http://h/a/list.php?page=2", "http://h/a/?page=3"},
             {{"?page=2", "list.php@page=2.htm"}, {"./?page=3", "@page=3.htm"}},
             "http://h/a/list.php?page=1");
  // The page is found again under its own URL, not queued a second time.
  ExpectPage("base moves only later links and blanks only its own tag", FullCopy(),
             "<html><head><a href=\"before.html\">b</a><base href=\"http://h/\"><link "
             "rel=\"stylesheet\" href=\"_s/t.css?v=3\"></head><body><a href=\"a/start.html\">s</a>"
             "<a href=\"a/two.html\">2</a></body></html>",
             {"http://h/a/before.html", "http://h/_s/t.css?v=3", "http://h/a/two.html"},
             {{"before.html", "before.html"},
              {"<base href=\"http://h/\">", ""},
              {"_s/t.css?v=3", "t.css@v=3.css"},
              {"a/start.html", "start.html"},
              {"a/two.html", "two.html"}});
  // The local name keeps "&" decoded; the saved link encodes it.
  ExpectPage(
      "references are decoded for fetching and encoded when saved", FullCopy(),
      "<a href=\"q.cgi?x=1&amp;y=2#t\">q</a><a href=\"caf%C3%A9 menu.html\">c</a>"
      "<script src=\"app.js?v=1&amp;t=2\"></script>",
      {"http://h/a/q.cgi?x=1&y=2", "http://h/a/caf%C3%A9%20menu.html", "http://h/a/app.js?v=1&t=2"},
      {{"q.cgi?x=1&amp;y=2#t", "q.cgi@x=1%26y=2.htm#t"},
       {"caf%C3%A9 menu.html", "caf%C3%A9_menu.html"},
       {"app.js?v=1&amp;t=2", "app.js@v=1%26t=2.js"}});
  // Nothing is taken from a script's text, a comment or another attribute.
  ExpectPage("style elements and attributes", FullCopy(),
             "<style>@import \"base.css\";\n@font-face{src:url(f/x.woff2) format('woff2')} "
             "body{background:url('i/bg.png')}</style>\n"
             "<div style=\"background-image: url(&quot;i/d.png&quot;); x: url(i/s p.png)\">d</div>"
             "<script>var s = \"<style>.a{background:url(no.png)}</style>\";</script>"
             "<!-- <p style=\"background:url(no2.png)\"> -->"
             "<p data-x='style=\"url(no3.png)\"'>p</p>",
             {"http://h/a/base.css", "http://h/a/f/x.woff2", "http://h/a/i/bg.png",
              "http://h/a/i/d.png", "http://h/a/i/s%20p.png"},
             {{"f/x.woff2", "x.woff2"},
              {"i/bg.png", "bg.png"},
              {"i/d.png", "d.png"},
              {"i/s p.png", "s_p.png"}});
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
  // Next and previous are documents, under the anchor rules: this path only.
  EXPECT_EQ(run.Queued(), (std::vector<std::string>{"http://h/s/s.css", "http://h/f.ico",
                                                    "http://h/s/f.woff2", "http://h/a/n.html"}));
  std::vector<int32_t> kinds;
  for (int32_t i = 1; i < run.State.Queue.Count(); ++i) kinds.push_back(run.At(i).LinkKind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{kKindLink, kKindLink, kKindLink, kKindA}));
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
