// Which absolute links are the site's own: http and https of one host are
// one server; a page part on another server is
// fetched, and its link made local, only when the job may go there.
#include <gtest/gtest.h>

#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;

TJobRecord Copy(bool thisPath = false) {
  TJobRecord job;
  job.editDepth = 3;
  job.checkLocalize = true;
  job.checkLoadImg = true;
  job.checkLoadStyle = true;
  job.checkLoadScript = true;
  job.checkLoadEmbed = true;
  job.radioThisPath = thisPath;
  job.radioThisServer = !thisPath;
  return job;
}

// Which URLs are one server, or inside a folder, is ParsedUrl's table; here
// that admission asks it: this server takes https and another port, this
// path only the start's folder and port, across schemes too.
TEST(ServerLinksTest, HttpAndHttpsOfOneHostAreOneServer) {
  using Strings = std::vector<std::string>;
  for (const bool thisPath : {false, true}) {
    AnalysisRun run;
    run.Start(Copy(thisPath), "http://h/a/start.html");
    run.Analyse(0,
                "<a href=\"https://h:8443/a/r.html\">r</a><a href=\"https://h/b/x.html\">x</a>"
                "<a href=\"https://h:443/a/d/y.html\">y</a><a href=\"https://o/a/t.html\">t</a>");
    const Strings own =
        thisPath ? Strings{"https://h/a/d/y.html"}
                 : Strings{"https://h:8443/a/r.html", "https://h/b/x.html", "https://h/a/d/y.html"};
    EXPECT_EQ(run.Queued(), own);
  }
}

TEST(ServerLinksTest, OneDocumentByEitherSchemeIsQueuedOnce) {
  AnalysisRun run;
  run.Start(Copy(), "https://h/index.html");
  const auto lines =
      run.Analyse(0,
                  "<a href=\"https://h/p.html\">1</a><a href=\"http://h/p.html\">2</a>\n"
                  "<img src=\"http://h/i.png\"><img src=\"HTTPS://h/i.png\">\n"
                  "<a href=\"http://h:8080/p.html\">3</a>"
                  "<a href=\"https://h:443/p.html\">4</a><img src=\"http://h:80/i.png\">");
  // Another port: another document.
  EXPECT_EQ(run.Queued(), (std::vector<std::string>{"https://h/p.html", "http://h/i.png",
                                                    "http://h:8080/p.html"}));
  EXPECT_EQ(lines[0], "<a href=\"p.html\">1</a><a href=\"p.html\">2</a>");
  EXPECT_EQ(lines[1], "<img src=\"i.png\"><img src=\"i.png\">");
  // A scheme's own port written out names the same document.
  EXPECT_NE(lines[2].find("<a href=\"p.html\">4</a><img src=\"i.png\">"), std::string::npos)
      << lines[2];
}

TEST(ServerLinksTest, ForeignPagePartsAreFetchedOnlyWhenOtherServersAre) {
  const std::string page =
      "<script src=\"https://cdn.o/lib.js\"></script>"
      "<link rel=\"stylesheet\" href=\"http://cdn.o/s.css\">"
      "<iframe src=\"https://o/f.html\"></iframe><frame src=\"//o/g.html\">"
      "<meta http-equiv=\"refresh\" content=\"9; URL=https://o/m.html\">"
      "<script src=\"https://h/own.js\"></script>";
  const char* foreign[] = {"https://cdn.o/lib.js", "http://cdn.o/s.css", "https://o/f.html",
                           "https://o/g.html", "https://o/m.html"};
  {
    AnalysisRun run;
    run.Start(Copy(), "https://h/index.html");
    const auto lines = run.Analyse(0, page);
    for (const char* url : foreign) EXPECT_EQ(run.Find(url), -1) << url;
    EXPECT_GE(run.Find("https://h/own.js"), 0);
    std::string expected = page;
    expected.replace(expected.find("https://h/own.js"), 16, "own.js");
    EXPECT_EQ(lines[0], expected);  // every foreign link as written
  }
  TJobRecord other = Copy();
  other.checkOtherServers = true;
  AnalysisRun run;
  run.Start(other, "https://h/index.html");
  const auto lines = run.Analyse(0, page);
  for (const char* url : foreign) EXPECT_GE(run.Find(url), 0) << url;
  for (const char* local : {"\"lib.js\"", "\"s.css\"", "\"f.html\"", "\"g.html\"", "URL=m.html"}) {
    EXPECT_NE(lines[0].find(local), std::string::npos) << local << " in " << lines[0];
  }
}

}  // namespace
}  // namespace kestrix
