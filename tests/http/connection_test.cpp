// Before any reply: the socket's name lookups, connects and closes, and the
// client's own failures (misuse, names that do not resolve, refused
// connections, aborts while resolving).
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "http/http_client.h"
#include "http/socket_errors.h"
#include "http/wsocket.h"
#include "http/wsocket_resolve.h"
#include "tests/http/client_recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"

namespace kestrix {
namespace {

using test::RunFor;
using test::RunUntil;
using test::TClientRecorder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct TSocketFixture : ::testing::Test {
  TWSocket socket;
  int connectError = -1, closedCount = 0, closedError = -1;

  void SetUp() override {
    socket.OnSessionConnected = [this](TCustomWSocket&, std::uint16_t e) { connectError = e; };
    socket.OnSessionClosed = [this](TCustomWSocket&, std::uint16_t e) {
      ++closedCount;
      closedError = e;
    };
  }
  void ConnectTo(const std::string& port, const char* addr = "127.0.0.1") {
    socket.SetAddr(addr);
    socket.SetPort(port);
    socket.Connect();
  }
  // A peer that answers any request with `reply`.
  bool ConnectToPeer(const std::string& reply) {
    peer_ = std::make_unique<test::TFaultServer>(R"({"routes": {"*": [{"send": ")" + reply +
                                                 R"("}]}})");
    if (!peer_->Start()) return false;
    ConnectTo(std::to_string(peer_->Port()));
    return RunUntil([&] { return connectError == 0; }, 5000);
  }
  std::unique_ptr<test::TFaultServer> peer_;
};

TEST_F(TSocketFixture, NameLookupAndItsCancellation) {
  std::vector<int> answers;
  socket.OnDnsLookupDone = [&](TCustomWSocket&, std::uint16_t e) { answers.push_back(e); };
  // A dotted address is answered inside the call, a name only later.
  socket.DnsLookup(" 127.000.0.001 ");
  EXPECT_THAT(answers, ElementsAre(0));
  EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
  answers.clear();
  socket.DnsLookup("localhost");
  EXPECT_TRUE(answers.empty());
  socket.CancelDnsLookup();
  EXPECT_THAT(answers, ElementsAre(WSAEINTR));
  RunFor(300);  // the cancelled answer never arrives
  EXPECT_THAT(answers, ElementsAre(WSAEINTR));
  EXPECT_THROW(socket.DnsLookup(""), std::exception);
}

TEST_F(TSocketFixture, AHostWithOnlyAnIpv6AddressIsReachedOverIpv6) {
  sockaddr_in6 sa{};
  sa.sin6_family = AF_INET6;
  sa.sin6_addr = in6addr_loopback;
  socklen_t len = sizeof sa;
  const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  auto* address = reinterpret_cast<sockaddr*>(&sa);
  if (fd < 0 || bind(fd, address, len) != 0 || listen(fd, 1) != 0 ||
      getsockname(fd, address, &len) != 0) {
    if (fd >= 0) close(fd);
    GTEST_SKIP() << "no IPv6 loopback on this machine";
  }
  int answered = -1;
  socket.OnDnsLookupDone = [&](TCustomWSocket&, std::uint16_t e) { answered = e; };
  socket.DnsLookup("::1");
  ASSERT_TRUE(RunUntil([&] { return answered >= 0; }, 10000));
  ASSERT_EQ(answered, 0);
  ASSERT_EQ(socket.DnsResult(), "::1");
  ConnectTo(std::to_string(ntohs(sa.sin6_port)), "::1");
  EXPECT_TRUE(RunUntil([&] { return connectError >= 0; }, 5000));
  EXPECT_EQ(connectError, 0);
  EXPECT_EQ(socket.PeerAddr(), "::1");
  socket.Close();
  close(fd);
}

TEST_F(TSocketFixture, CloseTwiceReportsOnce) {
  std::vector<std::pair<int, int>> states;
  socket.OnChangeState = [&](TCustomWSocket&, TSocketState from, TSocketState to) {
    states.emplace_back(from, to);
  };
  ASSERT_TRUE(ConnectToPeer(""));
  socket.Close();
  socket.Close();
  EXPECT_EQ(closedCount, 1);
  RunFor(50);
  EXPECT_EQ(closedCount, 1);
  EXPECT_THAT(states,
              ElementsAre(std::pair(wsClosed, wsOpened), std::pair(wsOpened, wsConnecting),
                          std::pair(wsConnecting, wsConnected), std::pair(wsConnected, wsClosed)));
}

TEST_F(TSocketFixture, ExceptionInAHandlerAbortsTheConnection) {
  std::string caught;
  socket.OnDataAvailable = [](TCustomWSocket&, std::uint16_t) {
    throw std::runtime_error("handler failed");
  };
  socket.OnBgException = [&](TCustomWSocket&, const std::exception& e, bool&) {
    caught = e.what();
  };
  ASSERT_TRUE(ConnectToPeer("x"));
  ASSERT_EQ(socket.Send("GET / HTTP/1.0\r\n\r\n", 18), 18);
  ASSERT_TRUE(RunUntil([&] { return closedCount > 0; }, 5000));
  EXPECT_EQ(caught, "handler failed");
  EXPECT_EQ(socket.State(), wsClosed);
}

TEST(WSocketResolve, PortsAndAddresses) {
  EXPECT_EQ(WSocketResolvePort(" 8080abc", "tcp"), 8080);
  EXPECT_THROW(WSocketResolvePort(std::string(32, '1'), "tcp"), std::exception);
  EXPECT_THROW(WSocketResolveHost("1.2.3.400"), std::exception);
  for (const char* bad : {"1.2.3", "1.2.3.4.5", "1. 2.3.4"})
    EXPECT_FALSE(DottedAddress(bad)) << bad;
}

// A URL on 127.0.0.1 where nothing listens.
std::string ClosedUrl(const std::string& path = "/") {
  return "http://127.0.0.1:" + std::to_string(test::FreePort()) + path;
}

TEST(HttpClient, APostWithoutDataOrARequestWhileBusyRaises) {
  THttpCli client;
  TClientRecorder rec(client);
  client.URL = ClosedUrl();
  EXPECT_THROW(client.PostAsync(), EHttpException);
  EXPECT_EQ(client.State(), httpReady);
  client.GetAsync();
  EXPECT_THROW(client.GetAsync(), EHttpException);
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

TEST(HttpClient, UnresolvableNameFails) {
  THttpCli client;
  TClientRecorder rec(client);
  // A label over 63 characters: the system resolver refuses the name without
  // asking any name server, so the test never leaves this machine.
  ASSERT_TRUE(rec.Get("http://" + std::string(64, 'a') + ".invalid/"));
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
