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

// One link's code after another, each against the page loaded last (a row
// with a page loads it first), so the page's own state carries over.
struct RunCase {
  const char* page;  // null: the page of the rows before
  std::string code;
  const char* url;  // null: nothing captured
  const char* method = "";
  const char* value = "";
};

const std::string kFrame =
    "var f = document.createElement('iframe'); document.body.appendChild(f); ";
const std::string kClick = "var a = document.createElement('a'); document.body.appendChild(a); ";
const std::string kEncode = "window.open('=' + external.HTTPEncode(";

const RunCase kRuns[] = {
    {"<html><body><p>x</p></body></html>", "window.open('a.htm')", "a.htm"},
    {nullptr, "var z = 1 + 2; z * 7", nullptr},
    {nullptr, "", nullptr},
    // The last target counts, and none is left over from the run before.
    {nullptr, "window.open('a.htm'); window.open('b.htm')", "b.htm"},
    {nullptr, "window.open('c.htm'); location.href = 'd.htm'", "d.htm"},
    {nullptr, "window.open('')", nullptr},
    // Navigations are given back as the script wrote them, not resolved.
    {nullptr, "location.href = 'x/y.htm'", "x/y.htm"},
    {nullptr, "location = '../up.htm'", "../up.htm"},
    {nullptr, "location.assign('/root.htm')", "/root.htm"},
    {nullptr, "location.replace('?q=1')", "?q=1"},
    {nullptr, "location.href = 'http://other.example/p.htm'", "http://other.example/p.htm"},
    {nullptr, kClick + "a.href = 'k.htm'; a.click()", "k.htm"},
    {nullptr, kClick + "a.href = 'w.htm'; a.target = '_blank'; a.click()", "w.htm"},
    {nullptr, kFrame + "f.contentWindow.open('n.htm')", "n.htm"},
    {nullptr, kFrame + "f.contentWindow.location.href = 'fr.htm'", "fr.htm"},
    {nullptr, "location.reload()", nullptr},
    // HTTPEncode keeps what a form keeps and encodes UTF-8 bytes; a NUL ends.
    {nullptr, kEncode + "'a&b=c~'))", "=a%26b%3Dc%7E"},
    {nullptr, kEncode + "\"!$'()*-.@_ AZaz09\"))", "=!$'()*-.@_+AZaz09"},
    {nullptr, kEncode + "'\\u00e9/\\u20ac'))", "=%C3%A9%2F%E2%82%AC"},
    {nullptr, kEncode + "'ab\\u0000cd'))", "=ab"},
    {"<form action='s.cgi' method='post'><input type='text' name='q' value='a b'></form>",
     "document.forms[0].submit()", "s.cgi", "post", "q=a+b"},
    {R"(<form action="f.cgi" method="get">
    <input type="hidden" name="h" value="1">
    <input type="checkbox" name="c1" value="on1" checked>
    <input type="checkbox" name="c2" value="off">
    <input type="radio" name="r" value="x"><input type="radio" name="r" value="y" checked>
    <select name="one"><option value="o1">1</option><option value="o2" selected>2</option></select>
    <select name="many" multiple><option value="m1" selected>1</option><option value="m2">2</option>
      <option value="m3" selected>3</option></select>
    <select name="none" multiple><option value="n1">1</option></select>
    <textarea name="t">x&amp;y</textarea>
    <input type="button" name="b" value="skipped"><input type="text" value="no name">
    <input type="submit" name="go" value="Go!"></form>)",
     "document.forms[0].submit()", "f.cgi", "get",
     "h=1&c1=on1&r=y&one=o2&many=m1&many=m3&t=x%26y&go=Go!"},
    // Errors and message boxes, while loading and in link code, stop nothing.
    {"<script>alert('load'); confirm('sure?'); undefinedCall();</script>", "noSuchFunction()",
     nullptr},
    {nullptr, "this is not javascript", nullptr},
    {nullptr, "alert('x'); prompt('y')", nullptr},
    {nullptr, "if (confirm('go?')) window.open('yes.htm')", "yes.htm"},
    {"<script>location.href = 'away.htm';</script><p>x</p>", "window.open('still.htm')",
     "still.htm"},
    // Handler code ending in "return" runs as a function body; code that
    // parsed and then threw, even a syntax error of its own, ran once only.
    {"<script>var n = 0;</script><p>x</p>", "location = 'h.htm'; return false", "h.htm"},
    {nullptr, "n++; throw new SyntaxError('late')", nullptr},
    {nullptr, "n++; eval('(')", nullptr},
    {nullptr, "window.open('n' + n + '.htm')", "n2.htm"},
    {nullptr, "location = 'no.htm'; )", nullptr},
    {"<script>var n = 0; function go(p) { n++; location.href = p + n + '.htm'; }</script>",
     "go('p')", "p1.htm"},
    {nullptr, "go('q')", "q2.htm"},
};

TEST_F(Executor, StartsTheEngineForAPageAndCapturesWhereLinkCodeGoes) {
  EXPECT_FALSE(executor_.RunScript("window.open('a.htm')"));
  EXPECT_FALSE(executor_.EngineStarted());
  EXPECT_EQ(executor_.CurrentUrl(), "about:blank");
  for (const RunCase& c : kRuns) {
    SCOPED_TRACE(c.code);
    if (c.page != nullptr) executor_.LoadPage(c.page);
    EXPECT_EQ(executor_.RunScript(c.code), c.url != nullptr);
    const TCaptureKind kind = c.url == nullptr ? TCaptureKind::Nothing
                              : *c.method == 0 ? TCaptureKind::Url
                                               : TCaptureKind::FormSubmit;
    EXPECT_EQ(executor_.Kind(), kind);
    EXPECT_EQ(executor_.Result().Url, c.url == nullptr ? "" : c.url);
    EXPECT_EQ(executor_.Result().Method, c.method);
    EXPECT_EQ(executor_.Result().Value, c.value);
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
