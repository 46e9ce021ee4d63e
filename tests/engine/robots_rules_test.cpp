// robots.txt as major crawlers read it, what a failed fetch of it means, and
// the copy kept for the next run.
#include "engine/robots_rules.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/robots_cache.h"
#include "engine/robots_outcome.h"
#include "tests/support/case_file.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

TEST(RobotsRules, TheLongestMatchDecidesAndAllowWinsATie) {
  const TRobotsRules rules =
      TRobotsRules::Parse(test::ReadRows("engine/politeness.txt", "robots-site").at(0).at(0));
  const auto rows = test::ReadRows("engine/politeness.txt", "robots-path");
  ASSERT_GE(rows.size(), 20u);
  for (const auto& row : rows) EXPECT_EQ(rules.Allowed(row[0]), row[1] == "yes") << row[0];
  EXPECT_EQ(rules.CrawlDelay(), 2.5);
}

TEST(RobotsRules, OurGroupIsChosenByProductTokenElseTheStarGroups) {
  const auto rows = test::ReadRows("engine/politeness.txt", "robots-group");
  ASSERT_GE(rows.size(), 9u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0]);
    const TRobotsRules rules = TRobotsRules::Parse(row[0]);
    EXPECT_EQ(rules.Allowed(row[1]), row[2] == "yes") << row[1];
    EXPECT_EQ(rules.CrawlDelay(),
              row[3] == "-" ? std::nullopt : std::optional<double>(std::stod(row[3])));
  }
  EXPECT_FALSE(TRobotsRules::DisallowAll().Allowed("/x"));
  EXPECT_TRUE(TRobotsRules::DisallowAll().Allowed("/robots.txt"));
}

TEST(RobotsRules, ReadsNoFurtherThanTheSizeBound) {
  std::string text = "User-agent: *\nDisallow: /early\n";
  // The bound falls inside the last line, after "Disallow: /la".
  text += std::string(kMaxRobotsBytes - text.size() - 14, '#') + "\nDisallow: /late-and-cut\n";
  const TRobotsRules rules = TRobotsRules::Parse(text);
  EXPECT_FALSE(rules.Allowed("/early"));
  EXPECT_TRUE(rules.Allowed("/late-and-cut"));
  EXPECT_TRUE(rules.Allowed("/late"));
  // Many stars cost no backtracking.
  std::string stars = "User-agent: *\nDisallow: /";
  for (int i = 0; i < 20000; ++i) stars += "a*";
  stars += "b$\n";
  EXPECT_TRUE(TRobotsRules::Parse(stars).Allowed("/" + std::string(2000, 'a')));
}

TEST(RobotsFetchOutcome, FollowsWhatMajorCrawlersDo) {
  const std::map<std::string, TRobotsAction> actions = {
      {"Parse", TRobotsAction::Parse},
      {"Follow", TRobotsAction::Follow},
      {"AllowAll", TRobotsAction::AllowAll},
      {"RetryLater", TRobotsAction::RetryLater},
      {"Unreachable", TRobotsAction::Unreachable}};
  const auto rows = test::ReadRows("engine/politeness.txt", "robots-fetch");
  ASSERT_GE(rows.size(), 12u);
  for (const auto& row : rows) {
    SCOPED_TRACE(row[0] + " " + row[2]);
    const auto retryAfter =
        row[3] == "-" ? std::nullopt : std::optional<std::chrono::seconds>(std::stoi(row[3]));
    const TRobotsOutcome outcome =
        RobotsFetchOutcome(std::stoi(row[0]), std::stoi(row[1]), std::stoi(row[2]), retryAfter);
    EXPECT_EQ(outcome.Action, actions.at(row[4]));
    EXPECT_EQ(outcome.RetryIn, std::chrono::seconds(std::stoi(row[5])));
  }
}

TEST(RobotsCache, KeepsTheAnswerForADayInAHiddenFolder) {
  test::TScratchDir dir;
  const std::string path = RobotsCachePath(dir.Path(), "proj", "HTTPS", "[::1]", "");
  EXPECT_EQ(path, dir.Path() + "proj/.robots/https____1__443.txt");
  EXPECT_EQ(RobotsCachePath("/d/", "p", "http", "Example.COM", "8080"),
            "/d/p/.robots/http_example.com_8080.txt");

  const TRobotsCacheEntry entry{1'700'000'000, 200, "User-agent: *\nDisallow: /x\n\nend"};
  ASSERT_TRUE(SaveRobotsCache(path, entry));
  const std::optional<TRobotsCacheEntry> loaded = LoadRobotsCache(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(*loaded, entry);
  EXPECT_FALSE(RulesOf(*loaded).Allowed("/x"));
  EXPECT_TRUE(RulesOf({1, 404, "User-agent: *\nDisallow: /\n"}).Allowed("/x"));

  EXPECT_TRUE(IsFreshRobotsCache(entry, entry.FetchedAt));
  EXPECT_TRUE(IsFreshRobotsCache(entry, entry.FetchedAt + kRobotsCacheTrustSeconds - 1));
  EXPECT_FALSE(IsFreshRobotsCache(entry, entry.FetchedAt + kRobotsCacheTrustSeconds));
  EXPECT_FALSE(IsFreshRobotsCache(entry, entry.FetchedAt - 1));  // from the future

  for (const char* bad : {"", "kestrix-robots 1\nfetched x\nstatus 200\n\n",
                          "kestrix-robots 1\nfetched 1\nstatus 200\nbody", "User-agent: *\n"}) {
    EXPECT_FALSE(DecodeRobotsCache(bad)) << bad;
  }
  EXPECT_FALSE(LoadRobotsCache(dir / "missing.txt"));
}

}  // namespace
}  // namespace kestrix
