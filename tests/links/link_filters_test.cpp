#include "links/link_filters.h"

#include <gtest/gtest.h>

#include "core/retrive_rec.h"
#include "links/file_mask.h"
#include "links/html_items.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/links/masks.txt.
TEST(FileMaskTest, Table) {
  const auto rows = test::ReadRows("links/masks.txt");
  ASSERT_GE(rows.size(), 19u);
  for (const auto& r : rows)
    EXPECT_EQ(MatchesMask(r[1], r[0]), r[2] == "1") << r[1] << " vs " << r[0];
}

TEST(FileMaskTest, InvalidMasksNameThePosition) {
  EXPECT_EQ(MaskError("*.htm"), std::nullopt);
  EXPECT_EQ(MaskError("ab[cd"), "'ab[cd' is an invalid mask at (3)");
  const std::string many(31, '?');
  EXPECT_EQ(MaskError(std::string(30, '*')), std::nullopt);
  EXPECT_EQ(MaskError(many), "'" + many + "' is an invalid mask at (31)");
  EXPECT_THROW(MatchesMask("x", "[x"), TMaskError);
}

TEST(PatternListTest, RetrieveModeListsFailuresAndKeepsTheLastMask) {
  std::string mask = "old";
  std::string message;
  EXPECT_FALSE(MatchPatternList("a.php", "*.htm;*.html", TMatchMode::Retrieve, mask, message));
  EXPECT_EQ(message, " \"*.htm\" \"*.html\"");
  EXPECT_EQ(mask, "");
  message.clear();
  EXPECT_TRUE(MatchPatternList("run.cgi?x=1", " *.CGI*|*.html;*.x|*.y ", TMatchMode::Retrieve, mask,
                               message));
  EXPECT_EQ(mask, "*.html");
  EXPECT_EQ(message, "");
  mask = "kept";
  EXPECT_TRUE(MatchPatternList("x.gif", "*.jpg;*.gif;", TMatchMode::Ignore, mask, message));
  EXPECT_EQ(mask, "kept");
  EXPECT_EQ(message, " \"*.gif\"");
  EXPECT_FALSE(MatchPatternList("x", "", TMatchMode::Retrieve, mask, message));
  EXPECT_EQ(mask, "kept");
}

TEST(CheckFiltersTest, LocalAndRemoteListsApplyToTheirSide) {
  TJobRecord job;
  job.lclCheckRetriveFile = job.rmtCheckRetriveFile = true;
  job.lcleditRetriveFile = "*.htm;*.html";
  job.rmteditRetrieveFile = "*.gif";
  TRetriveRec local;
  local.Job = job;
  EXPECT_TRUE(CheckFilters("http://h/a.htm", "", kKindA, local, "index.html").Passed);
  EXPECT_TRUE(CheckFilters("http://h/B.HTML", "", kKindA, local, "index.html").Passed);
  // An empty file name is filtered under the default document's name.
  EXPECT_TRUE(CheckFilters("http://h/d/", "", kKindA, local, "index.html").Passed);
  EXPECT_FALSE(CheckFilters("http://h/d/", "", kKindA, local, "index.php").Passed);
  EXPECT_TRUE(CheckFilters("http://h/a.php", "", kKindFrame, local, "index.html").Passed);
  TRetriveRec remote = local;
  remote.RemoteFlag = 1;
  EXPECT_FALSE(CheckFilters("http://h/a.htm", "", kKindA, remote, "index.html").Passed);
}

TEST(CheckFiltersTest, LinkTextListsAndTheirMasks) {
  TJobRecord job;
  job.lclCheckRetriveFile = job.lclcheckRetrieveLink = job.lclcheckIgnoreLink = true;
  job.lcleditRetriveFile = "*|*.file";
  job.lcleditRetrieveLink = "?*|*.text";
  job.lcleditIgnoreLink = "*logout*";
  TRetriveRec c;
  c.Job = job;
  const TFilterOutcome ok = CheckFilters("http://h/x.cgi", "Next Page", kKindA, c, "index.html");
  EXPECT_TRUE(ok.Passed);
  EXPECT_EQ(ok.StoredMask, "*.text");  // the linked-text mask replaces the file one
  EXPECT_FALSE(CheckFilters("http://h/x.cgi", "", kKindA, c, "index.html").Passed);
  const TFilterOutcome out = CheckFilters("http://h/x.cgi", "LogOut now", kKindA, c, "index.html");
  EXPECT_FALSE(out.Passed);
  EXPECT_EQ(out.FilterMessage, " \"*logout*\"");
}

TEST(CheckJobPatternsTest, OnlyEnabledListsAreChecked) {
  TJobRecord job;
  job.rmteditIgnoreFile = "ok;[bad";
  EXPECT_EQ(CheckJobPatterns(job), std::nullopt);
  job.rmtCheckIgnoreFile = true;
  EXPECT_EQ(CheckJobPatterns(job), "'[bad' is an invalid mask at (1)");
}

}  // namespace
}  // namespace kestrix
