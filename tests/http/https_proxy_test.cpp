// https through our CONNECT proxy on 127.0.0.1: the proxy sees only the
// tunnel request, TLS is checked against the origin, the proxy's
// credentials go to the proxy alone, and a refused tunnel ends the request
// once with the proxy's status.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "http/http_client.h"
#include "http/socket_errors.h"
#include "tests/http/client_recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/connect_proxy.h"
#include "tests/support/fault_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_certs.h"

namespace kestrix {
namespace {

using test::TClientRecorder;
using ::testing::HasSubstr;

class HttpsProxy : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    certs_ = std::make_unique<test::TTestCerts>();
    if (!certs_->Make()) FAIL() << certs_->Error();
    site_ = std::make_unique<test::TScratchDir>();
    site_->WriteFile("index.html", "<html>tunnelled</html>\n");
    site_->WriteFile("dir/page.html", "<html>page</html>\n");
    for (auto [server, pair] :
         {std::pair{&valid_, certs_->Valid()}, {&wrongHost_, certs_->WrongHost()}}) {
      *server = std::make_unique<test::TNginxServer>(site_->Path());
      (*server)->UseTls(pair.Cert, pair.Key);
      if (!(*server)->Start()) FAIL() << (*server)->Error();
    }
    plain_ = std::make_unique<test::TNginxServer>(
        site_->Path(), "location = /start { return 301 " + valid_->BaseUrl() + "/index.html; }\n" +
                           "location = /dir/moved { return 302 /dir/page.html; }");
    if (!plain_->Start()) FAIL() << plain_->Error();
  }
  static void TearDownTestSuite() {
    for (auto* server : {&valid_, &wrongHost_, &plain_}) server->reset();
    site_.reset();
    certs_.reset();
  }
  void SetUp() override { client.TlsSettings.ExtraCaFile = certs_->CaFile(); }

  void UseProxy(const test::TConnectProxy& proxy) {
    client.Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  }
  static std::vector<std::string> Lines(const test::TConnectProxy& proxy) {
    std::vector<std::string> lines;
    for (const auto& r : proxy.Requests()) lines.push_back(r.RequestLine);
    return lines;
  }
  static std::string HostPort(const test::TNginxServer& server) {
    return "127.0.0.1:" + std::to_string(server.Port());
  }

  inline static std::unique_ptr<test::TTestCerts> certs_;
  inline static std::unique_ptr<test::TScratchDir> site_;
  inline static std::unique_ptr<test::TNginxServer> valid_, wrongHost_, plain_;
  THttpCli client;
  TClientRecorder rec{client};
};

TEST_F(HttpsProxy, PagesComeThroughATunnelTheProxyCannotRead) {
  test::TConnectProxy proxy;
  ASSERT_TRUE(proxy.Start()) << proxy.Error();
  UseProxy(proxy);
  ASSERT_TRUE(rec.Get(valid_->BaseUrl() + "/index.html"));
  EXPECT_EQ(rec.DoneError, 0);
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(rec.Body, "<html>tunnelled</html>\n");

  client.HttpVersion = http11;  // the tunnel carries HTTP/1.1 all the same
  client.AcceptCompression = true;
  TClientRecorder second(client);
  ASSERT_TRUE(second.Get(valid_->BaseUrl() + "/dir/page.html"));
  EXPECT_EQ(second.Body, "<html>page</html>\n");
  // The session belongs to the origin, so the second tunnel resumes it.
  EXPECT_TRUE(client.CtrlSocket().TlsResumed());

  const std::string connect = "CONNECT " + HostPort(*valid_) + " HTTP/1.0";
  EXPECT_THAT(Lines(proxy), ::testing::ElementsAre(connect, connect));
  // The origin itself got both requests.
  std::vector<std::string> log = valid_->AccessLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "200 23 GET /index.html");
  EXPECT_EQ(log.back(), "200 18 GET /dir/page.html");
}

TEST_F(HttpsProxy, CredentialsGoToTheProxyAndWrongOnesEndTheRequestOnce) {
  test::TConnectProxy proxy("ann:se cret");
  ASSERT_TRUE(proxy.Start()) << proxy.Error();
  UseProxy(proxy);
  client.ProxyUsername = "ann";
  client.ProxyPassword = "se cret";
  ASSERT_TRUE(rec.Get(valid_->BaseUrl() + "/index.html"));
  EXPECT_EQ(rec.DoneError, 0);
  EXPECT_EQ(rec.Body, "<html>tunnelled</html>\n");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].Header("Proxy-Authorization"), "Basic YW5uOnNlIGNyZXQ=");

  // The origin reads an origin-form request, without the proxy's credentials.
  test::TFaultServer origin(R"({"tls": {"cert": ")" + certs_->Valid().Cert + R"(", "key": ")" +
                            certs_->Valid().Key + R"("}, "routes": {"/x?q=1": [
      {"send": "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"}]}})");
  ASSERT_TRUE(origin.Start()) << origin.Error();
  TClientRecorder direct(client);
  ASSERT_TRUE(direct.Get("https://127.0.0.1:" + std::to_string(origin.Port()) + "/x?q=1"));
  EXPECT_EQ(direct.Body, "ok");
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0].RequestLine, "GET /x?q=1 HTTP/1.0");
  EXPECT_EQ(origin.Requests()[0].Header("Host"), "127.0.0.1:" + std::to_string(origin.Port()));
  EXPECT_FALSE(origin.Requests()[0].HasHeader("Proxy-Authorization"));

  struct Case {
    const char* user;
    const char* password;
  } cases[] = {{"ann", "wrong"}, {"", ""}};
  for (const Case& c : cases) {
    const std::size_t asked = proxy.Requests().size();
    client.ProxyUsername = c.user;
    client.ProxyPassword = c.password;
    TClientRecorder refused(client);
    ASSERT_TRUE(refused.Get(valid_->BaseUrl() + "/index.html")) << c.user;
    EXPECT_EQ(refused.DoneError, kErrProxyTunnel) << c.user;
    EXPECT_EQ(client.StatusCode(), 407) << c.user;
    EXPECT_EQ(client.ReasonPhrase(), "proxy refused the tunnel to " + HostPort(*valid_) +
                                         ": 407 Proxy Authentication Required");
    EXPECT_EQ(refused.Body, "");
    EXPECT_EQ(proxy.Requests().size(), asked + 1) << c.user;  // asked once, never again
  }
}

TEST_F(HttpsProxy, CertificateIsCheckedAgainstTheOrigin) {
  test::TConnectProxy proxy;
  ASSERT_TRUE(proxy.Start()) << proxy.Error();
  UseProxy(proxy);
  const std::size_t served = wrongHost_->AccessLog().size();
  ASSERT_TRUE(rec.Get(wrongHost_->BaseUrl() + "/index.html"));
  EXPECT_EQ(rec.DoneError, kErrCertHostMismatch);
  EXPECT_THAT(client.ReasonPhrase(), HasSubstr("certificate does not match host: 127.0.0.1"));
  EXPECT_EQ(wrongHost_->AccessLog().size(), served);
}

TEST_F(HttpsProxy, PlainRequestsAreForwardedAndFollowedOnToHttps) {
  test::TConnectProxy proxy;
  ASSERT_TRUE(proxy.Start()) << proxy.Error();
  UseProxy(proxy);
  ASSERT_TRUE(rec.Get(plain_->BaseUrl() + "/dir/moved"));
  EXPECT_EQ(rec.Body, "<html>page</html>\n");
  TClientRecorder relocated(client);
  ASSERT_TRUE(relocated.Get(plain_->BaseUrl() + "/start"));
  EXPECT_EQ(relocated.DoneError, 0);
  EXPECT_EQ(relocated.Body, "<html>tunnelled</html>\n");
  EXPECT_THAT(Lines(proxy),
              ::testing::ElementsAre("GET " + plain_->BaseUrl() + "/dir/moved HTTP/1.0",
                                     "GET " + plain_->BaseUrl() + "/dir/page.html HTTP/1.0",
                                     "GET " + plain_->BaseUrl() + "/start HTTP/1.0",
                                     "CONNECT " + HostPort(*valid_) + " HTTP/1.0"));
}

TEST_F(HttpsProxy, RefusedOrUnansweredTunnelsFailTheRequest) {
  test::TConnectProxy proxy;
  ASSERT_TRUE(proxy.Start()) << proxy.Error();
  UseProxy(proxy);
  // The proxy answers 403 to any destination off the loopback range.
  ASSERT_TRUE(rec.Get("https://192.0.2.1/index.html"));
  EXPECT_EQ(rec.DoneError, kErrProxyTunnel);
  EXPECT_EQ(client.StatusCode(), 403);
  EXPECT_EQ(client.ReasonPhrase(), "proxy refused the tunnel to 192.0.2.1:443: 403 Forbidden");

  test::TFaultServer mute(R"({"routes": {"*": []}})");
  ASSERT_TRUE(mute.Start()) << mute.Error();
  client.Proxy = "127.0.0.1:" + std::to_string(mute.Port());
  TClientRecorder closed(client);
  ASSERT_TRUE(closed.Get(valid_->BaseUrl() + "/index.html"));
  EXPECT_EQ(closed.DoneError, kErrProxyTunnel);
  EXPECT_EQ(client.ReasonPhrase(),
            "proxy closed the connection before opening the tunnel to " + HostPort(*valid_));
  EXPECT_EQ(mute.Requests().size(), 1u);

  // No proxy listening: the connect's own error, not a tunnel failure.
  client.Proxy = "127.0.0.1:" + std::to_string(test::FreePort());
  TClientRecorder refused(client);
  ASSERT_TRUE(refused.Get(valid_->BaseUrl() + "/index.html"));
  EXPECT_EQ(refused.DoneError, WSAECONNREFUSED);
}

}  // namespace
}  // namespace kestrix
