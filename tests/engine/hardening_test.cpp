// Stops, resumes and reopened projects against a server that misbehaves on
// purpose: whatever happens, no data is lost or corrupted, and no entry is
// fetched by two workers at once. (What a crafted history may name is the
// history file's own test.)
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "core/file_util.h"
#include "engine/job_thread.h"
#include "http/socket_errors.h"
#include "links/script_resolver.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"

namespace kestrix::test {
namespace {

// The fault server's counted document: 1000 bytes in which every position
// reads differently.
std::string Original() {
  std::string text;
  char piece[8];
  for (int i = 0; i < 250; ++i) {
    std::snprintf(piece, sizeof piece, "%03d|", i);
    text += piece;
  }
  return text;
}

std::string Gzip(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The data file's routes and two whose compressed bodies it cannot hold:
// one cut in the middle, then served whole, and one cut without a length.
std::string Scenario() {
  const std::string gzip = Gzip(Original()), half = gzip.substr(0, gzip.size() / 2);
  const std::string head =
      "200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Content-Encoding: gzip\r\n";
  const std::string sized =
      "HTTP/1.1 " + head + "Content-Length: " + std::to_string(gzip.size()) + "\r\n\r\n";
  std::string scenario = ScenarioFile("engine_hardening.json");
  scenario.insert(scenario.rfind("}}"), R"(, "/resume/gzip": {"sequence": [[)" +
                                            SendStep(sized + half) +
                                            R"(, {"sleep": 0.2}, {"reset": true}], [)" +
                                            SendStep(sized + gzip) + R"(]]}, "/gzip-cut": [)" +
                                            SendStep("HTTP/1.0 " + head + "\r\n" + half) + "]");
  return scenario;
}

// Calls `during` from inside every script it runs, in the nested event loop
// the hidden browser would run.
class TCallbackResolver : public ScriptResolver {
 public:
  explicit TCallbackResolver(std::function<void()> during) : during_(std::move(during)) {
    result_.Url = "found.html";
  }
  void LoadPage(const std::string& text) override { page_ = text; }
  bool RunScript(const std::string&) override {
    if (during_) during_();
    RunFor(100);
    return true;
  }
  void ClearPage() override {}
  const std::string& PageText() const override { return page_; }
  TCaptureKind Kind() const override { return TCaptureKind::Url; }
  const TExecResultRec& Result() const override { return result_; }

 private:
  std::function<void()> during_;
  std::string page_;
  TExecResultRec result_;
};

class HardeningTest : public TScenarioCrawlTest {
 protected:
  static void SetUpTestSuite() {
    if (!Serve(Scenario())) GTEST_SKIP() << server_->Error();
  }
  static std::vector<TRecordedRequest> RequestsFor(const std::string& path) {
    return Requests("GET " + path + " HTTP/1.1");
  }
};

// A cut-off copy is resumed only by a part that starts exactly at its end;
// any other answer fetches it whole. The file always ends equal to the
// server's document.
TEST_F(HardeningTest, AResumedFileEndsEqualToTheOriginal) {
  struct Case {
    const char* path;
    size_t requests;
    bool tamper;  // the local file lost bytes between the runs
  };
  const Case cases[] = {
      {"/resume/exact", 2, false},   {"/resume/zero", 3, false},    {"/resume/earlier", 3, false},
      {"/resume/ignored", 2, false}, {"/resume/tampered", 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto engine = Engine(c.path);
    ASSERT_TRUE(engine->Mirror());
    ASSERT_EQ(engine->Entry(0).ReceivedSize, 400);
    engine->Restart();  // the partial entry comes back from the history file
    const std::string file = engine->Entry(0).LocalFolder + engine->Entry(0).LocalFileName;
    if (c.tamper) std::filesystem::resize_file(file, 100);
    engine->Control->ContinueAborted();
    ASSERT_TRUE(engine->RunToEnd());
    const TRetriveRec& entry = engine->Entry(0);
    EXPECT_EQ(ReadWholeFile(file), Original());
    EXPECT_EQ(entry.ErrorCode, 0);
    EXPECT_EQ(entry.ContentSize, 1000);
    EXPECT_EQ(entry.ReceivedSize, 1000);
    engine->Restart();
    EXPECT_EQ(engine->Observer.Cell(1, 4), "OK");
    const std::vector<TRecordedRequest> requests = RequestsFor(c.path);
    ASSERT_EQ(requests.size(), c.requests);
    EXPECT_EQ(requests[1].Header("Range"), c.tamper ? "" : "bytes=400-999");
    // The bytes on disk are the document's own: a part of a compressed
    // body could not continue them.
    EXPECT_EQ(requests[0].Header("Accept-Encoding"), "gzip, deflate, br");
    EXPECT_EQ(requests[1].HasHeader("Accept-Encoding"), c.tamper);
    if (c.requests > 2) {
      EXPECT_EQ(requests[2].Header("Range"), "");
    }
  }
}

// The bytes saved of a compressed body that was cut off are decoded bytes,
// whose place in the compressed stream is unknown: the copy is fetched
// whole again, never continued with a part.
TEST_F(HardeningTest, APartialCompressedCopyIsFetchedWhole) {
  auto engine = Engine("/resume/gzip");
  ASSERT_TRUE(engine->Mirror());
  ASSERT_NE(engine->Entry(0).ErrorCode, 0);
  engine->Restart();
  engine->Control->ContinueAborted();
  ASSERT_TRUE(engine->RunToEnd());
  const TRetriveRec& entry = engine->Entry(0);
  EXPECT_EQ(entry.ErrorCode, 0);
  EXPECT_EQ(ReadWholeFile(entry.LocalFolder + entry.LocalFileName), Original());
  // The sizes are the document's, not those of its compressed body.
  EXPECT_EQ(entry.ReceivedSize, 1000);
  EXPECT_EQ(entry.ContentSize, 1000);
  const std::vector<TRecordedRequest> requests = RequestsFor("/resume/gzip");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[1].HasHeader("Range"));
}

// Lengths beyond 32 bits, and bodies shorter than their length, which are
// never a good copy; the sizes survive the history file.
TEST_F(HardeningTest, LargeLengthsAndShortBodies) {
  struct Case {
    const char* path;
    int64_t size, received;
  };
  const Case cases[] = {{"/big", 3000000000, 8192}, {"/huge", 4294967295, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto engine = Engine(c.path);
    ASSERT_TRUE(engine->Mirror());
    EXPECT_EQ(engine->Entry(0).ErrorCode, kErrShortBody);
    EXPECT_EQ(engine->Entry(0).ContentSize, c.size);
    EXPECT_EQ(engine->Entry(0).ReceivedSize, c.received);
    EXPECT_EQ(engine->Observer.Cell(1, 4), "Connection closed before the body ended (" +
                                               std::to_string(c.received) + " of " +
                                               std::to_string(c.size) + " bytes)");
    engine->Restart();
    EXPECT_EQ(engine->Entry(0).ContentSize, c.size);
    EXPECT_EQ(engine->Entry(0).ReceivedSize, c.received);
    EXPECT_EQ(engine->Observer.Cell(1, 4), "Connection closed before the body ended (#12001)");
  }
}

// Decoding itself is the client's; here a body that cannot be decoded or
// framed ends its entry with the reason, never as a good copy.
TEST_F(HardeningTest, CodedBodiesThatCannotBeUndoneFail) {
  struct Case {
    const char* path;
    int code;
    const char* state;
  };
  const Case cases[] = {
      {"/gzip-cut", kErrShortBody,
       "Connection closed before the body ended: the compressed body ended early"},
      {"/br", kErrUndecodableBody, "Body cannot be decoded: the compressed body is corrupt"},
      {"/odd-framing", kErrUnframedReply,
       "Reply cannot be framed: unsupported Transfer-Encoding: x-odd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto engine = Engine(c.path);
    ASSERT_TRUE(engine->Mirror());
    EXPECT_EQ(engine->Entry(0).ErrorCode, c.code);
    EXPECT_EQ(engine->Observer.Cell(1, 4), c.state);
  }
}

// Every later run of a reopened project keeps to the job's depth and to the
// files it made the first time, also when its start relocates.
TEST_F(HardeningTest, ReopenedProjectsNeitherGoDeeperNorCopyAgain) {
  for (const char* path : {"/deep/1.html", "/start"}) {
    SCOPED_TRACE(path);
    auto engine = Engine(path, 2, [](TJobRecord& job) { job.editDepth = 2; });
    ASSERT_TRUE(engine->Mirror());
    const int32_t count = engine->Queue().Count();
    const std::vector<std::string> files = FilesBelow(engine->Options.DownLoadFolder);
    for (int run = 0; run < 2; ++run) {
      engine->Restart();
      ASSERT_TRUE(engine->Mirror());
      EXPECT_EQ(engine->Queue().Count(), count) << "run " << run;
      EXPECT_EQ(FilesBelow(engine->Options.DownLoadFolder), files) << "run " << run;
    }
  }
  EXPECT_TRUE(RequestsFor("/deep/4.html").empty());
}

// Aborted entries restarted ahead of the walk of the queue are passed by
// when the walk reaches them: the server never sees one document asked for
// twice at once.
TEST_F(HardeningTest, AnEntryIsNeverFetchedByTwoWorkersAtOnce) {
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
  for (const char* page : {"/w/index.html", "/w/s1.html", "/w/s2.html", "/w/s3.html"}) {
    for (const TRecordedRequest& r : RequestsFor(page)) EXPECT_EQ(r.Overlap, 0) << page;
  }
}

// While a stop waits for a page analysis (a link script runs), nothing may
// free the queue under it; a page whose rewrite cannot be saved says so.
TEST_F(HardeningTest, AStopInsideAnAnalysisKeepsTheQueueAndFailuresAreReported) {
  auto engine = Engine("/js/page.html", 1, [](TJobRecord& job) { job.checkLoadScript = true; });
  std::vector<TRunState> states;
  std::vector<bool> opened, cleared;
  engine->Scripts = [&] {
    return std::make_unique<TCallbackResolver>([&] {
      engine->Control->StopDownload();
      states.push_back(engine->Control->RunState());
      opened.push_back(engine->Control->OpenProject(kProject));
      cleared.push_back(engine->Control->ClearProjectData(kProject));
      // The saved page turns into a folder: its rewrite cannot be saved.
      const std::string file = engine->Entry(0).LocalFolder + engine->Entry(0).LocalFileName;
      std::filesystem::remove(file);
      std::filesystem::create_directory(file);
    });
  };
  engine->Restart();
  ASSERT_TRUE(engine->Control->StartJob(kProject, 1));
  ASSERT_TRUE(RunUntil([&] { return !engine->Control->IsBusy(); }, 20000));
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0], TRunState::Stopping);
  EXPECT_FALSE(opened[0]);
  EXPECT_FALSE(cleared[0]);
  EXPECT_EQ(engine->Observer.JobStates.back(), "Started -> Stoped");
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Links not rewritten: the page could not be saved again");
  bool reported = false;
  for (const std::string& e : engine->Observer.Errors) {
    reported = reported || e.find("Links not rewritten") != std::string::npos;
  }
  EXPECT_TRUE(reported);
  EXPECT_TRUE(engine->Control->OpenProject(kProject));
}

TEST_F(HardeningTest, UnbalancedTemplatesAreReportedInTheirOwnWords) {
  struct Case {
    const char* url;
    const char* message;
  };
  const Case cases[] = {{"/img<1-3.html", "Quote > not found !"},
                        {"/img1-3>.html", "Quote < not found !"}};
  for (const Case& c : cases) {
    auto engine = Engine(c.url);
    EXPECT_FALSE(engine->Control->StartJob(kProject, 1));
    ASSERT_EQ(engine->Observer.Errors.size(), 1u);
    EXPECT_EQ(engine->Observer.Errors[0], c.message);
    EXPECT_EQ(engine->Queue().Count(), 0);
  }
}

}  // namespace
}  // namespace kestrix::test
