#include "browser/analysis_guard.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace kestrix {
namespace {

TEST(AnalysisGuard, WithoutPosterRunsAtOnceOrInOrderAfterTheScope) {
  AnalysisGuard guard;
  std::string log;
  guard.RunOrDefer([&] { log += "0"; });
  EXPECT_EQ(log, "0");
  EXPECT_FALSE(guard.InProgress());
  {
    AnalysisGuard::Scope scope(&guard);
    guard.RunOrDefer([&] { log += "1"; });
    guard.RunOrDefer([&] { log += "2"; });
    EXPECT_EQ(log, "0");
  }
  EXPECT_EQ(log, "012");
}

TEST(AnalysisGuard, DefersUntilTheOutermostScopeEndsAndKeepsOrder) {
  std::deque<AnalysisGuard::Work> posted;
  AnalysisGuard guard([&](AnalysisGuard::Work w) { posted.push_back(std::move(w)); });
  std::string log;
  {
    AnalysisGuard::Scope outer(&guard);
    {
      AnalysisGuard::Scope inner(&guard);
      guard.RunOrDefer([&] { log += "b"; });
    }
    EXPECT_TRUE(guard.InProgress());
    guard.RunOrDefer([&] { log += "c"; });
    EXPECT_TRUE(posted.empty());
  }
  EXPECT_EQ(log, "");
  ASSERT_EQ(posted.size(), 1u);
  // New work waits behind what is already deferred.
  guard.RunOrDefer([&] { log += "d"; });
  EXPECT_EQ(log, "");

  // A turn of the loop that comes inside a later wait runs nothing.
  {
    AnalysisGuard::Scope later(&guard);
    posted.front()();
    posted.pop_front();
    EXPECT_EQ(log, "");
  }
  while (!posted.empty()) {
    posted.front()();
    posted.pop_front();
  }
  EXPECT_EQ(log, "bcd");
}

TEST(AnalysisGuard, WorkThatWaitsItselfDoesNotLetTheNextOneIn) {
  std::deque<AnalysisGuard::Work> posted;
  AnalysisGuard guard([&](AnalysisGuard::Work w) { posted.push_back(std::move(w)); });
  std::string log;
  {
    AnalysisGuard::Scope scope(&guard);
    guard.RunOrDefer([&] {
      AnalysisGuard::Scope own_wait(&guard);
      log += "1";
    });
    guard.RunOrDefer([&] { log += "2"; });
  }
  for (int turns = 0; !posted.empty() && turns < 10; ++turns) {
    AnalysisGuard::Work next = std::move(posted.front());
    posted.pop_front();
    next();
  }
  EXPECT_EQ(log, "12");
}

}  // namespace
}  // namespace kestrix
