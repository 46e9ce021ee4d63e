// Resolving link scripts in the hidden page.
#include "browser/script_executor.h"
#include "browser/analysis_guard.h"
#include "core/offline_state.h"
#include "links/inert_script.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrix {
namespace {

class Executor : public ::testing::Test {
 protected:
  OfflineState offline_;
  TScriptExecutor executor_{offline_, nullptr};
};

TEST_F(Executor, StartsTheEngineOnlyWhenAPageIsLoaded) {
  EXPECT_FALSE(executor_.EngineStarted());
  EXPECT_FALSE(executor_.RunScript("window.open('a.htm')"));
  EXPECT_FALSE(executor_.EngineStarted());
  EXPECT_EQ(executor_.CurrentUrl(), "about:blank");
  executor_.LoadPage("<p>hi</p>");
  EXPECT_TRUE(executor_.EngineStarted());
}

TEST_F(Executor, CapturesWindowOpen) {
  executor_.LoadPage("<html><body><p>x</p></body></html>");
  ASSERT_TRUE(executor_.RunScript("window.open('a.htm')"));
  EXPECT_EQ(executor_.Kind(), TCaptureKind::Url);
  EXPECT_EQ(executor_.Result().Url, "a.htm");
  EXPECT_EQ(executor_.Result().Method, "");
  EXPECT_EQ(executor_.Result().Value, "");
}

TEST_F(Executor, CapturesAFormSubmittedFromScript) {
  executor_.LoadPage(
      "<form action='s.cgi' method='post'><input type='text' name='q' value='a b'></form>");
  ASSERT_TRUE(executor_.RunScript("document.forms[0].submit()"));
  EXPECT_EQ(executor_.Kind(), TCaptureKind::FormSubmit);
  EXPECT_EQ(executor_.Result().Url, "s.cgi");
  EXPECT_EQ(executor_.Result().Method, "post");
  EXPECT_EQ(executor_.Result().Value, "q=a+b");
}

TEST_F(Executor, CollectsFieldsByType) {
  executor_.LoadPage(R"(<form action="f.cgi" method="get">
    <input type="hidden" name="h" value="1">
    <input type="checkbox" name="c1" value="on1" checked>
    <input type="checkbox" name="c2" value="off">
    <input type="radio" name="r" value="x">
    <input type="radio" name="r" value="y" checked>
    <select name="one"><option value="o1">1</option><option value="o2" selected>2</option></select>
    <select name="many" multiple><option value="m1" selected>1</option><option value="m2">2</option>
      <option value="m3" selected>3</option></select>
    <select name="none" multiple><option value="n1">1</option></select>
    <textarea name="t">x&amp;y</textarea>
    <input type="button" name="b" value="skipped">
    <input type="text" value="no name">
    <input type="submit" name="go" value="Go!">
  </form>)");
  ASSERT_TRUE(executor_.RunScript("document.forms[0].submit()"));
  EXPECT_EQ(executor_.Result().Url, "f.cgi");
  EXPECT_EQ(executor_.Result().Value, "h=1&c1=on1&r=y&one=o2&many=m1&many=m3&t=x%26y&go=Go!");
}

TEST_F(Executor, EncodesLikeAFormDoes) {
  executor_.LoadPage("<p>x</p>");
  struct Case {
    const char* js;
    const char* want;
  };
  for (const Case& c :
       {Case{"'a&b=c~'", "a%26b%3Dc%7E"}, Case{"\"!$'()*-.@_ AZaz09\"", "!$'()*-.@_+AZaz09"},
        Case{"'\\u00e9/\\u20ac'", "%C3%A9%2F%E2%82%AC"}, Case{"'ab\\u0000cd'", "ab"}}) {
    ASSERT_TRUE(
        executor_.RunScript(std::string("window.open('=' + external.HTTPEncode(") + c.js + "))"))
        << c.js;
    EXPECT_EQ(executor_.Result().Url, std::string("=") + c.want) << c.js;
  }
}

TEST_F(Executor, CapturesNothingForAComputedValue) {
  executor_.LoadPage("<p>x</p>");
  EXPECT_FALSE(executor_.RunScript("var z = 1 + 2; z * 7"));
  EXPECT_EQ(executor_.Kind(), TCaptureKind::Nothing);
  EXPECT_EQ(executor_.Result().Url, "");
  EXPECT_FALSE(executor_.RunScript(""));
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

TEST_F(Executor, CapturesNavigationsRelativeToThePage) {
  executor_.LoadPage("<p>x</p>");
  struct Case {
    const char* code;
    const char* want;
  };
  for (const Case& c :
       {Case{"location.href = 'x/y.htm'", "x/y.htm"}, Case{"location = '../up.htm'", "../up.htm"},
        Case{"location.assign('/root.htm')", "/root.htm"}, Case{"location.replace('?q=1')", "?q=1"},
        Case{"location.href = 'http://other.example/p.htm'", "http://other.example/p.htm"},
        Case{"var a = document.createElement('a'); a.href = 'k.htm';"
             "document.body.appendChild(a); a.click()",
             "k.htm"},
        Case{"var a = document.createElement('a'); a.href = 'w.htm'; a.target = '_blank';"
             "document.body.appendChild(a); a.click()",
             "w.htm"}}) {
    ASSERT_TRUE(executor_.RunScript(c.code)) << c.code;
    EXPECT_EQ(executor_.Kind(), TCaptureKind::Url) << c.code;
    EXPECT_EQ(executor_.Result().Url, c.want) << c.code;
  }
  // Every navigation was refused: the page is still where it was loaded.
  EXPECT_FALSE(executor_.RunScript("location.reload()"));
  EXPECT_NE(executor_.CurrentUrl().find("~kx8/"), std::string::npos) << executor_.CurrentUrl();
}

TEST_F(Executor, ClearsOnlyAPageThatHoldsSomething) {
  executor_.LoadPage("<script>var mark = 1;</script>");
  executor_.ClearPage();
  const int loads = executor_.PageLoads();
  executor_.ClearPage();
  EXPECT_EQ(executor_.PageLoads(), loads) << "the page was blank already";
  ASSERT_TRUE(executor_.RunScript("window.open(typeof mark)"));
  EXPECT_EQ(executor_.Result().Url, "undefined");
  // Code run on the blank page may leave state behind; the next clear goes.
  EXPECT_FALSE(executor_.RunScript("var mark = 2"));
  executor_.ClearPage();
  EXPECT_EQ(executor_.PageLoads(), loads + 1);
  ASSERT_TRUE(executor_.RunScript("window.open(typeof mark)"));
  EXPECT_EQ(executor_.Result().Url, "undefined");
}

TEST_F(Executor, RunsHandlerCodeThatReturnsAsAFunctionBody) {
  executor_.LoadPage("<script>var n = 0;</script><p>x</p>");
  ASSERT_TRUE(executor_.RunScript("location = 'h.htm'; return false"));
  EXPECT_EQ(executor_.Result().Url, "h.htm");
  // Code that parsed and then threw, even a syntax error of its own making,
  // ran once and is not run again as a function.
  EXPECT_FALSE(executor_.RunScript("n++; throw new SyntaxError('late')"));
  EXPECT_FALSE(executor_.RunScript("n++; eval('(')"));
  ASSERT_TRUE(executor_.RunScript("window.open('n' + n + '.htm')"));
  EXPECT_EQ(executor_.Result().Url, "n2.htm");
  // Code that parses neither way does nothing.
  EXPECT_FALSE(executor_.RunScript("location = 'no.htm'; )"));
}

TEST_F(Executor, RunsAgainstThePageScriptsAndKeepsTheirState) {
  executor_.LoadPage(
      "<script>var n = 0; function go(p) { n++; location.href = p + n + '.htm'; }</script>"
      "<a href='javascript:go(\"p\")'>x</a>");
  ASSERT_TRUE(executor_.RunScript("go('p')"));
  EXPECT_EQ(executor_.Result().Url, "p1.htm");
  ASSERT_TRUE(executor_.RunScript("go('q')"));
  EXPECT_EQ(executor_.Result().Url, "q2.htm");
  // Pages with hundreds of script links get every one resolved.
  for (int i = 0; i < 250; ++i) {
    ASSERT_TRUE(executor_.RunScript("location.href = 'same.htm'")) << i;
  }
  EXPECT_EQ(executor_.Result().Url, "same.htm");
  EXPECT_EQ(executor_.PageText().substr(0, 8), "<script>");
}

TEST_F(Executor, CapturesWhatAScriptDoesThroughAFrame) {
  executor_.LoadPage("<p>x</p>");
  const std::string frame =
      "var f = document.createElement('iframe'); document.body.appendChild(f); ";
  ASSERT_TRUE(executor_.RunScript(frame + "f.contentWindow.open('n.htm')"));
  EXPECT_EQ(executor_.Result().Url, "n.htm");
  ASSERT_TRUE(executor_.RunScript(frame + "f.contentWindow.location.href = 'fr.htm'"));
  EXPECT_EQ(executor_.Result().Url, "fr.htm");
}

TEST_F(Executor, SurvivesScriptErrorsAndBoxes) {
  executor_.LoadPage("<script>alert('load'); confirm('sure?'); undefinedCall();</script>");
  EXPECT_FALSE(executor_.RunScript("noSuchFunction()"));
  EXPECT_FALSE(executor_.RunScript("this is not javascript"));
  EXPECT_FALSE(executor_.RunScript("alert('x'); prompt('y')"));
  ASSERT_TRUE(executor_.RunScript("if (confirm('go?')) window.open('yes.htm')"));
  EXPECT_EQ(executor_.Result().Url, "yes.htm");
}

TEST_F(Executor, KeepsTheLastTargetAndClearsBetweenRuns) {
  executor_.LoadPage("<p>x</p>");
  ASSERT_TRUE(executor_.RunScript("window.open('a.htm'); window.open('b.htm')"));
  EXPECT_EQ(executor_.Result().Url, "b.htm");
  ASSERT_TRUE(executor_.RunScript("window.open('c.htm'); location.href = 'd.htm'"));
  EXPECT_EQ(executor_.Result().Url, "d.htm");
  EXPECT_FALSE(executor_.RunScript("window.open('')"));
  EXPECT_EQ(executor_.Result().Url, "");
}

TEST_F(Executor, ClearPageKeepsThePageText) {
  executor_.LoadPage("<script>function go() { window.open('g.htm'); }</script>");
  ASSERT_TRUE(executor_.RunScript("go()"));
  executor_.ClearPage();
  EXPECT_FALSE(executor_.PageText().empty());
  EXPECT_FALSE(executor_.RunScript("go()"));
  executor_.LoadPage("<script>function go() { window.open('h.htm'); }</script>");
  ASSERT_TRUE(executor_.RunScript("go()"));
  EXPECT_EQ(executor_.Result().Url, "h.htm");
}

TEST_F(Executor, PageThatNavigatesWhileLoadingStaysPut) {
  executor_.LoadPage("<script>location.href = 'away.htm';</script><p>x</p>");
  ASSERT_TRUE(executor_.RunScript("window.open('still.htm')"));
  EXPECT_EQ(executor_.Result().Url, "still.htm");
}

TEST_F(Executor, SpeaksThePageEncoding) {
  struct Case {
    const char* charset;
    std::string letter;  // a Cyrillic "a" in that charset
  };
  for (const Case& c :
       {Case{"windows-1251", "\xE0"}, Case{"koi8-r", "\xC1"}, Case{"utf-8", "\xD0\xB0"}}) {
    const std::string page = std::string("<meta charset='") + c.charset +
                             "'><script>function go(s) { window.open(s + '" + c.letter +
                             ".htm'); }</script>";
    executor_.LoadPage(page);
    EXPECT_EQ(executor_.PageText(), page);
    // Code cut from the page's bytes; the target given back in them.
    ASSERT_TRUE(executor_.RunScript("go('" + c.letter + "')")) << c.charset;
    EXPECT_EQ(executor_.Result().Url, c.letter + c.letter + ".htm") << c.charset;
  }
}

}  // namespace
}  // namespace kestrix
