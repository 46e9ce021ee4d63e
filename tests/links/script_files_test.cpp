#include "links/script_files.h"

#include <gtest/gtest.h>

#include "tests/links/analysis_fixture.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;
using Strings = std::vector<std::string>;

TEST(ScriptFilesTest, OnlyStringsThatPlainlyNameAPagePart) {
  const std::string script =
      "Search.loadIndex(\"searchindex.js\"); // it's \"no.js\" in a comment\n"
      "var a = ['_static/img/a.PNG', \"/fonts/f.woff2?v=1\", 'https:\\/\\/h\\/d\\/data.json'];\n"
      "/* 'no2.css' */ var t = \"text/css\", e = \".png\", s = \"Built with Node .js\";\n"
      "var h = '<img src=\"x.png\">', m = `${root}/m.js`, p = root + \"/p.js\";\n"
      "var o = \"//cdn.o/lib.js\", d = \"data:x.png\", q = 'page.html', r = \"searchindex.js\";\n"
      "var broken = 'it\\'s', w = \"a.gif\";\n"
      "var u = 'unclosed.js\n";
  EXPECT_EQ(FindScriptNamedFiles(script, 100),
            (Strings{"searchindex.js", "_static/img/a.PNG", "/fonts/f.woff2?v=1",
                     "https://h/d/data.json", "//cdn.o/lib.js", "a.gif"}));
  EXPECT_EQ(FindScriptNamedFiles(script, 2), (Strings{"searchindex.js", "_static/img/a.PNG"}));
}

TEST(ScriptFilesTest, BoundedPerScriptAndPerPage) {
  std::string page;
  for (int s = 0; s < 5; ++s) {
    page += "<script>";
    for (int n = 0; n < 20; ++n)
      page += "f('s" + std::to_string(s) + "_" + std::to_string(n) + ".js');";
    page += "</script>\n";
  }
  AnalysisRun run;
  run.Start(testing::JobOf("bare img style script"), "http://h/a/p.html");
  run.Analyse(0, page);
  const Strings queued = run.Queued();
  ASSERT_EQ(queued.size(), static_cast<size_t>(kMaxScriptFilesPerPage));
  EXPECT_EQ(queued[kMaxFilesPerScript - 1], "http://h/a/s0_15.js");
  EXPECT_EQ(queued[kMaxFilesPerScript], "http://h/a/s1_0.js");
}

// A saved script names files relative to the page that runs it.
TEST(ScriptFilesTest, ASavedScriptFileIsReadForThePageThatRunsIt) {
  AnalysisRun run;
  run.Start(testing::JobOf("bare img style script"), "http://h/docs/search.html");
  EXPECT_EQ(AnalyseScriptFile("load('searchindex.js', \"../x/other.json\");", run.At(0), 0,
                              run.Target, run.Resolver),
            std::nullopt);
  EXPECT_EQ(run.Queued(), (Strings{"http://h/docs/searchindex.js", "http://h/x/other.json"}));
}

}  // namespace
}  // namespace kestrix
