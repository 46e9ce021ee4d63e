// The crawl-trap guards: which URLs they keep out of the queue.
#include "links/crawl_traps.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

TEST(CrawlTraps, PathsThatRepeatThemselves) {
  struct Case {
    const char* path;
    int times;
    bool repeats;
  };
  const Case cases[] = {
      {"/a/a/a/", 3, true},
      {"/a/a/", 3, false},
      {"/x/a/b/a/b/a/b/y", 3, true},  // a run of two segments
      {"/a/b/a/b/", 3, false},
      {"/a/b/c/a/b/c/a/b/c", 3, true},
      {"/a/b/a/c/a/b/", 3, false},  // repeated, but not in a row
      {"/a//a///a", 3, true},       // empty segments are passed over
      {"/2024/01/01/", 3, false},
      {"/a/a/", 2, true},
      {"/a/a/a/a/", 0, false},  // off
      {"", 3, false},
  };
  for (const Case& c : cases) EXPECT_EQ(PathRepeats(c.path, c.times), c.repeats) << c.path;
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
