#include "engine/page_lines.h"

#include <gtest/gtest.h>

#include "tests/core/scratch_folder.h"

namespace kestrix {
namespace {

using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

// A page is rewritten over its own saved copy, which may be longer or
// shorter than the new text: nothing of the old bytes may survive.
TEST(PageLinesTest, RewriteReplacesTheSavedCopyExactly) {
  struct Case {
    const char* name;
    std::string saved;
    std::vector<std::string> lines;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"longer", "<a href=x>\n<b>\n", {"<a href=\"x.html\">", "<b>"}, "<a href=\"x.html\">\n<b>\n"},
      {"shorter",
       "<a href=\"very/long/target.html\">\r\nend",
       {"<a href=t>", "end"},
       "<a href=t>\r\nend"},
      {"emptied", "<p>text</p>\n", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder dir;
    const std::string path = dir / "page.html";
    WriteFile(path, c.saved);
    TPageLines page;
    ASSERT_TRUE(LoadPageLines(path, page));
    page.Lines = c.lines;
    ASSERT_TRUE(SavePageLines(path, page));
    EXPECT_EQ(ReadFile(path), c.expected);
  }
}

TEST(PageLinesTest, PageNotLoadedFromTheFileStillReplacesItWhole) {
  ScratchFolder dir;
  const std::string path = dir / "page.html";
  WriteFile(path, "a much longer saved copy\n");
  TPageLines page;
  page.Lines = {"new"};
  ASSERT_TRUE(SavePageLines(path, page));
  EXPECT_EQ(ReadFile(path), "new");
}

TEST(PageLinesTest, UnchangedPageIsSavedUnchanged) {
  ScratchFolder dir;
  const std::string path = dir / "page.html";
  const std::string text = "<html>\r\n<body>\r\n\r\nlast line without break";
  WriteFile(path, text);
  TPageLines page;
  ASSERT_TRUE(LoadPageLines(path, page));
  ASSERT_TRUE(SavePageLines(path, page));
  EXPECT_EQ(ReadFile(path), text);
}

TEST(PageLinesTest, UnwritableFolderIsReported) {
  ScratchFolder dir;
  TPageLines page;
  page.Lines = {"x"};
  EXPECT_FALSE(SavePageLines(dir / "missing/page.html", page));
}

}  // namespace
}  // namespace kestrix
