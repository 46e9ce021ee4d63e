// The crawl-trap guards: which URLs they keep out of the queue.
#include "links/crawl_traps.h"

#include <gtest/gtest.h>

#include "tests/support/case_file.h"

namespace kestrix {
namespace {

// The rows of tests/fixtures/links/trap_paths.txt.
TEST(CrawlTraps, PathsThatRepeatThemselves) {
  const auto rows = test::ReadRows("links/trap_paths.txt");
  ASSERT_GE(rows.size(), 11u);
  for (const auto& r : rows) EXPECT_EQ(PathRepeats(r[0], std::stoi(r[1])), r[2] == "1") << r[0];
}

// Each guard on its own, in order, and only when its limit is on; the query
// strings of one path are counted as they are queued.
TEST(CrawlTraps, EachGuardAndItsCount) {
  TEngineState state;
  const TTrapLimits limits{40, 3, 2};
  struct Case {
    const char* url;
    TTrap trap;
  };
  const Case cases[] = {
      {"http://h/cal?m=1", TTrap::None},
      {"http://h/cal?m=2", TTrap::None},
      {"http://h/cal?m=3", TTrap::QueryVariants},
      {"http://h/cal", TTrap::None},  // the path alone has no query string
      {"http://h/other?m=3", TTrap::None},
      {"http://h/a/a/a?m=1", TTrap::RepeatingPath},
      {"http://h/a-very-long-path/that-goes-on-and-on", TTrap::UrlTooLong},
  };
  for (const Case& c : cases) {
    const TParsedUrl url = ParseUrl(c.url);
    EXPECT_EQ(TrapOf(url, limits, state), c.trap) << c.url;
    EXPECT_EQ(PassTrapGuards(url, limits, state), c.trap == TTrap::None) << c.url;
  }
  EXPECT_EQ(state.TrapRefusals, (std::array<int64_t, 3>{1, 1, 1}));
  EXPECT_EQ(TrapOf(ParseUrl("http://h/cal?m=9"), {0, 0, 0}, state), TTrap::None) << "all off";
}

}  // namespace
}  // namespace kestrix
