// robots.txt as major crawlers read it, what a failed fetch of it means, and
// the copy kept for the next run.
#include "engine/robots_rules.h"

#include <gtest/gtest.h>

#include "engine/robots_cache.h"
#include "engine/robots_outcome.h"
#include "tests/core/scratch_folder.h"

namespace kestrix {
namespace {

const char* const kSite =
    "\xEF\xBB\xBF# a comment line\r\n"
    "Sitemap: http://h/sitemap.xml\r\n"
    "Disallow: /before-any-group\r\n"
    "\r\n"
    "User-agent: OtherBot\r\n"
    "Disallow: /\r\n"
    "\r\n"
    "User-agent: *\r\n"
    "Disallow: /private/   # trailing comment\r\n"
    "Allow: /private/open\r\n"
    "Disallow: /*.pdf$\r\n"
    "Disallow: /search*q=\r\n"
    "Disallow: /%7Ejoe/\r\n"
    "Disallow: /caf\xC3\xA9\r\n"
    "Disallow: nolead\r\n"
    "Disallow:\r\n"
    "Allow: /same\r\n"
    "Disallow: /same\r\n"
    "Crawl-delay: 2.5\r\n"
    "Unknown-field: whatever\r\n"
    "no colon here\r\n";

TEST(RobotsRules, TheLongestMatchDecidesAndAllowWinsATie) {
  const TRobotsRules rules = TRobotsRules::Parse(kSite);
  const struct {
    const char* path;
    bool allowed;
  } cases[] = {
      {"/", true},
      {"", true},
      {"/before-any-group", true},
      {"/private", true},
      {"/private/", false},
      {"/private/x?y", false},
      {"/private/open", true},
      {"/private/openings", true},  // a pattern is a prefix
      {"/a/b.pdf", false},
      {"/a/b.pdf?x=1", true},  // "$" anchors the end
      {"/a/b.PDF", true},      // case counts
      {"/search?q=x", false},
      {"/search/deep?lang=en&q=x", false},
      {"/search?lang=en", true},
      {"/~joe/x", false},
      {"/%7ejoe/x", false},
      {"/caf%c3%a9", false},
      {"/nolead", false},
      {"/same", true},
      {"/robots.txt", true},
  };
  for (const auto& c : cases) EXPECT_EQ(rules.Allowed(c.path), c.allowed) << c.path;
  EXPECT_EQ(rules.CrawlDelay(), 2.5);
}

TEST(RobotsRules, OurGroupIsChosenByProductTokenElseTheStarGroups) {
  const struct {
    const char* text;
    const char* path;
    bool allowed;
    std::optional<double> delay;
  } cases[] = {
      {"User-agent: kestrix/2.0\nDisallow: /ours\n\nUser-agent: *\nDisallow: /\n", "/x", true,
       std::nullopt},
      {"User-agent: kestrix/2.0\nDisallow: /ours\n\nUser-agent: *\nDisallow: /\n", "/ours", false,
       std::nullopt},
      // Two groups naming us are one; a group may name several agents.
      {"User-agent: a\nUser-agent: KESTRIX\nDisallow: /one\nCrawl-delay: 1\n"
       "User-agent: Kestrix\nDisallow: /two\nCrawl-delay: 4\n",
       "/two", false, 4.0},
      {"User-agent: KestrixNot\nDisallow: /\nUser-agent: *\nCrawl-delay: x\n", "/x", true,
       std::nullopt},
      {"User-agent: Kestrix\nAllow: /\nCrawl-delay: 999999\nUser-agent: *\nDisallow: /\n", "/x",
       true, kMaxCrawlDelaySeconds},
      {"User-agent: Other\nDisallow: /\n", "/x", true, std::nullopt},
      {"User-agent: *\rDisallow: /cr-only\r", "/cr-only", false, std::nullopt},
      {"", "/x", true, std::nullopt},
      {"<html><body>Not found</body></html>", "/x", true, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TRobotsRules rules = TRobotsRules::Parse(c.text);
    EXPECT_EQ(rules.Allowed(c.path), c.allowed) << c.path;
    EXPECT_EQ(rules.CrawlDelay(), c.delay);
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
  using std::chrono::seconds;
  const struct {
    int status, relocations, tries;
    std::optional<seconds> retryAfter;
    TRobotsAction action;
    seconds retryIn;
  } cases[] = {
      {200, 0, 1, {}, TRobotsAction::Parse, seconds(0)},
      {301, 4, 1, {}, TRobotsAction::Follow, seconds(0)},
      {302, 5, 1, {}, TRobotsAction::AllowAll, seconds(0)},
      {404, 0, 1, {}, TRobotsAction::AllowAll, seconds(0)},
      {403, 0, 1, {}, TRobotsAction::AllowAll, seconds(0)},
      {429, 0, 1, {}, TRobotsAction::RetryLater, seconds(15)},
      {503, 0, 2, {}, TRobotsAction::RetryLater, seconds(30)},
      {503, 0, 1, seconds(7), TRobotsAction::RetryLater, seconds(7)},
      {503, 0, 1, seconds(3600), TRobotsAction::RetryLater, kMaxRobotsRetryAfter},
      {0, 0, 2, {}, TRobotsAction::RetryLater, seconds(30)},
      {500, 0, kMaxRobotsTries, {}, TRobotsAction::Unreachable, seconds(0)},
      {0, 0, kMaxRobotsTries, {}, TRobotsAction::Unreachable, seconds(0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    const TRobotsOutcome outcome =
        RobotsFetchOutcome(c.status, c.relocations, c.tries, c.retryAfter);
    EXPECT_EQ(outcome.Action, c.action);
    EXPECT_EQ(outcome.RetryIn, c.retryIn);
  }
}

TEST(RobotsCache, KeepsTheAnswerForADayInAHiddenFolder) {
  testing::ScratchFolder dir;
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
