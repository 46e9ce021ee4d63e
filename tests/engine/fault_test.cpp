// Workers against a server that misbehaves on purpose: silence, resets,
// short bodies, relocation loops, replies without length, relocated starts,
// pages that break analysis, and link scripts that wait in a nested loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/file_util.h"
#include "engine/fetch_limits.h"
#include "engine/history_file.h"
#include "http/socket_errors.h"
#include "links/script_resolver.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"

namespace kestrix::test {
namespace {

class FaultTest : public TScenarioCrawlTest {
 protected:
  // The pages under /js/ hold link scripts; the first three come late, so
  // that their analyses fall into the scripts' waits.
  static void SetUpTestSuite() {
    if (!Serve(ScenarioFile("engine_faults.json"))) GTEST_SKIP() << server_->Error();
  }

  std::unique_ptr<TEngineHarness> Engine(const std::string& target, int threads = 1,
                                         const std::function<void(TJobRecord&)>& edit = {}) {
    seen_ = server_->Requests().size();
    return TScenarioCrawlTest::Engine(target, threads, edit);
  }

  // The requests the server received for `path` since the last call.
  std::vector<TRecordedRequest> RequestsFor(const std::string& path) {
    std::vector<TRecordedRequest> found = Requests("GET " + path + " HTTP/1.1", seen_);
    seen_ = server_->Requests().size();
    return found;
  }

  size_t seen_ = 0;
};

// Each ends its entry, counted as finished, so the queue is done and its
// history saved; retries resume from the missing byte without a date.
TEST_F(FaultTest, FailuresAreRetriedUpToTheCapAndFinishTheEntry) {
  struct Case {
    const char* path;
    bool retry;
    int code;
    int64_t received;
    size_t requests, slack;
    const char* range;  // what the retries ask for
    const char* state;
    const char* saved = nullptr;
  };
  const Case cases[] = {
      {"/hold", true, 10060, 0, 1 + kMaxRetries, 0, "",
       "Gave up after 5 retries: Connection timed out"},
      {"/short", true, kErrShortBody, 400, 1 + kMaxRetries, 0, "bytes=400-999",
       "Gave up after 5 retries: the body ended early"},
      {"/missing", true, 0, 0, 1, 0, "", "Not Found"},  // not taken for a short body
      {"/loop", false, kRelocationLoopError, 0, 1 + kMaxRelocations, 1, "",
       "Too many relocations (more than 20)"},
      {"/nolength", false, 0, 11, 1, 0, "", "OK", "hello world"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto engine = Engine(c.path);
    engine->Options.TimeOut = 1;
    engine->Options.RetryFlag = c.retry;
    ASSERT_TRUE(engine->Mirror(20000));
    const TRetriveRec& entry = engine->Entry(0);
    EXPECT_EQ(entry.ErrorCode, c.code);
    EXPECT_EQ(entry.ReceivedSize, c.received);
    EXPECT_EQ(engine->Observer.Cell(1, 4), c.state);
    EXPECT_EQ(engine->State->ProcessedCount, 1);
    EXPECT_EQ(engine->Observer.Finished.size(), 1u);
    const std::vector<TRecordedRequest> requests = RequestsFor(c.path);
    EXPECT_GE(requests.size(), c.requests);
    EXPECT_LE(requests.size(), c.requests + c.slack);
    for (size_t i = 0; i < requests.size(); ++i) {
      EXPECT_EQ(requests[i].Header("Range"), i == 0 ? "" : c.range);
      EXPECT_FALSE(requests[i].HasHeader("If-Modified-Since"));
    }
    if (!c.saved) continue;
    EXPECT_EQ(ReadWholeFile(entry.LocalFolder + entry.LocalFileName), c.saved);
    EXPECT_EQ(engine->Observer.Cell(1, 2), std::to_string(c.received));
  }
}

// A cut-off copy is never judged by its date alone: the next run (or
// "Continue aborted") resumes it from the missing byte, or fetches it whole
// when its length is unknown. A reset leaves its entry uncounted.
TEST_F(FaultTest, APartialCopyIsResumedOrFetchedWholeWithoutADate) {
  struct Case {
    const char* path;
    int code;
    int64_t size, received;
    const char* state;
    bool continueAborted;
    const char* range;
  };
  const Case cases[] = {
      {"/reset", WSAECONNRESET, 1000, 300, "Connection reset by peer", true, "bytes=300-999"},
      {"/reset-nolength", WSAECONNRESET, -1, 300, "Connection reset by peer", false, ""},
      // Kept partial, never OK.
      {"/short", kErrShortBody, 1000, 400,
       "Connection closed before the body ended (400 of 1000 bytes)", false, "bytes=400-999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto engine = Engine(c.path);
    ASSERT_TRUE(engine->Mirror());
    const TRetriveRec& entry = engine->Entry(0);
    EXPECT_EQ(entry.ErrorCode, c.code);
    EXPECT_EQ(entry.ContentSize, c.size);
    EXPECT_EQ(entry.ReceivedSize, c.received);
    EXPECT_EQ(engine->Observer.Cell(1, 3), "1994-10-29 19:43:31 GMT");
    EXPECT_EQ(engine->Observer.Cell(1, 4), c.state);
    const bool counted = c.code == 0 || c.code == kErrShortBody;
    if (counted) {
      EXPECT_EQ(engine->Observer.Cell(1, 2), std::to_string(c.received));
    }
    EXPECT_EQ(engine->State->ProcessedCount, counted ? 1 : 0);
    EXPECT_EQ(engine->Observer.Finished.size(), counted ? 1u : 0u);
    EXPECT_TRUE(std::filesystem::exists(HistoryFilePath(engine->Options.DownLoadFolder, kProject)));
    ASSERT_EQ(RequestsFor(c.path).size(), 1u);
    if (c.continueAborted) engine->Control->ContinueAborted();
    ASSERT_TRUE(c.continueAborted ? engine->RunToEnd() : engine->Mirror());
    const std::vector<TRecordedRequest> again = RequestsFor(c.path);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].Header("Range"), c.range);
    EXPECT_FALSE(again[0].HasHeader("If-Modified-Since"));
  }
}

// A relocated start moves the entry and its zone; a relocated link changes
// only the URL it is fetched from.
TEST_F(FaultTest, RelocationsOfTheStartAndOfALink) {
  const std::string base = server_->BaseUrl(), page = base + "/real/page.html";
  auto engine = Engine("/start");
  ASSERT_TRUE(engine->Mirror());
  ASSERT_EQ(engine->Queue().Count(), 2);
  const TRetriveRec& start = engine->Entry(0);
  EXPECT_EQ(engine->Queue().Url(0), base + "/start");
  EXPECT_EQ(start.Job.editUrl, page);
  EXPECT_EQ(start.StartUrl, page);
  EXPECT_EQ(start.LocalFileName, "page.html");
  EXPECT_TRUE(std::filesystem::is_regular_file(start.LocalFolder + start.LocalFileName));
  EXPECT_EQ(engine->Queue().Url(1), base + "/real/other.html");
  EXPECT_EQ(engine->Entry(1).ErrorCode, 0);
  EXPECT_EQ(engine->Observer.StateTexts[1][1], "Relocating to: " + page);
  // The page's link to itself found the start row under its new URL.
  EXPECT_EQ(engine->Queue().Find(page), 0);
  int pageFetches = 0;
  for (const TRecordedRequest& r : server_->Requests()) {
    pageFetches += r.RequestLine == "GET /real/page.html HTTP/1.1";
  }
  EXPECT_EQ(pageFetches, 1);

  engine = Engine("/links/index.html");
  ASSERT_TRUE(engine->Mirror());
  ASSERT_EQ(engine->Queue().Count(), 2);
  const TRetriveRec& found = engine->Entry(1);
  EXPECT_EQ(engine->Queue().Url(1), base + "/links/moved.html");
  EXPECT_EQ(found.Job.editUrl, base + "/real/other.html");
  EXPECT_EQ(found.StartUrl, base + "/links/index.html");
  EXPECT_EQ(found.LocalFileName, "moved.html");
  EXPECT_EQ(ReadWholeFile(found.LocalFolder + found.LocalFileName), "done\n");
}

TEST_F(FaultTest, AKoi8PageIsDecodedInPlaceWhenTheJobAsks) {
  for (const bool koi8 : {false, true}) {
    auto engine = Engine("/koi8.html", 1, [&](TJobRecord& job) { job.lclcheckKoi8 = koi8; });
    ASSERT_TRUE(engine->Mirror());
    const TRetriveRec& entry = engine->Entry(0);
    EXPECT_EQ(ReadWholeFile(entry.LocalFolder + entry.LocalFileName),
              koi8 ? "<p>\xE0\xE1</p>\n" : "<p>\xC1\xC2</p>\n");
  }
}

TEST_F(FaultTest, AStartWithABodyIsPosted) {
  auto engine = Engine("/nolength");
  ASSERT_TRUE(engine->Control->StartJob(kProject, 1, true, std::string("a=1&b=two"),
                                        server_->BaseUrl() + "/nolength"));
  ASSERT_TRUE(engine->RunToEnd());
  EXPECT_EQ(engine->Entry(0).RequestMethod, 2);
  EXPECT_EQ(engine->Observer.StateTexts[1].front(), "Posting ...");
  const std::vector<TRecordedRequest> all = server_->Requests();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back().RequestLine, "POST /nolength HTTP/1.1");
  EXPECT_EQ(all.back().Body, "a=1&b=two");
  EXPECT_EQ(all.back().Header("Content-Length"), "9");
}

// A refused connection and a URL the client will not request both finish
// their entry; the refused one, continued again, still counts once.
TEST_F(FaultTest, EntriesThatCannotBeFetchedStillFinishTheQueue) {
  for (const char* url : {"http://127.0.0.1:9/refused.html", "http:///no-host.html"}) {
    SCOPED_TRACE(url);
    auto engine = Engine(url, 2);
    ASSERT_TRUE(engine->Mirror());
    EXPECT_EQ(engine->State->ProcessedCount, 1);
    ASSERT_EQ(engine->Observer.Finished.size(), 1u);
    EXPECT_FALSE(engine->Observer.Cell(1, 4).empty());
    EXPECT_NE(engine->Observer.Cell(1, 4), "Connecting ...");
    if (engine->Entry(0).ErrorCode != WSAECONNREFUSED) continue;
    engine->Control->ContinueAborted();
    ASSERT_TRUE(engine->RunToEnd());
    EXPECT_EQ(engine->Entry(0).ErrorCode, WSAECONNREFUSED);
    EXPECT_EQ(engine->State->ProcessedCount, 1);
    EXPECT_EQ(engine->Observer.Finished.size(), 2u) << "the finished queue is recognised again";
  }
}

TEST_F(FaultTest, AnInvalidMaskEndsThePageButNotTheDownload) {
  auto engine = Engine("/js/index.html", 1, [](TJobRecord& job) {
    job.lclCheckRetriveFile = true;
    job.lcleditRetriveFile = "[a";
  });
  ASSERT_TRUE(engine->Mirror());
  ASSERT_EQ(engine->Observer.Errors.size(), 1u);
  EXPECT_NE(engine->Observer.Errors[0].find("is an invalid mask at"), std::string::npos);
  EXPECT_EQ(engine->Queue().Count(), 1);
  EXPECT_EQ(engine->State->ProcessedCount, 1);
  EXPECT_EQ(engine->Observer.Finished.size(), 1u);
}

// Runs every script in a nested event loop, as the hidden browser does, and
// counts the pages loaded while another was still loaded.
class TWaitingResolver : public ScriptResolver {
 public:
  TWaitingResolver(int& overlaps, int& scripts) : overlaps_(overlaps), scripts_(scripts) {
    result_.Url = "found.html";
  }
  void LoadPage(const std::string& text) override {
    overlaps_ += loaded_;
    loaded_ = true;
    page_ = text;
  }
  bool RunScript(const std::string&) override {
    ++scripts_;
    RunFor(60);
    return true;
  }
  void ClearPage() override { loaded_ = false; }
  const std::string& PageText() const override { return page_; }
  TCaptureKind Kind() const override { return TCaptureKind::Url; }
  const TExecResultRec& Result() const override { return result_; }

 private:
  int &overlaps_, &scripts_;
  bool loaded_ = false;
  std::string page_;
  TExecResultRec result_;
};

TEST_F(FaultTest, PageAnalysesNeverNestWhileAScriptWaits) {
  auto engine = Engine("/js/index.html", 3, [](TJobRecord& job) { job.checkLoadScript = true; });
  int overlaps = 0, scripts = 0, made = 0;
  engine->Scripts = [&] {
    ++made;
    return std::make_unique<TWaitingResolver>(overlaps, scripts);
  };
  engine->Restart();
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
