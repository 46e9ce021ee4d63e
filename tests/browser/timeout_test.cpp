// Scripts that never end or flood the page, and what the rest of the program
// may do while a script is being waited for: the guard that defers it.
#include "browser/analysis_guard.h"
#include "browser/script_executor.h"
#include "core/offline_state.h"
#include "tests/support/event_wait.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>

#include <gtest/gtest.h>

#include <string>

#include <sys/socket.h>
#include <unistd.h>

namespace kestrix {
namespace {

constexpr TScriptExecutorLimits kShort{3000, 1500};

TEST(Timeouts, EndlessScriptsAndPagesGiveUpFloodsEndAndTheNextCallWorks) {
  OfflineState offline;
  TScriptExecutor executor(offline, nullptr, kShort);
  executor.LoadPage("<script>function go() { window.open('after.htm'); }</script>");
  for (const char* code : {"while (1) {}", "for (;;) window.open('x.htm')"}) {
    EXPECT_FALSE(executor.RunScript(code)) << code;
    EXPECT_EQ(executor.Kind(), TCaptureKind::Nothing);
    // The page was rebuilt and loaded again: its functions are back.
    ASSERT_TRUE(executor.RunScript("go()")) << code;
    EXPECT_EQ(executor.Result().Url, "after.htm");
  }
  EXPECT_EQ(executor.PagesDiscarded(), 2);
  // A page that never finishes loading is dropped as well.
  executor.LoadPage("<script>while (true) {}</script>");
  EXPECT_FALSE(executor.RunScript("window.open('a.htm')"));
  EXPECT_EQ(executor.PagesDiscarded(), 3);
  executor.LoadPage("<p>fine</p>");
  ASSERT_TRUE(executor.RunScript("window.open('b.htm')"));
  EXPECT_EQ(executor.Result().Url, "b.htm");
  // Floods of boxes and windows end by themselves, in time.
  ASSERT_TRUE(executor.RunScript(
      "for (var i = 0; i < 20000; i++) { alert(i); confirm(i); window.open('f' + i); }"));
  EXPECT_EQ(executor.Result().Url, "f19999");
  EXPECT_EQ(executor.PagesDiscarded(), 3);
}

// Workers finish by socket or by timer while a script is waited for; none of
// them may analyse its page until the wait is over. (Qt's default event
// dispatcher ignores the loop's request to leave sockets alone, so the guard,
// not the loop, is what holds them off.) Calls into the executor made during
// the wait do nothing.
TEST(Waiting, DefersOtherAnalysisAndRefusesCallsUntilTheScriptIsDone) {
  OfflineState offline;
  AnalysisGuard guard([](AnalysisGuard::Work work) {
    QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
  });
  TScriptExecutor executor(offline, &guard);
  executor.LoadPage("<script>function go() { window.open('outer.htm'); }</script>");

  std::string log;
  auto finish = [&](const char* worker) { guard.RunOrDefer([&log, worker] { log += worker; }); };
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  ASSERT_EQ(::write(pair[1], "x", 1), 1);
  QSocketNotifier notifier(pair[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
    notifier.setEnabled(false);
    finish("s");
  });
  bool inner = true;
  QTimer::singleShot(0, [&] {
    finish("t");
    inner = executor.RunScript("window.open('inner.htm')");
    executor.LoadPage("<p>another page</p>");
  });

  ASSERT_TRUE(executor.RunScript("go()"));
  EXPECT_EQ(log, "");
  EXPECT_FALSE(guard.InProgress());
  EXPECT_FALSE(inner);
  EXPECT_EQ(executor.Result().Url, "outer.htm");
  ASSERT_TRUE(executor.RunScript("go()"));

  EXPECT_TRUE(test::RunUntil([&] { return log.size() == 2; }, 2000)) << log;
  ::close(pair[0]);
  ::close(pair[1]);
}

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
