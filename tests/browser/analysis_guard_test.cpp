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

// A guard whose deferred work waits in `posted_` for the test to run it.
class PostingGuard : public ::testing::Test {
 protected:
  void RunPosted() {
    for (int turns = 0; !posted_.empty() && turns < 10; ++turns) {
      AnalysisGuard::Work next = std::move(posted_.front());
      posted_.pop_front();
      next();
    }
  }

  std::deque<AnalysisGuard::Work> posted_;
  AnalysisGuard guard_{[this](AnalysisGuard::Work w) { posted_.push_back(std::move(w)); }};
  std::string log_;
};

TEST_F(PostingGuard, DefersUntilTheOutermostScopeEndsAndKeepsOrder) {
  {
    AnalysisGuard::Scope outer(&guard_);
    {
      AnalysisGuard::Scope inner(&guard_);
      guard_.RunOrDefer([&] { log_ += "b"; });
    }
    EXPECT_TRUE(guard_.InProgress());
    guard_.RunOrDefer([&] { log_ += "c"; });
    EXPECT_TRUE(posted_.empty());
  }
  EXPECT_EQ(log_, "");
  ASSERT_EQ(posted_.size(), 1u);
  // New work waits behind what is already deferred.
  guard_.RunOrDefer([&] { log_ += "d"; });
  EXPECT_EQ(log_, "");

  // A turn of the loop that comes inside a later wait runs nothing.
  {
    AnalysisGuard::Scope later(&guard_);
    posted_.front()();
    posted_.pop_front();
    EXPECT_EQ(log_, "");
  }
  RunPosted();
  EXPECT_EQ(log_, "bcd");
}

TEST_F(PostingGuard, WorkThatWaitsItselfDoesNotLetTheNextOneIn) {
  {
    AnalysisGuard::Scope scope(&guard_);
    guard_.RunOrDefer([&] {
      AnalysisGuard::Scope own_wait(&guard_);
      log_ += "1";
    });
    guard_.RunOrDefer([&] { log_ += "2"; });
  }
  RunPosted();
  EXPECT_EQ(log_, "12");
}

}  // namespace
}  // namespace kestrix
