// What keeps a run bounded on a site that means harm: the limits of one file
// (a gzip page that inflates far past its cap, a body that trickles without
// end, a page too large to analyse), the limits of a run, the crawl-trap
// guards, and writes that fail. Every run ends by itself and says why.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "core/file_util.h"
#include "engine/history_file.h"
#include "engine/job_thread.h"
#include "http/socket_errors.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/fault_server.h"

namespace kestrix::test {
namespace {

namespace fs = std::filesystem;

class LimitsTest : public TScenarioCrawlTest {
 protected:
  // Among the routes: a gzip bomb, a trickle, a calendar without end and a
  // link 3000 bytes long.
  static void SetUpTestSuite() {
    if (!Serve(ScenarioFile("engine_limits.json"))) GTEST_SKIP() << server_->Error();
  }

  // A job that may go anywhere on the server, as deep as it likes.
  static std::unique_ptr<TEngineHarness> Engine(
      const std::string& path, const std::function<void(TGlobalOptions&)>& limits) {
    auto engine = TScenarioCrawlTest::Engine(path, 1, [](TJobRecord& job) {
      job.editDepth = 1000;
      job.checkLocalize = job.radioThisPath = false;
      job.radioThisServer = true;
    });
    if (limits) limits(engine->Options);
    return engine;
  }

  static size_t RequestsFor(const std::string& path) {
    return Requests("GET " + path + " HTTP/1.0").size();
  }
};

// A file stopped by a limit keeps its row with a state naming the limit and
// leaves no part behind; "Continue aborted" fetches it again only once the
// limit was raised past it. A page too large to analyse is saved whole.
TEST_F(LimitsTest, FileLimitsEndTheEntryAndAbortedGoesOnOnceRaised) {
  struct Case {
    const char* path;
    std::function<void(TGlobalOptions&)> limits;
    int code;
    const char* state;
    std::function<void(TGlobalOptions&)> raise;
    int64_t size;  // saved once raised
  };
  const Case cases[] = {
      {"/bomb.html", [](TGlobalOptions& o) { o.MaxFileSize = 1 << 20; }, kErrFileTooLarge,
       "larger than the size limit (1 MB)", nullptr, 0},
      {"/trickle", [](TGlobalOptions& o) { o.MaxFileTime = 1; }, kErrFileTooSlow,
       "took longer than the time limit (1 s)", nullptr, 0},
      // Announced larger than the limit: not even begun.
      {"/sized", [](TGlobalOptions& o) { o.MaxFileSize = 1024; }, kErrFileTooLarge,
       "larger than the size limit (1 KB)", [](TGlobalOptions& o) { o.MaxFileSize = 10240; }, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto engine = Engine(c.path, c.limits);
    ASSERT_TRUE(engine->Mirror(20000));
    const TRetriveRec& entry = engine->Entry(0);
    EXPECT_EQ(entry.ErrorCode, c.code);
    EXPECT_EQ(engine->Observer.Cell(1, 4), c.state);
    EXPECT_TRUE(FilesBelow(engine->ProjectFolder()).size() == 1u)  // the history only
        << ::testing::PrintToString(FilesBelow(engine->ProjectFolder()));
    EXPECT_EQ(engine->Observer.Finished.size(), 1u);
    const size_t asked = RequestsFor(c.path);
    engine->Control->ContinueAborted();
    ASSERT_TRUE(engine->RunToEnd());
    EXPECT_EQ(RequestsFor(c.path), asked) << "fetched again under the same limit";
    if (!c.raise) continue;
    engine->Restart();  // the outcome comes back from the history
    EXPECT_EQ(engine->Observer.Cell(1, 4), c.state);
    c.raise(engine->Options);
    engine->Control->ContinueAborted();
    ASSERT_TRUE(engine->RunToEnd());
    EXPECT_EQ(engine->Entry(0).ErrorCode, 0);
    EXPECT_EQ(LocalFileSize(engine->Entry(0).LocalFolder + engine->Entry(0).LocalFileName), c.size);
  }

  auto engine = Engine("/big.html", [](TGlobalOptions& o) { o.MaxParsedPage = 1024; });
  ASSERT_TRUE(engine->Mirror());
  EXPECT_EQ(engine->Queue().Count(), 1) << "its links were analysed";
  EXPECT_EQ(engine->Entry(0).ReceivedSize, 200 * 23);
  ASSERT_EQ(engine->Observer.Errors.size(), 1u);
  EXPECT_EQ(engine->Observer.Errors[0],
            server_->BaseUrl() +
                "/big.html: not analysed, larger than the page limit (1 KB); saved as received");
}

// A run stopped by one of its limits saves its history and says which
// limit; "Continue aborted" then takes it to its end.
TEST_F(LimitsTest, RunLimitsStopTheRunAndAbortedFinishesIt) {
  struct Case {
    TStopCause cause;
    std::function<void(TGlobalOptions&)> limits;
  };
  const Case cases[] = {
      {TStopCause::Files, [](TGlobalOptions& o) { o.MaxFiles = 2; }},
      {TStopCause::Bytes, [](TGlobalOptions& o) { o.MaxTotal = 100; }},
      {TStopCause::Time, [](TGlobalOptions& o) { o.MaxTime = 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.cause));
    auto engine = Engine("/site/index.html", c.limits);
    ASSERT_TRUE(engine->Mirror());
    EXPECT_EQ(engine->Control->LastStop().Cause, c.cause);
    EXPECT_LT(engine->State->ProcessedCount, 5);
    EXPECT_TRUE(engine->Observer.Finished.empty());
    EXPECT_TRUE(fs::exists(HistoryFilePath(engine->Options.DownLoadFolder, kProject)));
    ASSERT_FALSE(engine->Observer.Errors.empty());
    EXPECT_EQ(engine->Observer.Errors.back().rfind("Download stopped: the run reached its ", 0), 0u)
        << engine->Observer.Errors.back();
    engine->Options.MaxFiles = engine->Options.MaxTime = 0;
    engine->Options.MaxTotal = 0;
    engine->Restart();
    engine->Control->ContinueAborted();
    ASSERT_TRUE(engine->RunToEnd());
    EXPECT_EQ(engine->State->ProcessedCount, 5);
    EXPECT_EQ(engine->Observer.Finished.size(), 1u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(engine->Entry(i).ErrorCode, 0) << i;
  }
}

// Sites that make URLs without end run out of them at the guards, each
// counted by its reason.
TEST_F(LimitsTest, CrawlTrapGuardsEndEndlessSites) {
  struct Case {
    const char* path;
    std::function<void(TGlobalOptions&)> limits;
    int queued;
    size_t guard;  // TrapRefusals index
  };
  const Case cases[] = {
      {"/long.html", nullptr, 1, 0},
      {"/rep/", nullptr, 3, 1},  // /rep/, /rep/a/b/, /rep/a/b/a/b/
      {"/cal", [](TGlobalOptions& o) { o.MaxQueryVariants = 5; }, 6, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto engine = Engine(c.path, c.limits);
    ASSERT_TRUE(engine->Mirror());
    EXPECT_EQ(engine->Queue().Count(), c.queued);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(engine->State->TrapRefusals[i], i == c.guard ? 1 : 0) << i;
    }
  }
}

// Writing that fails ends the entry with the path and the system's reason,
// never OK; a full disk, or a download folder that cannot be made, stops
// the run.
TEST_F(LimitsTest, WriteFailuresAreFailures) {
  struct Case {
    const char* name;
    std::function<void(TEngineHarness&)> spoil;
    int code;
    const char* reason;
    TStopCause stop;
    const char* path = "sized";  // named by the state
  };
  const Case cases[] = {
      {"folder below a file",
       [](TEngineHarness& e) {
         std::ofstream(e.Dir.Path() + "plain");
         e.Options.DownLoadFolder = e.Dir.Path() + "plain/dl/";
       },
       kErrCannotWrite, "Not a directory", TStopCause::FolderNotMade, "plain/dl/"},
      {"file is a folder",
       [](TEngineHarness& e) { fs::create_directories(e.ProjectFolder() + "sized"); },
       kErrCannotWrite, "Is a directory", TStopCause::None},
      {"disk full",
       [](TEngineHarness& e) {
         fs::create_directories(e.ProjectFolder());
         fs::create_symlink("/dev/full", e.ProjectFolder() + "sized");
       },
       kErrDiskFull, "No space left on device", TStopCause::DiskFull},
      {"read-only folder",
       [](TEngineHarness& e) {
         fs::create_directories(e.ProjectFolder());
         chmod(e.ProjectFolder().c_str(), 0555);
       },
       kErrCannotWrite, "Permission denied", TStopCause::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) == "read-only folder" && geteuid() == 0)
      continue;  // root writes anyway
    auto engine = Engine("/sized", nullptr);
    c.spoil(*engine);
    engine->Restart();
    ASSERT_TRUE(engine->Mirror());
    const TRetriveRec& entry = engine->Entry(0);
    EXPECT_EQ(entry.ErrorCode, c.code);
    const std::string state = engine->Observer.Cell(1, 4);
    EXPECT_NE(state.find(c.reason), std::string::npos) << state;
    EXPECT_NE(state.find(c.path), std::string::npos) << state;
    EXPECT_EQ(engine->Control->LastStop().Cause, c.stop);
    if (c.stop != TStopCause::DiskFull) continue;
    // Room again: the symlink went with the part, and the entry is fetched.
    engine->Control->ContinueAborted();
    ASSERT_TRUE(engine->RunToEnd());
    EXPECT_EQ(engine->Entry(0).ErrorCode, 0);
    EXPECT_EQ(LocalFileSize(engine->ProjectFolder() + "sized"), 5000);
  }
}

}  // namespace
}  // namespace kestrix::test
