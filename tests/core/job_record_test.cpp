#include "core/job_record.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(JobRecordText, ParsingStopsAtTheFirstFieldThatDoesNotConvert) {
  const struct {
    const char* text;
    bool checkLocalize;
    bool checkReplicate;
    const char* editUrl;
  } cases[] = {
      // checkReplicate unreadable: checkLocalize kept, the rest default.
      {"P`u`1`x`1`1`1`0`1`1`1`9`", true, false, "u"},
      {"P`u`1`1`1`1`1`0`1`1`1``", true, true, "u"},
      {"P`u`", false, false, "u"},
      {"", false, false, ""},
      {"no separators here", false, false, ""},
      // A boolean takes the low byte of its number: 256 is false, 257 true.
      {"P`u`256`257`", false, true, "u"},
  };
  for (const auto& c : cases) {
    TJobRecord back;
    ParseJobRecordText(c.text, "Asked", back);
    EXPECT_EQ(back.checkLocalize, c.checkLocalize) << c.text;
    EXPECT_EQ(back.checkReplicate, c.checkReplicate) << c.text;
    EXPECT_EQ(back.editUrl, c.editUrl) << c.text;
    EXPECT_EQ(back.editDepth, 1) << c.text;
    EXPECT_EQ(back.ProjectName, "Asked") << c.text;
  }
}

}  // namespace
}  // namespace kestrix
