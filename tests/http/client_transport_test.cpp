// The client against nginx on 127.0.0.1 over plain TCP, TLS and our CONNECT
// proxy, with certificates made at test time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <random>

#include "http/http_client.h"
#include "http/socket_errors.h"
#include "tests/http/client_recorder.h"
#include "tests/support/case_file.h"
#include "tests/support/connect_proxy.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_certs.h"

namespace kestrix {
namespace {

using test::RunUntil;
using test::TClientRecorder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

enum class TTransport { Plain, Tls, Tunnel };

const char* const kIndex = "<html><body>index</body></html>\n";

// The site and its servers, each started when a test first asks for it.
class TSites {
 public:
  TSites() {
    site_.WriteFile("index.html", kIndex);
    site_.WriteFile("new.html", "<html>new</html>\n");
    site_.WriteFile("dir/page.html", "<html>page</html>\n");
    std::mt19937 random(7);
    big_.resize(3 * 1024 * 1024 + 123);
    for (char& c : big_) c = static_cast<char>(random());
    site_.WriteFile("big.bin", big_);
  }
  const std::string& Big() const { return big_; }
  const test::TTestCerts& Certs() {
    if (!certs_) {
      certs_ = std::make_unique<test::TTestCerts>();
      if (!certs_->Make()) ADD_FAILURE() << certs_->Error();
    }
    return *certs_;
  }
  // "plain"; "start", plain with a /start that leads to "valid"; or the
  // certificate's name: "valid", "wronghost", "expired", "self".
  test::TNginxServer& Server(const std::string& name) {
    auto& server = servers_[name];
    if (server) return *server;
    std::string config = R"(
        keepalive_requests 2;)";
    if (name == "start")
      config += "location = /start { return 301 " + Server("valid").BaseUrl() + "/index.html; }";
    server = std::make_unique<test::TNginxServer>(site_.Path(), config);
    if (name != "plain" && name != "start") {
      const std::map<std::string, test::TCertPair> pairs = {{"valid", Certs().Valid()},
                                                            {"wronghost", Certs().WrongHost()},
                                                            {"expired", Certs().Expired()},
                                                            {"self", Certs().SelfSigned()}};
      server->UseTls(pairs.at(name).Cert, pairs.at(name).Key);
    }
    if (!server->Start()) ADD_FAILURE() << server->Error();
    return *server;
  }

 private:
  test::TScratchDir site_;
  std::string big_;
  std::unique_ptr<test::TTestCerts> certs_;
  std::map<std::string, std::unique_ptr<test::TNginxServer>> servers_;
};

TSites& Sites() {
  static TSites sites;
  return sites;
}

std::string HostPort(const test::TNginxServer& server) {
  return "127.0.0.1:" + std::to_string(server.Port());
}

// The same exchanges over each transport, one after another in one test so
// that each transport sets up its certificates and proxy once.
class HttpOver : public ::testing::TestWithParam<TTransport> {
 protected:
  void SetUp() override {
    if (GetParam() == TTransport::Tunnel) {
      ASSERT_TRUE(proxy_.Start()) << proxy_.Error();
    }
  }
  // A client for this transport, as a download worker would set it up.
  std::unique_ptr<THttpCli> NewClient() {
    auto client = std::make_unique<THttpCli>();
    if (GetParam() != TTransport::Plain) client->TlsSettings.ExtraCaFile = Sites().Certs().CaFile();
    if (GetParam() == TTransport::Tunnel)
      client->Proxy = "127.0.0.1:" + std::to_string(proxy_.Port());
    return client;
  }
  test::TNginxServer& Server() {
    return Sites().Server(GetParam() == TTransport::Plain ? "plain" : "valid");
  }
  std::string Url(const std::string& path) { return Server().BaseUrl() + path; }

  test::TConnectProxy proxy_;
};

std::string TransportName(const ::testing::TestParamInfo<TTransport>& info) {
  return std::array{"Plain", "Tls", "Tunnel"}[static_cast<std::size_t>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Transports, HttpOver,
                         ::testing::Values(TTransport::Plain, TTransport::Tls, TTransport::Tunnel),
                         TransportName);

TEST_P(HttpOver, PagesFilesAndRanges) {
  const std::string& big = Sites().Big();
  auto client = NewClient();
  TClientRecorder rec(*client);
  std::vector<THttpState> states;
  client->OnStateChange = [&](THttpCli& c) { states.push_back(c.State()); };
  // A page, with the events and states workers rely on.
  ASSERT_TRUE(rec.Get(Url("/index.html")));
  EXPECT_EQ(rec.DoneError, 0) << client->ReasonPhrase();
  EXPECT_EQ(rec.Body, kIndex);
  EXPECT_EQ(client->StatusCode(), 200);
  EXPECT_EQ(client->ContentType(), "text/html");
  EXPECT_EQ(client->ContentLength(), 32);
  EXPECT_EQ(client->SocketLastError(), 0);  // a TLS server sent its closing notice
  EXPECT_THAT(rec.Events, ElementsAre("HeaderEnd", "DocBegin", "DocData", "DocEnd", "RequestDone"));
  EXPECT_EQ(rec.StateAtDone, httpReady);
  EXPECT_THAT(states, ElementsAre(httpNotConnected, httpDnsLookup, httpDnsLookupDone, httpConnected,
                                  httpWaitingHeader, httpWaitingBody, httpReady));
  if (GetParam() != TTransport::Plain) {
    // The next connection resumes the session, through a tunnel too: the
    // session belongs to the origin.
    ASSERT_TRUE(rec.Get(Url("/new.html")));
    EXPECT_TRUE(client->CtrlSocket().TlsResumed());
  }

  // A large file streamed to disk.
  test::TScratchDir out;
  {
    TFileOutStream file(out.Path() + "big.bin", TFileOutStream::Create);
    client->ReceiveStream = &file;
    int pieces = 0;
    client->OnDocData = [&](THttpCli&, const char*, int length) {
      ++pieces;
      EXPECT_LE(length, 8192);
    };
    ASSERT_TRUE(rec.Get(Url("/big.bin"), 30000));
    EXPECT_GT(pieces, 3 * 1024 / 8);
    client->ReceiveStream = nullptr;
  }
  EXPECT_EQ(client->ReceivedCount(), static_cast<std::int64_t>(big.size()));
  EXPECT_TRUE(test::ReadWholeFile(out.Path() + "big.bin") == big);

  // A range resumes at an offset.
  TClientRecorder ranged(*client);
  client->ContentRangeBegin = "1000";
  ASSERT_TRUE(ranged.Get(Url("/big.bin"), 30000));
  EXPECT_EQ(client->StatusCode(), 206);
  EXPECT_EQ(client->ContentLength(), static_cast<std::int64_t>(big.size() - 1000));
  EXPECT_TRUE(ranged.Body == big.substr(1000));
  EXPECT_EQ(client->ContentRangeBegin, "1000");  // taken from "content-range"
  EXPECT_EQ(client->ContentRangeEnd, std::to_string(big.size() - 1));
}

// What needs one transport only.
class HttpNginx : public ::testing::Test {
 protected:
  void TrustOurCa() { client.TlsSettings.ExtraCaFile = Sites().Certs().CaFile(); }
  static std::string Url(const std::string& path, const char* server = "plain") {
    return Sites().Server(server).BaseUrl() + path;
  }

  THttpCli client;
  TClientRecorder rec{client};
};

TEST_F(HttpNginx, NextRequestMayStartFromRequestDone) {
  int started = 1;
  client.OnRequestDone = [&](THttpCli& c, THttpRequest, std::uint16_t) {
    rec.Body += "|";
    if (started++ == 3) return;
    c.URL = Url(started == 2 ? "/new.html" : "/index.html");
    c.GetAsync();
  };
  client.URL = Url("/index.html");
  client.GetAsync();
  ASSERT_TRUE(RunUntil([&] { return started > 3; }, 10000));
  EXPECT_EQ(rec.Body, std::string(kIndex) + "|<html>new</html>\n|" + kIndex + "|");
}

// Grants one read of up to 4096 bytes, then refuses one for 1 ms, in turn.
struct TTakeTurns : TReadThrottle {
  TReadAllowance Allow(std::size_t wanted) override {
    if ((grant = !grant)) return {std::min<std::size_t>(wanted, 4096), 0};
    ++Pauses;
    return {0, 1};
  }
  void Consumed(std::size_t) override {}
  bool grant = false;
  int Pauses = 0;
};

// Decrypted bytes the TLS layer holds never make the connection readable
// again: the client must look for them itself (the last record of big.bin
// is larger than one read). Changed certificate settings end the connection.
TEST_F(HttpNginx, Http11BodiesOverTlsOnAKeptConnectionArriveWholeWithAndWithoutAThrottle) {
  TrustOurCa();
  test::TNginxServer& valid = Sites().Server("valid");
  TTakeTurns throttle;
  const std::size_t before = valid.AccessLog().size();
  client.HttpVersion = http11;
  client.KeepAlive = true;
  for (TReadThrottle* brake : std::initializer_list<TReadThrottle*>{nullptr, &throttle}) {
    client.ReadThrottle = brake;
    for (const char* path : {"/big.bin", "/index.html"}) {
      SCOPED_TRACE(path);
      TClientRecorder r(client);
      ASSERT_TRUE(r.Get(valid.BaseUrl() + path, 20000));
      EXPECT_EQ(r.DoneError, 0) << client.ReasonPhrase();
      EXPECT_TRUE(r.Body == (path[1] == 'b' ? Sites().Big() : kIndex)) << r.Body.size();
      client.TlsSettings.AcceptUnverified = true;
    }
  }
  EXPECT_GT(throttle.Pauses, 200);
  // Two requests a connection at most; the first ended as the settings changed.
  RunUntil([&] { return valid.AccessLog().size() >= before + 4; }, 5000);
  EXPECT_EQ(valid.ConnectionsSince(before), 3u);
}

// The rows of tests/fixtures/http/certificates.txt.
TEST_F(HttpNginx, CertificateFailuresEndTheRequestWithTheirOwnError) {
  const std::map<std::string, int> errors = {{"ok", 0},
                                             {"host", kErrCertHostMismatch},
                                             {"expired", kErrCertExpired},
                                             {"untrusted", kErrCertNotTrusted},
                                             {"handshake", kErrTlsHandshake}};
  const auto rows = test::ReadRows("http/certificates.txt");
  ASSERT_GE(rows.size(), 9u);
  for (const auto& r : rows) {
    SCOPED_TRACE(r[0] + " " + r[1] + " " + r[2] + " " + r[3]);
    test::TNginxServer& server = Sites().Server(r[0]);
    THttpCli cli;
    cli.TlsSettings.ExtraCaFile = r[1] == "ca"  ? Sites().Certs().CaFile()
                                  : r[1] == "-" ? ""
                                                : "/nonexistent/" + r[1];
    cli.TlsSettings.AcceptUnverified = r[2] == "1";
    test::TConnectProxy proxy;
    if (r[3] == "1") {
      ASSERT_TRUE(proxy.Start()) << proxy.Error();
      cli.Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    }
    TClientRecorder got(cli);
    const std::size_t served = server.AccessLog().size();
    ASSERT_TRUE(got.Get(server.BaseUrl() + "/index.html"));
    EXPECT_EQ(got.DoneError, errors.at(r[4]));
    if (r[4] == "ok") {
      EXPECT_EQ(got.Body, kIndex);
      continue;
    }
    EXPECT_THAT(cli.ReasonPhrase(), HasSubstr(r[5]));
    EXPECT_THAT(got.Events, ElementsAre("RequestDone"));
    EXPECT_EQ(got.Body, "");
    EXPECT_EQ(server.AccessLog().size(), served);  // no request ever left
  }
}

TEST(HttpsFault, HandshakeCutAndBodiesCutWithoutCloseNotify) {
  const test::TTestCerts& certs = Sites().Certs();
  const std::string tls =
      R"("tls": {"cert": ")" + certs.Valid().Cert + R"(", "key": ")" + certs.Valid().Key + R"(")";
  test::TFaultServer cut("{" + tls + R"(, "close_in_handshake": true}, "routes": {}})");
  ASSERT_TRUE(cut.Start()) << cut.Error();
  test::TFaultServer body("{" + tls + R"(}, "routes": {
      "/short": [{"send": "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n"},
                 {"repeat": "x", "count": 100}],
      "/whole": [{"send": "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello"}],
      "/open": [{"send": "HTTP/1.0 200 OK\r\n\r\n"}, {"repeat": "y", "count": 50}]}})");
  ASSERT_TRUE(body.Start()) << body.Error();
  auto url = [](const test::TFaultServer& s, const char* path) {
    return "https://127.0.0.1:" + std::to_string(s.Port()) + path;
  };

  THttpCli client;
  client.TlsSettings.ExtraCaFile = certs.CaFile();
  TClientRecorder rec(client);
  ASSERT_TRUE(rec.Get(url(cut, "/")));
  EXPECT_EQ(rec.DoneError, kErrTlsHandshake);
  EXPECT_THAT(client.ReasonPhrase(), HasSubstr("TLS handshake failed: 127.0.0.1"));

  struct Case {
    const char* path;
    std::size_t bytes;
    int socketError;  // what the download worker judges the body by
  } cases[] = {
      // Judged by the announced length: short here, whole there.
      {"/short", 100, 0},
      {"/whole", 5, 0},
      // Nothing tells where a close-delimited body ends: never complete.
      {"/open", 50, kErrShortBody},
  };
  for (const Case& c : cases) {
    TClientRecorder r(client);
    ASSERT_TRUE(r.Get(url(body, c.path))) << c.path;
    EXPECT_EQ(r.DoneError, 0) << c.path;
    EXPECT_EQ(r.Body.size(), c.bytes) << c.path;
    EXPECT_EQ(client.SocketLastError(), c.socketError) << c.path;
  }
  EXPECT_LT(client.ReceivedCount(), 1000);
}

// A proxy that asks for credentials, and the client giving them.
class HttpsProxy : public HttpNginx {
 protected:
  void SetUp() override {
    TrustOurCa();
    ASSERT_TRUE(proxy.Start()) << proxy.Error();
    client.Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    client.ProxyUsername = "ann";
    client.ProxyPassword = "se cret";
  }
  test::TConnectProxy proxy{"ann:se cret"};
};

// A plain request goes to the proxy whole; relocated to https, it goes on
// through a tunnel that carries the origin's own requests.
TEST_F(HttpsProxy, TheProxySeesOnlyTheTunnelAndItsCredentials) {
  test::TNginxServer& valid = Sites().Server("valid");
  const std::size_t logged = valid.AccessLog().size();
  ASSERT_TRUE(rec.Get(Url("/start", "start")));
  EXPECT_EQ(rec.DoneError, 0);
  EXPECT_EQ(rec.Body, kIndex);
  client.HttpVersion = http11;  // the tunnel carries HTTP/1.1 all the same
  client.AcceptCompression = true;
  TClientRecorder second(client);
  ASSERT_TRUE(second.Get(valid.BaseUrl() + "/dir/page.html"));
  EXPECT_EQ(second.Body, "<html>page</html>\n");

  const std::string connect = "CONNECT " + HostPort(valid) + " HTTP/1.0";
  std::vector<std::string> lines;
  for (const auto& r : proxy.Requests()) {
    lines.push_back(r.RequestLine);
    EXPECT_EQ(r.Header("Proxy-Authorization"), "Basic YW5uOnNlIGNyZXQ=");
  }
  EXPECT_THAT(lines, ElementsAre("GET " + Url("/start", "start") + " HTTP/1.0", connect, connect));
  EXPECT_EQ(proxy.Requests()[1].Header("User-Agent"), "Mozilla/3.0 (compatible)");
  std::vector<std::string> log = valid.AccessLog(logged + 2);
  ASSERT_EQ(log.size(), logged + 2);
  EXPECT_EQ(log[log.size() - 2], "200 32 GET /index.html");
  EXPECT_THAT(log.back(), ::testing::MatchesRegex("200 [0-9]+ GET /dir/page.html"));

  // The origin reads an origin-form request, without the proxy's credentials.
  const test::TTestCerts& certs = Sites().Certs();
  test::TFaultServer origin(R"({"tls": {"cert": ")" + certs.Valid().Cert + R"(", "key": ")" +
                            certs.Valid().Key + R"("}, "routes": {"/x?q=1": [
      {"send": "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}]}})");
  ASSERT_TRUE(origin.Start()) << origin.Error();
  TClientRecorder direct(client);
  ASSERT_TRUE(direct.Get("https://127.0.0.1:" + std::to_string(origin.Port()) + "/x?q=1"));
  EXPECT_EQ(direct.Body, "ok");
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0].RequestLine, "GET /x?q=1 HTTP/1.1");
  EXPECT_EQ(origin.Requests()[0].Header("Host"), "127.0.0.1:" + std::to_string(origin.Port()));
  EXPECT_FALSE(origin.Requests()[0].HasHeader("Proxy-Authorization"));
}

TEST_F(HttpsProxy, RefusedOrUnansweredTunnelsFailTheRequestOnce) {
  const std::string valid = HostPort(Sites().Server("valid"));
  const struct {
    const char* user;
    const char* password;
    std::string host, answer;
  } cases[] = {
      {"ann", "wrong", valid, "407 Proxy Authentication Required"},
      {"", "", valid, "407 Proxy Authentication Required"},
      // The proxy answers 403 to any destination off the loopback range.
      {"ann", "se cret", "192.0.2.1", "403 Forbidden"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host + " " + c.user);
    const std::size_t asked = proxy.Requests().size();
    client.ProxyUsername = c.user;
    client.ProxyPassword = c.password;
    TClientRecorder refused(client);
    ASSERT_TRUE(refused.Get("https://" + c.host + "/index.html"));
    EXPECT_EQ(refused.DoneError, kErrProxyTunnel);
    EXPECT_EQ(client.StatusCode(), std::stoi(c.answer));
    const std::string target = c.host.find(':') == std::string::npos ? c.host + ":443" : c.host;
    EXPECT_EQ(client.ReasonPhrase(), "proxy refused the tunnel to " + target + ": " + c.answer);
    EXPECT_EQ(refused.Body, "");
    EXPECT_EQ(proxy.Requests().size(), asked + 1);  // asked once, never again
  }

  test::TFaultServer mute(R"({"routes": {"*": []}})");
  ASSERT_TRUE(mute.Start()) << mute.Error();
  client.Proxy = "127.0.0.1:" + std::to_string(mute.Port());
  TClientRecorder closed(client);
  ASSERT_TRUE(closed.Get("https://" + valid + "/index.html"));
  EXPECT_EQ(closed.DoneError, kErrProxyTunnel);
  EXPECT_EQ(client.ReasonPhrase(),
            "proxy closed the connection before opening the tunnel to " + valid);
  EXPECT_EQ(mute.Requests().size(), 1u);
}

}  // namespace
}  // namespace kestrix
