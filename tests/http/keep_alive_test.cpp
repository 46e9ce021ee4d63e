// Connections kept between requests: what keeps or ends them, and the one
// resend when the server dropped one as the request left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "http/http_client.h"
#include "http/streams.h"
#include "tests/http/client_recorder.h"
#include "tests/support/event_wait.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::TClientRecorder;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// The routes are tests/fixtures/scenarios/http_keep_alive.json.
struct KeepAlive : test::TScriptedSuite<KeepAlive> {
  static std::string Scenario() {
    return test::ReadWholeFile(KESTRIX_SOURCE_DIR "/tests/fixtures/scenarios/http_keep_alive.json");
  }
  void SetUp() override {
    TScriptedSuite::SetUp();
    client.KeepAlive = true;
  }
  // The connection each request of this test came on, numbered from 1 in
  // the order the server saw them first.
  std::vector<int> Connections() const {
    std::vector<int> numbers, seen;
    for (const auto& request : NewRequests()) {
      auto at = std::find(seen.begin(), seen.end(), request.Connection);
      if (at == seen.end()) at = seen.insert(seen.end(), request.Connection);
      numbers.push_back(static_cast<int>(at - seen.begin()) + 1);
    }
    return numbers;
  }
  std::string Fetch(const std::string& path) {
    TClientRecorder r(client);
    EXPECT_TRUE(r.Get(Url(path))) << path;
    EXPECT_EQ(r.DoneError, 0) << path;
    return r.Body;
  }
};

TEST_F(KeepAlive, ConnectionServesRequestsUntilAReplyCannotBeEndedByItsLength) {
  TClientRecorder rec(client);
  ASSERT_TRUE(rec.Get(Url("/a")));
  EXPECT_EQ(rec.Body, "first");
  EXPECT_THAT(rec.Events, ElementsAre("HeaderEnd", "DocBegin", "DocData", "DocEnd", "RequestDone"));
  EXPECT_EQ(rec.StateAtDone, httpReady);

  client.ModifiedSince = 45000;
  EXPECT_EQ(Fetch("/same"), "");
  EXPECT_EQ(client.StatusCode(), 304);
  client.ModifiedSince = 0;
  EXPECT_EQ(Fetch("/empty"), "");
  EXPECT_EQ(Fetch("/open"), "until close");  // no length: read to the close
  EXPECT_EQ(Fetch("/a"), "first");
  EXPECT_EQ(Fetch("/closing"), "last");                   // the server said it closes
  EXPECT_EQ(Fetch("/chunked"), "3\r\nabc\r\n0\r\n\r\n");  // framed: ends at the close, raw
  EXPECT_EQ(Fetch("/extra"), "abc");  // what follows the length belongs to no reply
  EXPECT_EQ(Fetch("/missing"), "");   // an error reply's body is never read
  EXPECT_EQ(Fetch("/a"), "first");
  EXPECT_THAT(Connections(), ElementsAreArray({1, 1, 1, 1, 2, 2, 3, 4, 5, 6}));
  for (const auto& request : NewRequests()) {
    EXPECT_EQ(request.Header("Connection"), "keep-alive") << request.RequestLine;
    EXPECT_THAT(request.RequestLine, ::testing::EndsWith("HTTP/1.0"));
  }
}

TEST_F(KeepAlive, RequestOnAConnectionTheServerDroppedIsSentOnceMoreWithItsRange) {
  EXPECT_EQ(Fetch("/a"), "first");
  client.ContentRangeBegin = "2";
  EXPECT_EQ(Fetch("/stale"), "fresh");
  EXPECT_EQ(client.StatusCode(), 206);
  // Dropped again on the new connection: that is the server's answer.
  EXPECT_EQ(Fetch("/a"), "first");
  TClientRecorder dead(client);
  ASSERT_TRUE(dead.Get(Url("/dead")));
  EXPECT_EQ(client.StatusCode(), 0);

  const auto requests = NewRequests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[1].Header("Range"), "bytes=2-");
  EXPECT_EQ(requests[2].Header("Range"), "bytes=2-");
  EXPECT_THAT(Connections(), ElementsAre(1, 1, 2, 2, 2, 3));
}

TEST_F(KeepAlive, AbortOrAServerCloseEndsTheKeptConnection) {
  EXPECT_EQ(Fetch("/a"), "first");
  client.Abort();  // idle: closes it
  TClientRecorder slow(client);
  client.URL = Url("/slow");
  client.GetAsync();
  ASSERT_TRUE(test::RunUntil([&] { return slow.Body == "partial"; }, 10000));
  client.Abort();
  ASSERT_TRUE(slow.WaitDone());
  EXPECT_EQ(slow.DoneError, 3);
  EXPECT_EQ(Fetch("/gone"), "ok");
  test::RunFor(600);  // the server closed it after 0.2 s: nothing is sent into it
  EXPECT_EQ(Fetch("/a"), "first");
  EXPECT_THAT(Connections(), ElementsAre(1, 2, 3, 4));
}

TEST_F(KeepAlive, RelocationPostProxyAndTheSettingOffTakeAConnectionEach) {
  EXPECT_EQ(Fetch("/moved"), "first");

  TMemoryInStream form("x=1");
  client.SendStream = &form;
  client.URL = Url("/plain");
  TClientRecorder posted(client);
  client.PostAsync();
  ASSERT_TRUE(posted.WaitDone());
  EXPECT_EQ(posted.Body, "plain");
  client.SendStream = nullptr;

  client.Proxy = "127.0.0.1:" + std::to_string(server_->Port());
  EXPECT_EQ(Fetch("/plain"), "plain");
  client.Proxy.clear();

  client.KeepAlive = false;
  EXPECT_EQ(Fetch("/plain"), "plain");
  EXPECT_EQ(Fetch("/plain"), "plain");

  const auto requests = NewRequests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].Header("Connection"), "keep-alive");
  for (std::size_t i = 2; i < requests.size(); ++i) {
    EXPECT_FALSE(requests[i].HasHeader("Connection")) << requests[i].RequestLine;
  }
  EXPECT_THAT(Connections(), ElementsAre(1, 2, 3, 4, 5, 6));
}

}  // namespace
}  // namespace kestrix
