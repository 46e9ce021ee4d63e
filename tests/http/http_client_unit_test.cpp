// The client's own failure paths: misuse, names that do not resolve, refused
// connections, aborts while resolving.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "http/http_client.h"
#include "http/socket_errors.h"
#include "tests/http/client_recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/event_wait.h"

namespace kestrix {
namespace {

using test::TClientRecorder;
using ::testing::HasSubstr;

// A URL on 127.0.0.1 where nothing listens.
std::string ClosedUrl(const std::string& path = "/") {
  return "http://127.0.0.1:" + std::to_string(test::FreePort()) + path;
}

TEST(HttpClient, MisuseRaisesWithItsCode) {
  THttpCli client;
  TClientRecorder rec(client);
  client.URL = ClosedUrl();
  auto raised = [](const std::function<void()>& action) {
    try {
      action();
    } catch (const EHttpException& e) {
      return std::to_string(e.ErrorCode) + " " + e.what();
    }
    return std::string("(nothing)");
  };
  EXPECT_EQ(raised([&] { client.PostAsync(); }), "2 HTTP component has nothing to post");
  EXPECT_EQ(client.State(), httpReady);
  client.GetAsync();
  EXPECT_EQ(raised([&] { client.GetAsync(); }), "1 HTTP component is busy");
  ASSERT_TRUE(rec.WaitDone());
}

TEST(HttpClient, RefusedConnectionOrUnsafeHostFailsOnce) {
  const struct {
    std::string url;
    int error;
    const char* reason;
  } cases[] = {
      {ClosedUrl("/x"), WSAECONNREFUSED, "Connection refused (Error #10061)"},
      {"http://bad\r\nhost/x", WSAHOST_NOT_FOUND, "invalid host name"},
      {"http:///x", WSAHOST_NOT_FOUND, "invalid host name"},  // used to stay busy for ever
      {"/rooted", WSAHOST_NOT_FOUND, "invalid host name"},
      {"http://127.0.0.1:99999/x", WSAEINVAL, "can't connect"},  // not a silent success
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    THttpCli client;
    TClientRecorder rec(client);
    ASSERT_TRUE(rec.Get(c.url));
    test::RunFor(50);
    EXPECT_EQ(rec.Done, 1);
    EXPECT_EQ(rec.DoneError, c.error);
    EXPECT_EQ(rec.StateAtDone, httpReady);
    EXPECT_EQ(client.StatusCode(), 404);
    EXPECT_THAT(client.ReasonPhrase(), HasSubstr(c.reason));
  }
}

TEST(HttpClient, UnresolvableNameFailsWithinBoundedTime) {
  THttpCli client;
  TClientRecorder rec(client);
  if (!rec.Get("http://no-such-host.invalid/", 15000)) {
    // A resolver that never answers must not hang the run: give up cleanly.
    client.Abort();
    ASSERT_TRUE(rec.WaitDone(2000));
    GTEST_SKIP() << "the system resolver did not answer within 15 s";
  }
  EXPECT_GE(rec.DoneError, WSAHOST_NOT_FOUND);
  EXPECT_LE(rec.DoneError, WSANO_DATA);
  EXPECT_EQ(client.StatusCode(), 404);
  EXPECT_EQ(client.ReasonPhrase(), "can't resolve hostname to IP address");
}

TEST(HttpClient, AbortWhileResolvingFinishesOnce) {
  THttpCli client;
  TClientRecorder rec(client);
  client.URL = "http://localhost:1/";
  client.GetAsync();
  ASSERT_EQ(client.State(), httpDnsLookup);
  client.Abort();
  EXPECT_EQ(client.State(), httpReady);
  EXPECT_EQ(rec.Done, 0);  // delivered later, never inside Abort
  ASSERT_TRUE(rec.WaitDone());
  test::RunFor(300);
  EXPECT_EQ(rec.Done, 1);
  EXPECT_EQ(rec.DoneError, 3);
  EXPECT_EQ(client.ReasonPhrase(), "Connection aborted on request");
}

TEST(HttpClient, DestroyedWithNotificationsPendingIsSafe) {
  int done = 0;
  for (const char* host : {"localhost", "127.0.0.1"}) {
    // A lookup answer, a connect and a set-ready are all still on their way.
    auto client = std::make_unique<THttpCli>();
    client->OnRequestDone = [&](THttpCli&, THttpRequest, std::uint16_t) { ++done; };
    client->URL = std::string("http://") + host + ":" + std::to_string(test::FreePort()) + "/";
    client->GetAsync();
    client.reset();
  }
  test::RunFor(500);
  EXPECT_EQ(done, 0);
}

}  // namespace
}  // namespace kestrix
