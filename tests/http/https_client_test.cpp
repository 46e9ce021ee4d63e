// The client over TLS against nginx and the fault server on 127.0.0.1, with
// certificates made at test time: pages byte for byte, resumed sessions,
// relocation from http to https, and every certificate or stream failure
// ending the request with its own error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "http/http_client.h"
#include "http/socket_errors.h"
#include "tests/http/client_recorder.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_certs.h"

namespace kestrix {
namespace {

using test::TClientRecorder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class HttpsClient : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    certs_ = std::make_unique<test::TTestCerts>();
    if (!certs_->Make()) FAIL() << certs_->Error();
    site_ = std::make_unique<test::TScratchDir>();
    site_->WriteFile("index.html", "<html>secure</html>\n");
    std::mt19937 random(11);
    big_ = std::make_unique<std::string>(1024 * 1024 + 16000, '\0');
    for (char& c : *big_) c = static_cast<char>(random());
    site_->WriteFile("big.bin", *big_);
    for (auto [server, pair] : {std::pair{&valid_, certs_->Valid()},
                                {&wrongHost_, certs_->WrongHost()},
                                {&expired_, certs_->Expired()},
                                {&selfSigned_, certs_->SelfSigned()}}) {
      *server = std::make_unique<test::TNginxServer>(site_->Path());
      (*server)->UseTls(pair.Cert, pair.Key);
      if (!(*server)->Start()) FAIL() << (*server)->Error();
    }
    plain_ = std::make_unique<test::TNginxServer>(
        site_->Path(), "location = /start { return 301 " + valid_->BaseUrl() + "/index.html; }");
    if (!plain_->Start()) FAIL() << plain_->Error();
  }
  static void TearDownTestSuite() {
    for (auto* server : {&valid_, &wrongHost_, &expired_, &selfSigned_, &plain_}) server->reset();
    site_.reset();
    big_.reset();
    certs_.reset();
  }
  void SetUp() override { client.TlsSettings.ExtraCaFile = certs_->CaFile(); }

  inline static std::unique_ptr<test::TTestCerts> certs_;
  inline static std::unique_ptr<test::TScratchDir> site_;
  inline static std::unique_ptr<std::string> big_;
  inline static std::unique_ptr<test::TNginxServer> valid_, wrongHost_, expired_, selfSigned_,
      plain_;
  THttpCli client;
  TClientRecorder rec{client};
};

TEST_F(HttpsClient, PagesAndLargeFilesArriveWhole) {
  ASSERT_TRUE(rec.Get(valid_->BaseUrl() + "/index.html"));
  EXPECT_EQ(rec.DoneError, 0);
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(rec.Body, "<html>secure</html>\n");
  EXPECT_EQ(client.SocketLastError(), 0);  // the server sent its closing notice
  EXPECT_THAT(rec.Events, ElementsAre("HeaderEnd", "DocBegin", "DocData", "DocEnd", "RequestDone"));

  TClientRecorder big(client);
  ASSERT_TRUE(big.Get(valid_->BaseUrl() + "/big.bin"));
  EXPECT_EQ(big.DoneError, 0);
  EXPECT_EQ(big.Body.size(), big_->size());
  EXPECT_TRUE(big.Body == *big_);
  EXPECT_TRUE(client.CtrlSocket().TlsResumed());  // the first connection's session
}

// Decrypted bytes the TLS layer holds after a read never make the
// connection readable again: on a kept connection, whether reading goes on
// at once or after a pause, the client must look for them itself. The last
// record of big.bin is larger than one read.
TEST_F(HttpsClient, Http11BodiesOnAKeptConnectionArriveWholeWithAndWithoutAThrottle) {
  test::TTakeTurns throttle(1);
  const std::size_t before = valid_->AccessLog().size();
  client.HttpVersion = http11;
  client.KeepAlive = true;
  for (TReadThrottle* brake : std::initializer_list<TReadThrottle*>{nullptr, &throttle}) {
    client.ReadThrottle = brake;
    for (const char* path : {"/big.bin", "/index.html"}) {
      SCOPED_TRACE(path);
      TClientRecorder r(client);
      ASSERT_TRUE(r.Get(valid_->BaseUrl() + path, 20000));
      EXPECT_EQ(r.DoneError, 0) << client.ReasonPhrase();
      EXPECT_TRUE(r.Body == (path[1] == 'b' ? *big_ : "<html>secure</html>\n")) << r.Body.size();
    }
  }
  EXPECT_GT(throttle.Pauses, 200);
  // nginx logs a request just after its last byte left.
  test::RunUntil([&] { return valid_->AccessLog().size() >= before + 4; }, 5000);
  EXPECT_EQ(valid_->ConnectionsSince(before), 1u);
}

TEST_F(HttpsClient, RangeAndDateConditionWorkAsOverPlainTcp) {
  client.ContentRangeBegin = "1000";
  ASSERT_TRUE(rec.Get(valid_->BaseUrl() + "/big.bin"));
  EXPECT_EQ(client.StatusCode(), 206);
  EXPECT_TRUE(rec.Body == big_->substr(1000));

  client.ModifiedSince = 73051;  // 2100-01-01
  TClientRecorder again(client);
  ASSERT_TRUE(again.Get(valid_->BaseUrl() + "/index.html"));
  EXPECT_EQ(client.StatusCode(), 304);
  EXPECT_EQ(again.Body, "");
}

TEST_F(HttpsClient, PlainStartPageRelocatedToHttpsIsFollowed) {
  ASSERT_TRUE(rec.Get(plain_->BaseUrl() + "/start"));
  EXPECT_EQ(rec.DoneError, 0);
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(rec.Body, "<html>secure</html>\n");
  ASSERT_EQ(rec.Locations.size(), 1u);
  EXPECT_THAT(rec.Locations[0], ::testing::StartsWith("https://127.0.0.1"));
}

TEST_F(HttpsClient, CertificateFailuresEndTheRequestWithTheirOwnError) {
  struct Case {
    test::TNginxServer* server;
    bool extraCa;
    int error;
    const char* text;
  } cases[] = {
      {wrongHost_.get(), true, kErrCertHostMismatch, "certificate does not match host: 127.0.0.1"},
      {expired_.get(), true, kErrCertExpired, "certificate expired: 127.0.0.1"},
      {selfSigned_.get(), true, kErrCertNotTrusted, "certificate not trusted: 127.0.0.1"},
      // Our own CA is not in the system's store.
      {valid_.get(), false, kErrCertNotTrusted, "certificate not trusted: 127.0.0.1"},
  };
  for (const Case& c : cases) {
    THttpCli cli;
    if (c.extraCa) cli.TlsSettings.ExtraCaFile = certs_->CaFile();
    TClientRecorder r(cli);
    const std::size_t served = c.server->AccessLog().size();
    ASSERT_TRUE(r.Get(c.server->BaseUrl() + "/index.html")) << c.text;
    EXPECT_EQ(r.DoneError, c.error) << c.text;
    EXPECT_THAT(cli.ReasonPhrase(), HasSubstr(c.text));
    EXPECT_THAT(r.Events, ElementsAre("RequestDone")) << c.text;
    EXPECT_EQ(r.Body, "");
    EXPECT_EQ(c.server->AccessLog().size(), served) << c.text;  // no request ever left
  }
}

TEST_F(HttpsClient, AcceptingUnverifiedCertificatesLetsEachThrough) {
  for (auto* server : {selfSigned_.get(), expired_.get(), wrongHost_.get()}) {
    THttpCli cli;
    cli.TlsSettings.AcceptUnverified = true;
    TClientRecorder r(cli);
    ASSERT_TRUE(r.Get(server->BaseUrl() + "/index.html"));
    EXPECT_EQ(r.DoneError, 0);
    EXPECT_EQ(r.Body, "<html>secure</html>\n");
  }
}

TEST_F(HttpsClient, UnreadableCaFileFailsTheRequest) {
  client.TlsSettings.ExtraCaFile = site_->Path() + "missing.pem";
  ASSERT_TRUE(rec.Get(valid_->BaseUrl() + "/index.html"));
  EXPECT_EQ(rec.DoneError, kErrTlsHandshake);
  EXPECT_THAT(client.ReasonPhrase(), HasSubstr("cannot read CA file"));
}

TEST(HttpsFault, HandshakeCutAndBodiesCutWithoutCloseNotify) {
  test::TTestCerts certs;
  ASSERT_TRUE(certs.Make()) << certs.Error();
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

}  // namespace
}  // namespace kestrix
