#include "http/wsocket.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http/send_buffer.h"
#include "http/socket_errors.h"
#include "http/wsocket_resolve.h"
#include "tests/support/event_wait.h"

namespace kestrix {
namespace {

using test::RunFor;
using test::RunUntil;
using ::testing::ElementsAre;

// A plain listening socket on the loopback address playing the peer.
class TListener {
 public:
  explicit TListener(bool ipv6 = false) {
    sockaddr_in sa4{};
    sa4.sin_family = AF_INET;
    sa4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in6 sa6{};
    sa6.sin6_family = AF_INET6;
    sa6.sin6_addr = in6addr_loopback;
    auto* sa = ipv6 ? reinterpret_cast<sockaddr*>(&sa6) : reinterpret_cast<sockaddr*>(&sa4);
    socklen_t len = ipv6 ? sizeof sa6 : sizeof sa4;
    fd_ = ::socket(sa->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ok_ = fd_ >= 0 && bind(fd_, sa, len) == 0 && listen(fd_, 4) == 0 &&
          getsockname(fd_, sa, &len) == 0;
    port_ = ntohs(ipv6 ? sa6.sin6_port : sa4.sin_port);
  }
  ~TListener() {
    if (peer_ >= 0) close(peer_);
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return ok_; }
  std::string Port() const { return std::to_string(port_); }
  int Peer() const { return peer_; }
  int Accept() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 5000) == 1) peer_ = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return peer_;
  }
  std::string Read(std::size_t count) {
    std::string data;
    pollfd p{peer_, POLLIN, 0};
    char buf[4096];
    ssize_t n = 0;
    while (data.size() < count && poll(&p, 1, 5000) == 1 &&
           (n = recv(peer_, buf, sizeof buf, 0)) > 0)
      data.append(buf, static_cast<std::size_t>(n));
    return data;
  }

 private:
  int fd_ = -1, peer_ = -1, port_ = 0;
  bool ok_ = false;
};

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
  bool ConnectAccepted(TListener& peer) {
    ConnectTo(peer.Port());
    return peer.Accept() >= 0;
  }
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
  ASSERT_TRUE(RunUntil([&] { return !answers.empty(); }, 10000));
  EXPECT_EQ(answers[0], 0);
  EXPECT_FALSE(socket.DnsResult().empty());

  answers.clear();
  socket.DnsLookup("localhost");
  socket.CancelDnsLookup();
  EXPECT_THAT(answers, ElementsAre(WSAEINTR));
  RunFor(300);  // the cancelled answer never arrives
  EXPECT_THAT(answers, ElementsAre(WSAEINTR));
  EXPECT_THROW(socket.DnsLookup(""), std::exception);
}

TEST_F(TSocketFixture, AHostWithOnlyAnIpv6AddressIsReachedOverIpv6) {
  TListener peer(true);
  if (!peer.Ok()) GTEST_SKIP() << "no IPv6 loopback on this machine";
  int answered = -1;
  socket.OnDnsLookupDone = [&](TCustomWSocket&, std::uint16_t e) { answered = e; };
  socket.DnsLookup("::1");
  ASSERT_TRUE(RunUntil([&] { return answered >= 0; }, 10000));
  ASSERT_EQ(answered, 0);
  ASSERT_EQ(socket.DnsResult(), "::1");
  ConnectTo(peer.Port(), "::1");
  EXPECT_TRUE(RunUntil([&] { return connectError >= 0; }, 5000));
  EXPECT_EQ(connectError, 0);
  EXPECT_EQ(socket.PeerAddr(), "::1");
  socket.Close();
}

TEST_F(TSocketFixture, SendQueuesChunksAndReportsDataSentLater) {
  TListener peer;
  ASSERT_TRUE(ConnectAccepted(peer));
  ASSERT_TRUE(RunUntil([&] { return connectError == 0; }, 5000));
  std::vector<int> pieces;
  int dataSent = 0;
  socket.OnSendData = [&](TCustomWSocket&, int n) { pieces.push_back(n); };
  socket.OnDataSent = [&](TCustomWSocket&, std::uint16_t) { ++dataSent; };
  std::string data;
  for (int i = 0; i < 4000; ++i) data += static_cast<char>('a' + i % 26);
  EXPECT_EQ(socket.Send(data.data(), 4000), 4000);
  EXPECT_EQ(dataSent, 0);
  EXPECT_THAT(pieces, ElementsAre(1514, 1514, 972));
  ASSERT_TRUE(RunUntil([&] { return dataSent > 0; }, 5000));
  EXPECT_EQ(peer.Read(4000), data);
}

TEST_F(TSocketFixture, PeerCloseIsReportedOnceAfterTheDataWasRead) {
  TListener peer;
  std::string received;
  socket.OnDataAvailable = [&](TCustomWSocket& s, std::uint16_t) {
    char buf[3];  // smaller than the data: the receive loop calls again
    int n = s.Receive(buf, sizeof buf);
    if (n > 0) received.append(buf, static_cast<std::size_t>(n));
  };
  ASSERT_TRUE(ConnectAccepted(peer));
  ASSERT_EQ(send(peer.Peer(), "hello world", 11, 0), 11);
  shutdown(peer.Peer(), SHUT_WR);
  ASSERT_TRUE(RunUntil([&] { return closedCount > 0; }, 5000));
  RunFor(50);
  EXPECT_EQ(received, "hello world");
  EXPECT_EQ(closedCount, 1);
  EXPECT_EQ(closedError, 0);
  EXPECT_EQ(socket.Addr(), "");  // settings return to their defaults
  EXPECT_EQ(socket.ReadCount(), 11);
}

TEST_F(TSocketFixture, CloseTwiceReportsOnce) {
  TListener peer;
  std::vector<std::pair<int, int>> states;
  socket.OnChangeState = [&](TCustomWSocket&, TSocketState from, TSocketState to) {
    states.emplace_back(from, to);
  };
  ConnectTo(peer.Port());
  ASSERT_TRUE(RunUntil([&] { return connectError == 0; }, 5000));
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
  TListener peer;
  std::string caught;
  socket.OnDataAvailable = [](TCustomWSocket&, std::uint16_t) {
    throw std::runtime_error("handler failed");
  };
  socket.OnBgException = [&](TCustomWSocket&, const std::exception& e, bool&) {
    caught = e.what();
  };
  ASSERT_TRUE(ConnectAccepted(peer));
  ASSERT_EQ(send(peer.Peer(), "x", 1, 0), 1);
  ASSERT_TRUE(RunUntil([&] { return closedCount > 0; }, 5000));
  EXPECT_EQ(caught, "handler failed");
  EXPECT_EQ(socket.State(), wsClosed);
}

TEST(SendBuffer, FillsTheLastChunkBeforeStartingANewOne) {
  TSendBuffer buffer;
  buffer.Append(std::string(1000, 'a').data(), 1000);
  buffer.Append(std::string(1000, 'b').data(), 1000);
  EXPECT_EQ(buffer.ChunkCount(), 2u);
  EXPECT_EQ(buffer.Front().size(), 1514u);
  buffer.Consume(1500);  // a partial send leaves the rest of the chunk first
  EXPECT_EQ(buffer.Front(), std::string(14, 'b'));
  buffer.Consume(14);
  EXPECT_EQ(buffer.Front(), std::string(486, 'b'));
  buffer.Consume(486);
  EXPECT_TRUE(buffer.Empty());
}

TEST(WSocketResolve, PortsAndAddresses) {
  EXPECT_EQ(WSocketResolvePort(" 8080abc", "tcp"), 8080);
  EXPECT_THROW(WSocketResolvePort(std::string(32, '1'), "tcp"), std::exception);
  EXPECT_THROW(WSocketResolveHost("1.2.3.400"), std::exception);
  for (const char* bad : {"1.2.3", "1.2.3.4.5", "1. 2.3.4"})
    EXPECT_FALSE(DottedAddress(bad)) << bad;
}

}  // namespace
}  // namespace kestrix
