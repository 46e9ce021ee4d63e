#include "links/css_links.h"

#include <gtest/gtest.h>

#include "links/html_items.h"
#include "tests/links/analysis_fixture.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

using testing::AnalysisRun;
using testing::SplitLines;
using Strings = std::vector<std::string>;

// The references of each style text of tests/fixtures/links/css_refs.txt.
TEST(FindCssRefsTest, Forms) {
  const auto rows = test::ReadRows("links/css_refs.txt");
  ASSERT_GE(rows.size(), 12u);
  for (const auto& row : rows) {
    Strings refs;
    for (const TCssRef& ref : FindCssRefs(SplitLines(row[0])))
      refs.push_back((ref.Import ? "@" : "") + ref.Link);
    EXPECT_EQ(refs, Strings(row.begin() + 1, row.end())) << row[0];
  }
}

// The rows of tests/fixtures/links/style_sheets.txt.
TEST(IsStyleSheetTest, ByKindPathAndContent) {
  const auto rows = test::ReadRows("links/style_sheets.txt");
  ASSERT_GE(rows.size(), 7u);
  for (const auto& r : rows) {
    TRetriveRec entry;
    entry.Job.editUrl = r[0];
    if (r[1] == "1") entry.LinkKind = kKindLink;
    EXPECT_EQ(IsStyleSheet(entry, SplitLines(r[2])), r[3] == "1") << r[2];
  }
}

// A sheet linked from a page: what it names is queued as its children, at
// its own depth. What a sheet queues and how it is rewritten are records of
// tests/fixtures/links/pages.txt.
TEST(StyleSheetAnalysisTest, QueuesImagesAndImportsWithoutSpendingDepth) {
  AnalysisRun run;
  run.Start(testing::JobOf("bare depth=2 img style"), "http://h/a/start.html");
  run.Analyse(0, "<link rel=\"stylesheet\" href=\"css/site.css\">");
  const int32_t sheet = run.Find("http://h/a/css/site.css");
  ASSERT_GE(sheet, 0);
  run.NamePage(sheet);
  run.Analyse(sheet,
              "body { background: url(../img/bg.png) }\n"
              ".hero { background-image: url(\"/top.gif#x\") }\n"
              "@import \"more.css\";\n"
              "i { b: url(http://h/abs.png); c: url(mailto:x@h); d: url(data:,x) }");
  EXPECT_EQ(run.Queued(),
            (Strings{"http://h/a/css/site.css", "http://h/a/img/bg.png", "http://h/top.gif",
                     "http://h/a/css/more.css", "http://h/abs.png"}));
  for (int32_t i = sheet + 1; i < run.State.Queue.Count(); ++i) {
    SCOPED_TRACE(run.At(i).Job.editUrl);
    EXPECT_EQ(run.At(i).LinkKind, run.At(i).Job.editUrl.ends_with(".css") ? kKindLink : kKindImg);
    EXPECT_EQ(run.At(i).ParentIndex, sheet);
    EXPECT_EQ(run.At(i).Job.editDepth, run.At(sheet).Job.editDepth);
  }
}

}  // namespace
}  // namespace kestrix
