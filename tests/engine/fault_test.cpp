// Workers against a server that misbehaves on purpose: silence, resets,
// short bodies, relocation loops, replies without length, relocated starts,
// pages that break analysis, and link scripts that wait in a nested loop.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/history_file.h"
#include "engine/job_thread.h"
#include "links/script_resolver.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"

namespace kestrix::test {
namespace {

const char* const kScenario = R"json({"routes": {
  "/hold": [{"hold": 30}],
  "/reset": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 1000\r\nLast-Modified: Sat, 29 Oct 1994 19:43:31 GMT\r\n\r\n"},
             {"repeat": "r", "count": 300}, {"sleep": 0.2}, {"reset": true}],
  "/reset-nolength": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nLast-Modified: Sat, 29 Oct 1994 19:43:31 GMT\r\n\r\n"},
             {"repeat": "r", "count": 300}, {"sleep": 0.2}, {"reset": true}],
  "/short": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 1000\r\nLast-Modified: Sat, 29 Oct 1994 19:43:31 GMT\r\n\r\n"},
             {"repeat": "s", "count": 400}],
  "/loop": [{"send": "HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n"}],
  "/nolength": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\nhello world"}],
  "/start": [{"send": "HTTP/1.0 302 Found\r\nLocation: /real/page.html\r\n\r\n"}],
  "/real/page.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"other.html\">other</a>\n"}],
  "/real/other.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\ndone\n"}],
  "/mask/index.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"a.html\">a</a> <a href=\"b.html\">b</a>\n"}],
  "/js/index.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"p1.html\">1</a><a href=\"p2.html\">2</a><a href=\"p3.html\">3</a><a href=\"p4.html\">4</a><a href=\"p5.html\">5</a><a href=\"p6.html\">6</a>\n"}],
  "/js/p1.html": [{"sleep": 0.05}, {"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"javascript:go(1)\">s</a>\n"}],
  "/js/p2.html": [{"sleep": 0.1}, {"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"javascript:go(2)\">s</a>\n"}],
  "/js/p3.html": [{"sleep": 0.15}, {"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"javascript:go(3)\">s</a>\n"}],
  "/js/p4.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"javascript:go(4)\">s</a>\n"}],
  "/js/p5.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"javascript:go(5)\">s</a>\n"}],
  "/js/p6.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"javascript:go(6)\">s</a>\n"}],
  "/form": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nposted\n"}],
  "/links/index.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<a href=\"moved.html\">m</a>\n"}],
  "/links/moved.html": [{"send": "HTTP/1.0 301 Moved\r\nLocation: /real/other.html\r\n\r\n"}],
  "/koi8.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<p>\u00c1\u00c2</p>\n"}],
  "/missing": [{"send": "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nnot found"}],
  "/js/found.html": [{"send": "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nfound\n"}]
}})json";

class FaultTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new TFaultServer(kScenario);
    if (!server_->Start()) GTEST_SKIP() << server_->Error();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  // One job for `path`, on an engine with one worker; the entry of the
  // starting URL is the first of the queue.
  std::unique_ptr<TEngineHarness> Engine(const std::string& path, int threads = 1) {
    auto engine = std::make_unique<TEngineHarness>(threads);
    TJobRecord job;
    job.editUrl = server_->BaseUrl() + path;
    job.editDepth = 5;
    job.checkLocalize = true;
    engine->AddJob(job);
    return engine;
  }

  // The requests the server received for `path` since the last call.
  std::vector<TRecordedRequest> RequestsFor(const std::string& path) {
    std::vector<TRecordedRequest> found;
    const std::vector<TRecordedRequest> all = server_->Requests();
    for (size_t i = seen_; i < all.size(); ++i) {
      if (all[i].RequestLine == "GET " + path + " HTTP/1.0") found.push_back(all[i]);
    }
    seen_ = all.size();
    return found;
  }

  static TFaultServer* server_;
  size_t seen_ = 0;
};

TFaultServer* FaultTest::server_ = nullptr;

TEST_F(FaultTest, ASilentServerTimesOutAndIsRetriedUpToTheCap) {
  auto engine = Engine("/hold");
  engine->Options.TimeOut = 1;
  engine->Options.RetryFlag = true;
  RequestsFor("");
  ASSERT_TRUE(engine->Mirror(20000));
  const TRetriveRec& entry = engine->Entry(0);
  EXPECT_EQ(entry.ErrorCode, 10060);
  EXPECT_EQ(RequestsFor("/hold").size(), 1u + kMaxRetries);
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Gave up after 5 retries: Connection timed out");
  // Counted as finished: the queue is done and its history saved.
  EXPECT_EQ(engine->State->ProcessedCount, 1);
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

TEST_F(FaultTest, AResetEndsTheRunUncountedWithTheHistorySaved) {
  auto engine = Engine("/reset");
  ASSERT_TRUE(engine->Mirror());
  const TRetriveRec& entry = engine->Entry(0);
  EXPECT_EQ(entry.ErrorCode, 10054);
  EXPECT_EQ(entry.ContentSize, 1000);
  EXPECT_EQ(entry.ReceivedSize, 300);
  EXPECT_EQ(engine->State->ProcessedCount, 0);
  EXPECT_TRUE(engine->Observer.Finished.empty());
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Connection reset by peer");
  EXPECT_TRUE(std::filesystem::exists(HistoryFilePath(engine->Options.DownLoadFolder, kProject)));

  // "Continue aborted" resumes it from the missing byte on.
  RequestsFor("");
  engine->Control->ContinueAborted();
  ASSERT_TRUE(engine->RunToEnd());
  const std::vector<TRecordedRequest> again = RequestsFor("/reset");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].Header("Range"), "bytes=300-1000");
  EXPECT_FALSE(again[0].HasHeader("If-Modified-Since"));
}

TEST_F(FaultTest, AnInterruptedCopyOfUnknownLengthIsNeverJudgedByItsDate) {
  auto engine = Engine("/reset-nolength");
  ASSERT_TRUE(engine->Mirror());
  ASSERT_EQ(engine->Entry(0).ErrorCode, 10054);
  ASSERT_EQ(engine->Entry(0).ContentSize, -1);
  ASSERT_GT(engine->Entry(0).LastModified, 0);
  RequestsFor("");
  ASSERT_TRUE(engine->Mirror());
  const std::vector<TRecordedRequest> again = RequestsFor("/reset-nolength");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_FALSE(again[0].HasHeader("If-Modified-Since"));
  EXPECT_FALSE(again[0].HasHeader("Range"));
}

TEST_F(FaultTest, AShortBodyIsKeptPartialAndResumedByTheNextRun) {
  auto engine = Engine("/short");
  RequestsFor("");
  ASSERT_TRUE(engine->Mirror());
  TRetriveRec& entry = engine->Entry(0);
  EXPECT_EQ(entry.ErrorCode, 0);
  EXPECT_EQ(entry.ContentSize, 1000);
  EXPECT_EQ(entry.ReceivedSize, 400);
  EXPECT_EQ(engine->Observer.Cell(1, 2), "400");
  EXPECT_EQ(engine->Observer.Cell(1, 3), "1994-10-29 19:43:31 GMT");
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
  ASSERT_EQ(RequestsFor("/short").size(), 1u);

  ASSERT_TRUE(engine->Mirror());
  const std::vector<TRecordedRequest> again = RequestsFor("/short");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].Header("Range"), "bytes=400-1000");
  EXPECT_FALSE(again[0].HasHeader("If-Modified-Since"));
}

TEST_F(FaultTest, AShortBodyIsRetriedFromTheMissingByteUpToTheCap) {
  auto engine = Engine("/short");
  engine->Options.RetryFlag = true;
  RequestsFor("");
  ASSERT_TRUE(engine->Mirror());
  const std::vector<TRecordedRequest> requests = RequestsFor("/short");
  ASSERT_EQ(requests.size(), 1u + kMaxRetries);
  EXPECT_FALSE(requests[0].HasHeader("Range"));
  for (size_t i = 1; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].Header("Range"), "bytes=400-1000");
    EXPECT_FALSE(requests[i].HasHeader("If-Modified-Since"));
  }
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Gave up after 5 retries: the body ended early");
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

TEST_F(FaultTest, AnErrorReplyIsNotTakenForAShortBody) {
  auto engine = Engine("/missing");
  engine->Options.RetryFlag = true;
  RequestsFor("");
  ASSERT_TRUE(engine->Mirror());
  EXPECT_EQ(RequestsFor("/missing").size(), 1u);
  EXPECT_EQ(engine->Entry(0).ErrorCode, 0);
  EXPECT_EQ(engine->Entry(0).ReceivedSize, 0);
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Not Found");
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

TEST_F(FaultTest, ARelocationLoopIsCutOffAndRecordedAsFailed) {
  auto engine = Engine("/loop");
  RequestsFor("");
  ASSERT_TRUE(engine->Mirror());
  EXPECT_EQ(engine->Entry(0).ErrorCode, kRelocationLoopError);
  EXPECT_EQ(engine->Observer.Cell(1, 4), "Too many relocations (more than 20)");
  const size_t requests = RequestsFor("/loop").size();
  EXPECT_GE(requests, 1u + kMaxRelocations);
  EXPECT_LE(requests, 2u + kMaxRelocations);
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

TEST_F(FaultTest, AReplyWithoutLengthIsSavedWhole) {
  auto engine = Engine("/nolength");
  ASSERT_TRUE(engine->Mirror());
  const TRetriveRec& entry = engine->Entry(0);
  EXPECT_EQ(entry.ErrorCode, 0);
  EXPECT_EQ(entry.ContentSize, -1);
  EXPECT_EQ(entry.ReceivedSize, 11);
  EXPECT_EQ(ReadWholeFile(entry.LocalFolder + entry.LocalFileName), "hello world");
  EXPECT_EQ(engine->Observer.Cell(1, 2), "11");
  EXPECT_EQ(engine->Observer.Cell(1, 3), "Unknown");
}

TEST_F(FaultTest, ARelocatedStartMovesTheEntryAndItsZone) {
  auto engine = Engine("/start");
  ASSERT_TRUE(engine->Mirror());
  ASSERT_EQ(engine->Queue().Count(), 2);
  const TRetriveRec& start = engine->Entry(0);
  const std::string page = server_->BaseUrl() + "/real/page.html";
  EXPECT_EQ(engine->Queue().Url(0), server_->BaseUrl() + "/start");
  EXPECT_EQ(start.Job.editUrl, page);
  EXPECT_EQ(start.StartUrl, page);
  EXPECT_EQ(start.LocalFileName, "page.html");
  EXPECT_TRUE(std::filesystem::is_regular_file(start.LocalFolder + start.LocalFileName));
  EXPECT_EQ(engine->Queue().Url(1), server_->BaseUrl() + "/real/other.html");
  EXPECT_EQ(engine->Entry(1).ErrorCode, 0);
  EXPECT_EQ(engine->Observer.StateTexts[1][1], "Relocating to: " + page);
}

TEST_F(FaultTest, ARelocatedLinkChangesOnlyItsUrl) {
  auto engine = Engine("/links/index.html");
  ASSERT_TRUE(engine->Mirror());
  ASSERT_EQ(engine->Queue().Count(), 2);
  const TRetriveRec& found = engine->Entry(1);
  EXPECT_EQ(engine->Queue().Url(1), server_->BaseUrl() + "/links/moved.html");
  EXPECT_EQ(found.Job.editUrl, server_->BaseUrl() + "/real/other.html");
  EXPECT_EQ(found.StartUrl, server_->BaseUrl() + "/links/index.html");
  EXPECT_EQ(found.LocalFileName, "moved.html");
  EXPECT_EQ(ReadWholeFile(found.LocalFolder + found.LocalFileName), "done\n");
}

TEST_F(FaultTest, AKoi8PageIsDecodedInPlaceWhenTheJobAsks) {
  for (const bool koi8 : {false, true}) {
    auto engine = Engine("/koi8.html");
    TJobRecord job;
    engine->Store.GetJob(kProject, 1, job);
    job.lclcheckKoi8 = koi8;
    engine->Store.UpdateJob(kProject, 1, job);
    ASSERT_TRUE(engine->Mirror());
    const TRetriveRec& entry = engine->Entry(0);
    EXPECT_EQ(ReadWholeFile(entry.LocalFolder + entry.LocalFileName),
              koi8 ? "<p>\xE0\xE1</p>\n" : "<p>\xC1\xC2</p>\n");
  }
}

TEST_F(FaultTest, AStartWithABodyIsPosted) {
  auto engine = Engine("/form");
  ASSERT_TRUE(engine->Control->StartJob(kProject, 1, true, std::string("a=1&b=two"),
                                        server_->BaseUrl() + "/form"));
  ASSERT_TRUE(engine->RunToEnd());
  EXPECT_EQ(engine->Entry(0).RequestMethod, 2);
  EXPECT_EQ(engine->Observer.StateTexts[1].front(), "Posting ...");
  const std::vector<TRecordedRequest> all = server_->Requests();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back().RequestLine, "POST /form HTTP/1.0");
  EXPECT_EQ(all.back().Body, "a=1&b=two");
  EXPECT_EQ(all.back().Header("Content-Length"), "9");
}

TEST_F(FaultTest, ARefusedEntryCountsOnceWhenContinuedAgain) {
  TEngineHarness engine(2);
  TJobRecord job;
  job.editUrl = "http://127.0.0.1:9/refused.html";  // nothing listens there
  engine.AddJob(job);
  ASSERT_TRUE(engine.Mirror());
  ASSERT_EQ(engine.Entry(0).ErrorCode, 10061);
  EXPECT_EQ(engine.State->ProcessedCount, 1);
  ASSERT_EQ(engine.Observer.Finished.size(), 1u);

  engine.Control->ContinueAborted();
  ASSERT_TRUE(engine.RunToEnd());
  EXPECT_EQ(engine.Entry(0).ErrorCode, 10061);
  EXPECT_EQ(engine.State->ProcessedCount, 1);
  EXPECT_EQ(engine.Observer.Finished.size(), 2u) << "the finished queue is recognised again";
}

TEST_F(FaultTest, AUrlThatCannotBeRequestedFinishesItsEntry) {
  TEngineHarness engine(1);
  TJobRecord job;
  job.editUrl = "http:///no-host.html";
  engine.AddJob(job);
  ASSERT_TRUE(engine.Mirror());
  EXPECT_EQ(engine.State->ProcessedCount, 1);
  EXPECT_EQ(engine.Observer.Finished.size(), 1u);
  EXPECT_FALSE(engine.Observer.Cell(1, 4).empty());
  EXPECT_NE(engine.Observer.Cell(1, 4), "Connecting ...");
}

TEST_F(FaultTest, AnInvalidMaskEndsThePageButNotTheDownload) {
  auto engine = Engine("/mask/index.html");
  TJobRecord job;
  engine->Store.GetJob(kProject, 1, job);
  job.lclCheckRetriveFile = true;
  job.lcleditRetriveFile = "[a";
  engine->Store.UpdateJob(kProject, 1, job);
  ASSERT_TRUE(engine->Mirror());
  ASSERT_EQ(engine->Observer.Errors.size(), 1u);
  EXPECT_NE(engine->Observer.Errors[0].find("is an invalid mask at"), std::string::npos);
  EXPECT_EQ(engine->Queue().Count(), 1);
  EXPECT_EQ(engine->State->ProcessedCount, 1);
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

// Runs every script in a nested event loop, as the hidden browser does, and
// notes whether a second page's analysis ever started inside it.
class TWaitingResolver : public ScriptResolver {
 public:
  explicit TWaitingResolver(int& overlaps, int& scripts) : overlaps_(overlaps), scripts_(scripts) {}
  void LoadPage(const std::string& text) override {
    if (loaded_) ++overlaps_;
    loaded_ = true;
    page_ = text;
  }
  bool RunScript(const std::string&) override {
    ++scripts_;
    RunFor(60);
    result_.Url = "found.html";
    return true;
  }
  void ClearPage() override { loaded_ = false; }
  const std::string& PageText() const override { return page_; }
  TCaptureKind Kind() const override { return TCaptureKind::Url; }
  const TExecResultRec& Result() const override { return result_; }

 private:
  int& overlaps_;
  int& scripts_;
  bool loaded_ = false;
  std::string page_;
  TExecResultRec result_;
};

TEST_F(FaultTest, PageAnalysesNeverNestWhileAScriptWaits) {
  auto engine = Engine("/js/index.html", 3);
  int overlaps = 0, scripts = 0, made = 0;
  engine->Scripts = [&] {
    ++made;
    return std::make_unique<TWaitingResolver>(overlaps, scripts);
  };
  engine->Restart();
  TJobRecord job;
  engine->Store.GetJob(kProject, 1, job);
  job.checkLoadScript = true;
  engine->Store.UpdateJob(kProject, 1, job);
  ASSERT_TRUE(engine->Mirror());
  EXPECT_EQ(made, 1);
  EXPECT_EQ(scripts, 6);
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(engine->Queue().Count(), 8);  // index, six pages, and what their scripts gave
  EXPECT_EQ(engine->State->ProcessedCount, 8);
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

}  // namespace
}  // namespace kestrix::test
