// Handing entries to workers over TLS: order, counting, the shared TLS
// context, the finished queue, "Continue aborted" and clearing a project.
// (The update run is the mirror test's; reload and continue from a row are
// the command line's download test's.)
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/history_file.h"
#include "engine/job_thread.h"
#include "http/socket_errors.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_certs.h"

namespace kestrix::test {
namespace {

TEST(DispatchTest, ThreeWorkersWalkTenEntriesShareOneTlsContextContinueTheAbortedAndClear) {
  TScratchDir site;
  for (int i = 0; i < 10; ++i)
    site.WriteFile("f" + std::to_string(i) + ".dat", std::string(100 + i, 'x'));
  TTestCerts certs;
  ASSERT_TRUE(certs.Make()) << certs.Error();
  TNginxServer nginx(site.Path());
  nginx.UseTls(certs.Valid().Cert, certs.Valid().Key);
  ASSERT_TRUE(nginx.Start()) << nginx.Error();
  TEngineHarness engine(3);
  engine.Options.TlsCaFile = certs.CaFile();
  // A queue of ten entries, as a history file would leave it; job 1 starts
  // at the first of them.
  auto url = [&](int i) { return nginx.BaseUrl() + "/f" + std::to_string(i) + ".dat"; };
  TJobRecord job;
  job.editUrl = url(0);
  engine.AddJob(job);
  engine.Store.GetJob(kProject, 1, job);
  for (int i = 0; i < 10; ++i) {
    AppendStartUrl(engine.State->Queue, job, 1, url(i), engine.ProjectFolder());
  }
  ASSERT_TRUE(engine.Control->StartJob(kProject, 1));
  EXPECT_FALSE(engine.Control->ClearProjectData(kProject)) << "refused while running";

  // The first hand-out fills slots 0, 1 and 2 with entries 0, 1 and 2.
  for (int slot = 0; slot < 3; ++slot) {
    ASSERT_NE(engine.Control->Worker(slot), nullptr);
    EXPECT_EQ(engine.Control->Worker(slot)->QueueIndex, slot);
    EXPECT_EQ(engine.Control->WorkerState(slot), TSlotState::Busy);
  }
  EXPECT_EQ(engine.Control->Worker(3), nullptr);
  EXPECT_EQ(engine.State->NextIndex, 3);
  EXPECT_EQ(engine.Queue().Count(), 10) << "the starting URL was queued already";
  EXPECT_TRUE(engine.Observer.Running);

  ASSERT_TRUE(engine.RunToEnd());
  EXPECT_EQ(engine.State->ProcessedCount, 10);
  EXPECT_EQ(engine.State->NextIndex, 10);
  ASSERT_EQ(engine.Observer.Finished.size(), 1u);
  EXPECT_EQ(engine.Observer.JobStates.back(), "Started -> Completed");
  EXPECT_EQ(engine.Observer.Status[2], "Recieved: 10");
  EXPECT_EQ(engine.Observer.Status[3], "Queue: 10");
  EXPECT_EQ(engine.Observer.Status[0], "Ok !");
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    const TRetriveRec& entry = engine.Entry(i);
    EXPECT_EQ(entry.ErrorCode, 0);
    EXPECT_EQ(entry.ReceivedSize, 100 + i);
    EXPECT_GT(entry.LastModified, 0);
    EXPECT_LT(entry.WorkerIndex, 3);
    EXPECT_EQ(engine.Observer.Cell(i + 1, 4), "OK");
    EXPECT_EQ(engine.Observer.StateTexts[i + 1].front(), "Connecting ...");
  }
  EXPECT_EQ(nginx.AccessLog().size(), 10u);
  EXPECT_TRUE(std::filesystem::exists(HistoryFilePath(engine.Options.DownLoadFolder, kProject)));
  // The trusted certificates are loaded once, and a session one worker
  // agreed serves the others.
  const std::shared_ptr<TTlsContext>& context = engine.Control->Worker(0)->TlsContext;
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(engine.Control->Worker(1)->TlsContext, context);
  EXPECT_EQ(engine.Control->Worker(2)->TlsContext, context);
  EXPECT_LE(nginx.ConnectionsSince(0), 3u);

  // Five entries ended aborted, as a stop leaves them: not counted. The
  // two left over when three workers took three wait for a free worker
  // instead of being passed over, so the queue finishes.
  for (int i = 1; i < 10; i += 2) {
    TRetriveRec& entry = engine.Entry(i);
    entry.ErrorCode = WSAECONNABORTED;
    entry.ContentSize = entry.ReceivedSize = 0;
  }
  engine.State->ProcessedCount = 5;
  engine.Control->ContinueAborted();
  ASSERT_TRUE(engine.RunToEnd());
  EXPECT_EQ(engine.State->ProcessedCount, 10);
  EXPECT_EQ(engine.Observer.Finished.size(), 2u);
  for (int i = 1; i < 10; i += 2) EXPECT_EQ(engine.Entry(i).ErrorCode, 0) << i;
  const std::vector<std::string> log = nginx.AccessLog();
  ASSERT_EQ(log.size(), 15u);
  for (size_t i = 10; i < log.size(); ++i) EXPECT_EQ(log[i].substr(0, 4), "200 ") << log[i];

  // Clearing deletes the project folder and empties the queue, and only that.
  for (const char* unsafe : {"", "..", "a/../.."}) {
    EXPECT_FALSE(engine.Control->ClearProjectData(unsafe)) << unsafe;
  }
  EXPECT_TRUE(std::filesystem::exists(engine.Options.DownLoadFolder));
  const int clears = engine.Observer.Clears;
  ASSERT_TRUE(engine.Control->ClearProjectData(kProject));
  EXPECT_FALSE(std::filesystem::exists(engine.ProjectFolder()));
  EXPECT_EQ(engine.Queue().Count(), 0);
  EXPECT_EQ(engine.State->ProcessedCount, 0);
  EXPECT_EQ(engine.State->NextIndex, 0);
  EXPECT_EQ(engine.Observer.Clears, clears + 1);
  EXPECT_EQ(engine.Observer.Status[3], "Queue: 0");
}

}  // namespace
}  // namespace kestrix::test
