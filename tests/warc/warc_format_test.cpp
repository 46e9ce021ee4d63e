// The pure pieces of the archive format: index keys, digests, following an
// HTTP message on the wire, and the index sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>

#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"
#include "warc/cdxj.h"
#include "warc/http_message_scan.h"
#include "warc/sha1_digest.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/warc/format.txt.
TEST(SurtKey, MatchesTheReplayToolsForm) {
  const auto rows = test::ReadRows("warc/format.txt", "surt");
  ASSERT_GE(rows.size(), 8u);
  for (const auto& r : rows) EXPECT_EQ(SurtKey(r[0]), r[1]) << r[0];
}

// What JSON text cannot hold as it is is escaped in an index line.
TEST(CdxjLine, EscapesQuotesBackslashesAndControlBytes) {
  const std::string line =
      CdxjLine({"http://h/a\\b\"c\x01", "20261207120000", "", 0, "", 5, 9, "f.warc.gz"});
  EXPECT_TRUE(line.ends_with(
      R"( 20261207120000 {"url":"http://h/a\\b\"c\u0001","length":"9","offset":"5","filename":"f.warc.gz"})"
      "\n"))
      << line;
}

TEST(Sha1Digest, IsNamedInBase32) {
  const auto rows = test::ReadRows("warc/format.txt", "sha1");
  ASSERT_GE(rows.size(), 2u);
  for (const auto& r : rows) {
    TSha1Digest digest;
    for (char byte : r[0]) digest.Update(&byte, 1);
    EXPECT_EQ(digest.Label(), r[1]) << r[0];
  }
}

std::string LabelOf(const std::string& payload) {
  TSha1Digest digest;
  digest.Update(payload);
  return digest.Label();
}

TEST(HttpMessageScan, FollowsTheFramingToThePayload) {
  const auto rows = test::ReadRows("warc/format.txt", "scan");
  ASSERT_GE(rows.size(), 9u);
  for (const auto& r : rows) {
    // Whole, and a byte at a time: framing may straddle any two pieces.
    for (const bool bytewise : {false, true}) {
      THttpMessageScan scan;
      if (bytewise) {
        for (char byte : r[0]) scan.Feed(&byte, 1);
      } else {
        scan.Feed(r[0]);
      }
      SCOPED_TRACE(r[0] + (bytewise ? ", bytewise" : ""));
      EXPECT_EQ(scan.Status(), std::stoi(r[1]));
      EXPECT_EQ(scan.PayloadDigest(), r[2] == "-" ? std::nullopt : std::optional(LabelOf(r[2])));
      EXPECT_EQ(scan.BodyShort(), r[3] == "1");
    }
  }
}

TEST(SortLines, MergesRunsWhenTheInputExceedsTheBudget) {
  test::TScratchDir folder;
  std::mt19937 random(7);
  std::vector<std::string> lines;
  for (int i = 0; i < 2000; ++i) lines.push_back("key" + std::to_string(random() % 100000) + "\n");
  std::string text, expected;
  for (const std::string& line : lines) text += line;
  std::sort(lines.begin(), lines.end());
  for (const std::string& line : lines) expected += line;
  test::WriteFile(folder / "in", text);
  for (const std::size_t budget : {std::size_t{1} << 20, std::size_t{2000}}) {
    std::string error;
    ASSERT_TRUE(SortLines(folder / "in", folder / "out", budget, error)) << error;
    EXPECT_EQ(test::ReadWholeFile(folder / "out"), expected) << budget;
  }
  // Run files do not stay behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

}  // namespace
}  // namespace kestrix
