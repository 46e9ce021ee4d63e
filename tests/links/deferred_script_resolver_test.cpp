// Putting off the script resolver: placeholder code never makes it, the page
// reaches it only before the first script that runs, and clearing reaches it
// only for a page it was given.
#include "links/deferred_script_resolver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/inert_script.h"
#include "tests/links/analysis_fixture.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/links/inert_scripts.txt.
TEST(InertScript, KnowsOnlyCodeThatGoesNowhere) {
  const auto rows = test::ReadRows("links/inert_scripts.txt");
  ASSERT_GE(rows.size(), 16u);
  for (const auto& r : rows) EXPECT_EQ(IsInertScript(r[0]), r[1] == "1") << "'" << r[0] << "'";
}

TEST(DeferredScriptResolver, MakesTheResolverOnlyForCodeThatMayLeadSomewhere) {
  int made = 0;
  testing::ScriptedResolver* real = nullptr;
  DeferredScriptResolver resolver([&] {
    ++made;
    auto fake = std::make_unique<testing::ScriptedResolver>();
    fake->Answers = {{"go('a')", {"a", "", ""}}, {"go('b')", {"b", "", ""}}};
    real = fake.get();
    return fake;
  });
  resolver.LoadPage("page one");
  EXPECT_EQ(resolver.PageText(), "page one");
  EXPECT_FALSE(resolver.RunScript("void(0)"));
  EXPECT_FALSE(resolver.RunScript(""));
  resolver.ClearPage();
  EXPECT_EQ(made, 0);
  EXPECT_FALSE(resolver.Started());
  EXPECT_EQ(resolver.Kind(), TCaptureKind::Nothing);
  EXPECT_EQ(resolver.PageText(), "page one") << "clearing keeps the text";

  resolver.LoadPage("page two");
  ASSERT_TRUE(resolver.RunScript("go('a')"));
  EXPECT_EQ(resolver.Result().Url, "a");
  EXPECT_EQ(resolver.Kind(), TCaptureKind::Url);
  // Placeholder code on a loaded page still reports nothing of its own.
  EXPECT_FALSE(resolver.RunScript("history.back()"));
  EXPECT_EQ(resolver.Kind(), TCaptureKind::Nothing);
  EXPECT_EQ(resolver.Result().Url, "");
  ASSERT_TRUE(resolver.RunScript("go('b')"));
  resolver.ClearPage();
  resolver.LoadPage("page three");  // no script runs: never shown
  resolver.ClearPage();
  resolver.LoadPage("page four");
  EXPECT_FALSE(resolver.RunScript("nothing()"));
  EXPECT_EQ(made, 1);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(real->Events, (std::vector<std::string>{"load page two", "run go('a')", "run go('b')",
                                                    "clear", "load page four", "run nothing()"}));
}

TEST(DeferredScriptResolver, WithoutAResolverEveryScriptStaysUnresolved) {
  int made = 0;
  DeferredScriptResolver failing([&] {
    ++made;
    return std::unique_ptr<ScriptResolver>();
  });
  failing.LoadPage("p");
  EXPECT_FALSE(failing.RunScript("go('a')"));
  EXPECT_FALSE(failing.RunScript("go('b')"));
  failing.ClearPage();
  EXPECT_EQ(made, 1) << "a resolver that cannot be made is not asked for again";
  EXPECT_EQ(failing.Kind(), TCaptureKind::Nothing);

  DeferredScriptResolver none({});
  none.LoadPage("p");
  EXPECT_FALSE(none.RunScript("go('a')"));
  none.ClearPage();
}

}  // namespace
}  // namespace kestrix
