#include "core/job_record.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

TEST(JobRecordText, DefaultRecordHas37SeparatorsInTheStoredOrder) {
  TJobRecord record;
  InitJobRecord(record);
  record.ProjectName = "Site";
  record.editUrl = "http://example.test/";
  const std::string text = JobRecordToText(record);
  EXPECT_EQ(
      text,
      "Site`http://example.test/`0`0`0`0`0`1`0`0`0`1`0`0`0`0`0`````0`0`0`1`0`0`0`0`0`````1`0`0`");
  TJobRecord back;
  ParseJobRecordText(text, "Site", back);
  EXPECT_EQ(back, record);
}

// Every field differs from its default, so a field the parser skips or
// misplaces shows up when the record is written back.
TEST(JobRecordText, EveryFieldRoundTrips) {
  const std::string text =
      "P`http://h:81/a?b=c`1`1`1`1`1`0`1`1`1`-3`1`1`1`1`1`*.html;*.htm`next=`*.zip`logout`"
      "1`1`1`1000000`1`1`1`1`1`a`b`c`d`0`1`1`";
  TJobRecord back;
  ParseJobRecordText(text, "Other", back);
  EXPECT_EQ(JobRecordToText(back), text);
  EXPECT_EQ(back.ProjectName, "P");
  EXPECT_EQ(back.editDepth, -3);
  EXPECT_EQ(back.lcleditIgnoreFile, "*.zip");
  EXPECT_EQ(back.rmteditIgnoreLink, "d");
  EXPECT_FALSE(back.checkAddHtmExt);
  EXPECT_TRUE(back.checkRecordWarc);
  // A depth no one means would overflow a remote link's budget.
  std::string deep = text;
  deep.replace(deep.find("`1000000`"), 9, "`2147483647`");
  ParseJobRecordText(deep, "Other", back);
  EXPECT_EQ(back.EditRmtDepth, kMaxJobDepth);
}

TEST(JobRecordText, ShortTextKeepsDefaultsForTheMissingFieldsAndTakesTheAskedProject) {
  TJobRecord r;
  r.ProjectName = "Stored";
  r.checkAddHtmExt = false;
  r.checkLinkToUrl = true;
  r.editDepth = 4;
  r.checkRecordWarc = true;
  std::string text = JobRecordToText(r);
  // Drop the last three fields (checkAddHtmExt, checkLinkToUrl, checkRecordWarc): 34 remain.
  text.resize(text.size() - 6);
  ASSERT_EQ(std::count(text.begin(), text.end(), '`'), 34);
  TJobRecord back;
  ParseJobRecordText(text, "Asked", back);
  EXPECT_TRUE(back.checkAddHtmExt);
  EXPECT_FALSE(back.checkLinkToUrl);
  EXPECT_FALSE(back.checkRecordWarc);
  EXPECT_EQ(back.editDepth, 4);
  EXPECT_EQ(back.ProjectName, "Asked");
}

// The "jobtext" rows of tests/fixtures/core/settings.txt.
TEST(JobRecordText, ParsingStopsAtTheFirstFieldThatDoesNotConvert) {
  const auto rows = test::ReadRows("core/settings.txt", "jobtext");
  ASSERT_GE(rows.size(), 6u);
  for (const auto& r : rows) {
    TJobRecord back;
    ParseJobRecordText(r[0], "Asked", back);
    EXPECT_EQ(back.checkLocalize, r[1] == "1") << r[0];
    EXPECT_EQ(back.checkReplicate, r[2] == "1") << r[0];
    EXPECT_EQ(back.editUrl, r[3]) << r[0];
    EXPECT_EQ(back.editDepth, 1) << r[0];
    EXPECT_EQ(back.ProjectName, "Asked") << r[0];
  }
}

}  // namespace
}  // namespace kestrix
