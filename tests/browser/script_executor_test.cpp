// Resolving link scripts in the hidden page.
#include "browser/script_executor.h"
#include "browser/analysis_guard.h"
#include "core/offline_state.h"
#include "links/inert_script.h"
#include "tests/support/case_file.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrix {
namespace {

class Executor : public ::testing::Test {
 protected:
  OfflineState offline_;
  TScriptExecutor executor_{offline_, nullptr};
};

TEST_F(Executor, StartsTheEngineForAPageAndCapturesWhereLinkCodeGoes) {
  EXPECT_FALSE(executor_.RunScript("window.open('a.htm')"));
  EXPECT_FALSE(executor_.EngineStarted());
  EXPECT_EQ(executor_.CurrentUrl(), "about:blank");
  // One link's code after another: the runs of
  // tests/fixtures/browser/script_runs.txt.
  const auto runs = test::ReadCases("browser/script_runs.txt");
  ASSERT_GE(runs.size(), 30u);
  for (const test::CaseRecord& run : runs) {
    const std::string code = run.Get("code"), url = run.Get("url"), method = run.Get("method");
    SCOPED_TRACE(code);
    if (!run.All("page").empty()) {
      executor_.LoadPage(run.Text("page"));
      EXPECT_EQ(executor_.PageText(), run.Text("page"));
    }
    EXPECT_EQ(executor_.RunScript(code), !url.empty());
    const TCaptureKind kind = url.empty()      ? TCaptureKind::Nothing
                              : method.empty() ? TCaptureKind::Url
                                               : TCaptureKind::FormSubmit;
    EXPECT_EQ(executor_.Kind(), kind);
    EXPECT_EQ(executor_.Result().Url, url);
    EXPECT_EQ(executor_.Result().Method, method);
    EXPECT_EQ(executor_.Result().Value, run.Get("value"));
  }
  EXPECT_TRUE(executor_.EngineStarted());
  // Pages with hundreds of script links get every one resolved.
  for (int i = 0; i < 250; ++i) {
    ASSERT_TRUE(executor_.RunScript("location.href = 'same.htm'")) << i;
  }
  // Every navigation was refused: the page is still where it was loaded.
  EXPECT_NE(executor_.CurrentUrl().find("~kx8/"), std::string::npos) << executor_.CurrentUrl();
}

// Link code that is never run because it is seen to go nowhere must go
// nowhere when it is run, with pages before it in the page's history too.
TEST_F(Executor, PlaceholderCodeKnownToGoNowhereCapturesNothing) {
  executor_.LoadPage("<p>first</p>");
  executor_.ClearPage();
  executor_.LoadPage("<p>second</p>");
  for (const char* code :
       {"void(0)", "void 0", "void(null)", "history.back()", "history.go(-1)",
        "window.history.back()", "history.forward()", "void(0); history.back();"}) {
    ASSERT_TRUE(IsInertScript(code)) << code;
    EXPECT_FALSE(executor_.RunScript(code)) << code;
    EXPECT_EQ(executor_.Kind(), TCaptureKind::Nothing) << code;
  }
  ASSERT_TRUE(executor_.RunScript("window.open('still.htm')")) << "the page is still loaded";
  EXPECT_EQ(executor_.Result().Url, "still.htm");
}

TEST_F(Executor, ClearsOnlyAPageThatHoldsSomethingAndKeepsItsText) {
  executor_.LoadPage("<script>var mark = 1; function go() { window.open('g.htm'); }</script>");
  ASSERT_TRUE(executor_.RunScript("go()"));
  executor_.ClearPage();
  EXPECT_FALSE(executor_.PageText().empty());
  const int loads = executor_.PageLoads();
  executor_.ClearPage();
  EXPECT_EQ(executor_.PageLoads(), loads) << "the page was blank already";
  ASSERT_TRUE(executor_.RunScript("window.open(typeof mark)"));
  EXPECT_EQ(executor_.Result().Url, "undefined");
  EXPECT_FALSE(executor_.RunScript("go()"));
  // Code run on the blank page may leave state behind; the next clear goes.
  EXPECT_FALSE(executor_.RunScript("var mark = 2"));
  executor_.ClearPage();
  EXPECT_EQ(executor_.PageLoads(), loads + 1);
  ASSERT_TRUE(executor_.RunScript("window.open(typeof mark)"));
  EXPECT_EQ(executor_.Result().Url, "undefined");
}

}  // namespace
}  // namespace kestrix
