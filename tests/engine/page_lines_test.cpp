#include "engine/page_lines.h"

#include <gtest/gtest.h>

#include <optional>

#include "engine/page_type.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::ReadWholeFile;
using test::TScratchDir;
using test::WriteFile;

// A page is rewritten over its own saved copy, which may be longer or
// shorter than the new text: nothing of the old bytes may survive, and an
// unchanged page keeps its line ends and its last line without a break.
TEST(PageLinesTest, RewriteReplacesTheSavedCopyExactly) {
  using TLines = std::vector<std::string>;
  struct Case {
    const char* name;
    std::string saved;
    std::optional<TLines> lines;  // none: saved as loaded
    const char* expected;         // null: the saved copy unchanged
    bool load = true;
  };
  const Case cases[] = {
      {"longer", "<a href=x>\n<b>\n", TLines{"<a href=\"x.html\">", "<b>"},
       "<a href=\"x.html\">\n<b>\n"},
      {"shorter", "<a href=\"very/long/target.html\">\r\nend", TLines{"<a href=t>", "end"},
       "<a href=t>\r\nend"},
      {"emptied", "<p>text</p>\n", TLines{}, ""},
      {"unchanged", "<html>\r\n<body>\r\n\r\nlast line without break", std::nullopt, nullptr},
      {"not loaded from the file", "a much longer saved copy\n", TLines{"new"}, "new", false},
      // Read a piece at a time: a line break split between two pieces.
      {"a break across pieces", std::string((1 << 20) - 1, 'a') + "\r\nb", std::nullopt, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TScratchDir dir;
    const std::string path = dir / "page.html";
    WriteFile(path, c.saved);
    TPageLines page;
    if (c.load) {
      ASSERT_TRUE(LoadPageLines(path, page));
    }
    if (c.lines) page.Lines = *c.lines;
    ASSERT_TRUE(SavePageLines(path, page));
    EXPECT_EQ(ReadWholeFile(path), c.expected ? c.expected : c.saved);
  }
  TScratchDir dir;
  TPageLines page;
  page.Lines = {"x"};
  EXPECT_FALSE(SavePageLines(dir / "missing/page.html", page))
      << "an unwritable folder is reported";
}

TEST(PageType, PagesAreTheTypesNamingHtmlOrText) {
  EXPECT_TRUE(IsHtmlType("text/html; charset=utf-8"));
  EXPECT_TRUE(IsHtmlType("application/xhtml+xml"));
  EXPECT_TRUE(IsHtmlType("TEXT/PLAIN"));
  EXPECT_FALSE(IsHtmlType("image/png"));
  EXPECT_FALSE(IsHtmlType(""));
}

}  // namespace
}  // namespace kestrix
