// Workers racing each other and the nested event loop of link scripts,
// against our fault server: no entry is fetched by two workers at once, no
// page analysis nests in another, and a stop that waits for one frees
// nothing under it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "http/socket_errors.h"
#include "links/script_resolver.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/event_wait.h"

namespace kestrix::test {
namespace {

// Runs every script in a nested event loop, as the hidden browser does,
// calling `during` inside it; counts the scripts and the pages loaded while
// another was still loaded.
class TNestingResolver : public ScriptResolver {
 public:
  TNestingResolver(int& overlaps, int& scripts, std::function<void()> during)
      : overlaps_(overlaps), scripts_(scripts), during_(std::move(during)) {
    result_.Url = "found.html";
  }
  void LoadPage(const std::string& text) override {
    overlaps_ += loaded_;
    loaded_ = true;
    page_ = text;
  }
  bool RunScript(const std::string&) override {
    ++scripts_;
    if (during_) during_();
    RunFor(60);
    return true;
  }
  void ClearPage() override { loaded_ = false; }
  const std::string& PageText() const override { return page_; }
  TCaptureKind Kind() const override { return TCaptureKind::Url; }
  const TExecResultRec& Result() const override { return result_; }

 private:
  int &overlaps_, &scripts_;
  std::function<void()> during_;
  bool loaded_ = false;
  std::string page_;
  TExecResultRec result_;
};

class WorkerRacesTest : public TScenarioCrawlTest {
 protected:
  static void SetUpTestSuite() {
    if (!Serve(ScenarioFile("engine_faults.json"))) GTEST_SKIP() << server_->Error();
  }
  // An engine whose link scripts run in TNestingResolver.
  std::unique_ptr<TEngineHarness> ScriptEngine(const std::string& path, int threads,
                                               std::function<void()> during = {}) {
    auto engine = Engine(path, threads, [](TJobRecord& job) { job.checkLoadScript = true; });
    engine->Scripts = [this, during] {
      ++made_;
      return std::make_unique<TNestingResolver>(overlaps_, scripts_, during);
    };
    engine->Restart();
    return engine;
  }
  int made_ = 0, overlaps_ = 0, scripts_ = 0;
};

// Aborted entries restarted ahead of the walk of the queue are passed by
// when the walk reaches them.
TEST_F(WorkerRacesTest, AnEntryIsNeverFetchedByTwoWorkersAtOnce) {
  auto engine = Engine("/w/index.html", 2);
  ASSERT_TRUE(engine->Control->StartJob(kProject, 1));
  ASSERT_TRUE(RunUntil(
      [&] { return engine->Queue().Count() == 5 && engine->Control->BusyWorkers() == 2; }, 10000));
  RunFor(50);
  engine->Control->StopDownload();
  ASSERT_TRUE(RunUntil([&] { return !engine->Control->IsBusy(); }, 10000));
  int aborted = 0;
  for (int i = 0; i < 5; ++i) aborted += engine->Entry(i).ErrorCode == WSAECONNABORTED;
  ASSERT_GE(aborted, 1);
  RunFor(100);  // the server notices the closed connections
  engine->Control->ContinueAborted();
  engine->Control->ContinueDownload(1);
  ASSERT_TRUE(engine->RunToEnd());
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
  EXPECT_EQ(engine->State->ProcessedCount, 5);
  for (const TRecordedRequest& r : Requests("GET /w/")) EXPECT_EQ(r.Overlap, 0) << r.RequestLine;
}

TEST_F(WorkerRacesTest, PageAnalysesNeverNestWhileAScriptWaits) {
  auto engine = ScriptEngine("/js/index.html", 3);
  ASSERT_TRUE(engine->Mirror());
  EXPECT_EQ(made_, 1);
  EXPECT_EQ(scripts_, 6);
  EXPECT_EQ(overlaps_, 0);
  EXPECT_EQ(engine->Queue().Count(), 8);  // index, six pages, and what their scripts gave
  EXPECT_EQ(engine->State->ProcessedCount, 8);
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

// While a stop waits for a page analysis, nothing may free the queue under
// it; a page whose rewrite cannot be saved says so.
TEST_F(WorkerRacesTest, AStopInsideAnAnalysisKeepsTheQueueAndFailuresAreReported) {
  std::vector<TRunState> states;
  std::vector<bool> opened, cleared;
  TEngineHarness* engine = nullptr;
  auto owned = ScriptEngine("/js/page.html", 1, [&] {
    engine->Control->StopDownload();
    states.push_back(engine->Control->RunState());
    opened.push_back(engine->Control->OpenProject(kProject));
    cleared.push_back(engine->Control->ClearProjectData(kProject));
    // The saved page turns into a folder: its rewrite cannot be saved.
    const std::string file = engine->Entry(0).LocalFolder + engine->Entry(0).LocalFileName;
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
  });
  engine = owned.get();
  ASSERT_TRUE(engine->Control->StartJob(kProject, 1));
  ASSERT_TRUE(RunUntil([&] { return !engine->Control->IsBusy(); }, 20000));
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0], TRunState::Stopping);
  EXPECT_FALSE(opened[0]);
  EXPECT_FALSE(cleared[0]);
  EXPECT_EQ(engine->Observer.JobStates.back(), "Started -> Stoped");
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Links not rewritten: the page could not be saved again");
  ASSERT_FALSE(engine->Observer.Errors.empty());
  EXPECT_NE(engine->Observer.Errors.back().find("Links not rewritten"), std::string::npos);
  EXPECT_TRUE(engine->Control->OpenProject(kProject));
}

}  // namespace
}  // namespace kestrix::test
