#include "core/job_record.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrix {
namespace {

TEST(JobRecordText, DefaultRecordHas36SeparatorsInTheStoredOrder) {
  TJobRecord record;
  InitJobRecord(record);
  record.ProjectName = "Site";
  record.editUrl = "http://example.test/";
  const std::string text = JobRecordToText(record);
  EXPECT_EQ(
      text,
      "Site`http://example.test/`0`0`0`0`0`1`0`0`0`1`0`0`0`0`0`````0`0`0`1`0`0`0`0`0`````1`0`");
  EXPECT_EQ(std::count(text.begin(), text.end(), '`'), 36);
  TJobRecord back;
  ParseJobRecordText(text, "Site", back);
  EXPECT_EQ(back, record);
}

TEST(JobRecordText, EveryFieldRoundTrips) {
  TJobRecord r;
  r.ProjectName = "P";
  r.editUrl = "http://h:81/a?b=c";
  r.checkLocalize = true;
  r.checkAddHtmExt = false;
  r.checkLinkToUrl = true;
  r.checkReplicate = true;
  r.checkLoadScript = true;
  r.checkLoadEmbed = true;
  r.checkLoadStyle = true;
  r.radioThisPath = false;
  r.radioThisServer = true;
  r.checkOtherServers = true;
  r.checkLoadImg = true;
  r.editDepth = -3;
  r.lclcheckKoi8 = true;
  r.lclCheckRetriveFile = true;
  r.lclCheckIgnoreFile = true;
  r.lclcheckRetrieveLink = true;
  r.lclcheckIgnoreLink = true;
  r.lcleditRetriveFile = "*.html;*.htm";
  r.lcleditRetrieveLink = "next=";
  r.lcleditIgnoreFile = "*.zip";
  r.lcleditIgnoreLink = "logout";
  r.radioRmtThisPath = true;
  r.radioRmtThisServer = true;
  r.checkRmtLoadImg = true;
  r.EditRmtDepth = 2147483647;
  r.rmtcheckKoi8 = true;
  r.rmtCheckRetriveFile = true;
  r.rmtCheckIgnoreFile = true;
  r.rmtcheckRetrieveLink = true;
  r.rmtcheckIgnoreLink = true;
  r.rmteditRetrieveFile = "a";
  r.rmteditRetrieveLink = "b";
  r.rmteditIgnoreFile = "c";
  r.rmteditIgnoreLink = "d";
  TJobRecord back;
  ParseJobRecordText(JobRecordToText(r), "Other", back);
  EXPECT_EQ(back, r);
}

TEST(JobRecordText, ShortTextKeepsDefaultsForTheMissingFieldsAndTakesTheAskedProject) {
  TJobRecord r;
  r.ProjectName = "Stored";
  r.checkAddHtmExt = false;
  r.checkLinkToUrl = true;
  r.editDepth = 4;
  std::string text = JobRecordToText(r);
  // Drop the last two fields (checkAddHtmExt, checkLinkToUrl): 34 remain.
  text.resize(text.size() - 4);
  ASSERT_EQ(std::count(text.begin(), text.end(), '`'), 34);
  TJobRecord back;
  ParseJobRecordText(text, "Asked", back);
  EXPECT_TRUE(back.checkAddHtmExt);
  EXPECT_FALSE(back.checkLinkToUrl);
  EXPECT_EQ(back.editDepth, 4);
  EXPECT_EQ(back.ProjectName, "Asked");
}

TEST(JobRecordText, ParsingStopsAtTheFirstFieldThatDoesNotConvert) {
  const struct {
    const char* text;
    bool checkLocalize;
    bool checkReplicate;
    int editDepth;
    const char* project;
  } cases[] = {
      // checkReplicate unreadable: checkLocalize kept, the rest default.
      {"P`u`1`x`1`1`1`0`1`1`1`9`", true, false, 1, "Asked"},
      {"P`u`1`1`1`1`1`0`1`1`1``", true, true, 1, "Asked"},
      {"P`u`", false, false, 1, "Asked"},
      {"", false, false, 1, "Asked"},
      // A boolean takes the low byte of its number: 256 is false, 257 true.
      {"P`u`256`257`", false, true, 1, "Asked"},
  };
  for (const auto& c : cases) {
    TJobRecord back;
    ParseJobRecordText(c.text, "Asked", back);
    EXPECT_EQ(back.checkLocalize, c.checkLocalize) << c.text;
    EXPECT_EQ(back.checkReplicate, c.checkReplicate) << c.text;
    EXPECT_EQ(back.editDepth, c.editDepth) << c.text;
    EXPECT_EQ(back.ProjectName, c.project) << c.text;
  }
}

TEST(JobRecordText, TextWithoutAnySeparatorLeavesStringsEmpty) {
  TJobRecord back;
  ParseJobRecordText("no separators here", "Asked", back);
  EXPECT_EQ(back.editUrl, "");
  EXPECT_EQ(back.ProjectName, "Asked");
}

}  // namespace
}  // namespace kestrix
