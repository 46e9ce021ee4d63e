// HTTP/1.1 against our scripted server: replies framed by length, chunks
// and interim replies, coded with gzip, deflate or br, over one kept
// connection; replies that cannot be framed or decoded; what the requests
// ask for; the exchanges a tap sees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "http/http_client.h"
#include "http/socket_errors.h"
#include "tests/http/client_recorder.h"
#include "tests/http/coded_bodies.h"
#include "tests/support/event_wait.h"
#include "tests/support/fault_server.h"

namespace kestrix {
namespace {

using test::TClientRecorder;
using ::testing::ElementsAre;

const std::string& Page() {
  static const std::string page = test::SampleText(3000);
  return page;
}

std::string WithLength(const std::string& head, const std::string& body) {
  return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Every reply exactly as the server sends it; those without a close keep
// the connection.
const std::map<std::string, std::pair<std::string, bool>>& Replies() {
  static const auto replies = [] {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = ok + "Transfer-Encoding: chunked\r\n";
    const std::string gzip = test::Deflated(Page(), 31);
    std::string corrupt = gzip;
    std::fill(corrupt.begin() + 20, corrupt.begin() + 220, 'x');
    const std::string gzipHalf = gzip.substr(0, gzip.size() / 2);
    return std::map<std::string, std::pair<std::string, bool>>{
        {"/chunked", {chunked + "\r\n" + test::Chunked(Page(), 1000), true}},
        {"/gzip", {WithLength(ok + "Content-Encoding: gzip\r\n", gzip), true}},
        {"/deflate",
         {chunked + "Content-Encoding: deflate\r\n\r\n" +
              test::Chunked(test::Deflated(Page(), 15), 777),
          true}},
        {"/br", {WithLength(ok + "Content-Encoding: br\r\n", test::Brotli(Page())), true}},
        {"/interim",
         {"HTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n" + WithLength(ok, "ok"), true}},
        {"/missing", {WithLength("HTTP/1.1 404 Not Found\r\n", "not found"), true}},
        {"/busy",
         {"HTTP/1.1 503 Service Unavailable\r\nDate: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
          "Retry-After: Sun, 06 Nov 1994 08:50:07 GMT\r\nTransfer-Encoding: chunked\r\n\r\n"
          "4\r\nbusy\r\n0\r\n\r\n",
          true}},
        {"/same",
         {"HTTP/1.1 304 Not Modified\r\nETag: W/\"v1\"\r\n"
          "Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\n",
          true}},
        {"/moved", {WithLength("HTTP/1.1 302 Found\r\nLocation: /gzip\r\n", ""), true}},
        {"/head", {ok + "Content-Length: 1234\r\n\r\n", true}},  // an answer to HEAD
        {"/badsize", {chunked + "\r\nzz\r\nabc\r\n0\r\n\r\n", false}},
        {"/both", {WithLength(chunked, "3\r\nabc\r\n0\r\n\r\n"), false}},
        {"/twolengths", {ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", false}},
        {"/rot13", {ok + "Transfer-Encoding: x-rot13, chunked\r\n\r\n0\r\n\r\n", false}},
        {"/zz", {WithLength(ok + "Content-Encoding: zz\r\n", "abc"), false}},
        {"/corrupt", {WithLength(ok + "Content-Encoding: gzip\r\n", corrupt), false}},
        {"/gzipcut", {WithLength(ok + "Content-Encoding: gzip\r\n", gzipHalf), false}},
        {"/cutchunks", {chunked + "\r\n" + test::Chunked(Page(), 1000).substr(0, 5000), false}},
        {"/cutlength", {ok + "Content-Length: 100\r\n\r\npartial", false}},
    };
  }();
  return replies;
}

std::string Scenario() {
  std::string routes;
  for (const auto& [path, reply] : Replies()) {
    routes += (routes.empty() ? "" : ",\n") + std::string("\"") + path + "\": [" +
              test::SendStep(reply.first) + (reply.second ? R"(, {"keep": true}])" : "]");
  }
  return "{\"routes\": {" + routes + "}}";
}

class Http11 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<test::TFaultServer>(Scenario());
    if (!server_->Start()) FAIL() << server_->Error();
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { seen_ = server_->Requests().size(); }
  std::string Url(const std::string& path) const { return server_->BaseUrl() + path; }
  std::vector<test::TRecordedRequest> NewRequests() const {
    auto all = server_->Requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end()};
  }

  inline static std::unique_ptr<test::TFaultServer> server_;
  std::size_t seen_ = 0;
  THttpCli client;
};

TEST_F(Http11, KeptConnectionCarriesFramedAndCodedReplies) {
  client.HttpVersion = http11;
  client.KeepAlive = true;
  client.AcceptCompression = true;
  const struct {
    const char* path;
    int status;
    std::string body;
  } steps[] = {
      {"/chunked", 200, Page()}, {"/gzip", 200, Page()},  {"/deflate", 200, Page()},
      {"/br", 200, Page()},      {"/interim", 200, "ok"}, {"/missing", 404, ""},
      {"/busy", 503, ""},        {"/same", 304, ""},      {"/gzip", 200, Page()},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.path);
    TClientRecorder r(client);
    ASSERT_TRUE(r.Get(Url(step.path)));
    EXPECT_EQ(r.DoneError, 0) << client.ReasonPhrase();
    EXPECT_EQ(client.StatusCode(), step.status);
    EXPECT_TRUE(r.Body == step.body) << r.Body.size();
    EXPECT_EQ(client.DecodedCount(), static_cast<std::int64_t>(step.body.size()));
    if (step.status >= 400) {
      EXPECT_THAT(r.Events, ElementsAre("RequestDone"));
    }
  }
  // The fields of the last replies, and the two counts of the last body.
  EXPECT_EQ(client.ContentEncoding(), "gzip");
  EXPECT_EQ(client.ReceivedCount(), static_cast<std::int64_t>(test::Deflated(Page(), 31).size()));
  TClientRecorder busy(client);
  ASSERT_TRUE(busy.Get(Url("/busy")));
  EXPECT_EQ(client.RetryAfter(), 30);  // its date against the reply's own clock
  ASSERT_TRUE(busy.Get(Url("/same")));
  EXPECT_EQ(client.ETag(), "W/\"v1\"");
  EXPECT_DOUBLE_EQ(client.LastModified(), 34644 + (8 * 3600 + 49 * 60 + 37) / 86400.0);

  const auto requests = NewRequests();
  ASSERT_EQ(requests.size(), std::size(steps) + 2);
  for (const auto& request : requests) {
    SCOPED_TRACE(request.RequestLine);
    EXPECT_THAT(request.RequestLine, ::testing::EndsWith(" HTTP/1.1"));
    EXPECT_FALSE(request.HasHeader("Connection"));  // kept is what HTTP/1.1 means
    EXPECT_EQ(request.Header("Accept-Encoding"), "gzip, deflate, br");
    EXPECT_EQ(request.Connection, requests.front().Connection);
  }
}

TEST_F(Http11, RepliesThatCannotBeFramedOrDecodedFailWithTheirReason) {
  client.DecodeBody = true;  // an HTTP/1.0 request: what comes is decoded all the same
  const struct {
    const char* path;
    int code;
    const char* why;
  } cases[] = {
      {"/badsize", kErrUnframedReply, "a chunk size is not a hexadecimal number"},
      {"/both", kErrUnframedReply, "both Content-Length and Transfer-Encoding"},
      {"/twolengths", kErrUnframedReply, "conflicting Content-Length values"},
      {"/rot13", kErrUnframedReply, "unsupported Transfer-Encoding: x-rot13"},
      {"/zz", kErrUndecodableBody, "unsupported Content-Encoding: zz"},
      {"/corrupt", kErrUndecodableBody, "the compressed body is corrupt"},
      {"/gzipcut", kErrUndecodableBody, "the compressed body ended early"},
      {"/cutchunks", kErrShortBody, "the chunked body ended before its last chunk"},
      {"/cutlength", kErrShortBody, "7 of 100 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    TClientRecorder r(client);
    ASSERT_TRUE(r.Get(Url(c.path)));
    EXPECT_EQ(r.DoneError, c.code);
    EXPECT_EQ(client.ReasonPhrase(), WSocketErrorText(c.code) + ": " + c.why);
    EXPECT_EQ(r.StateAtDone, httpReady);
  }
  TClientRecorder good(client);
  ASSERT_TRUE(good.Get(Url("/gzip")));
  EXPECT_EQ(good.DoneError, 0);
  EXPECT_TRUE(good.Body == Page());
  const auto requests = NewRequests();
  ASSERT_EQ(requests.size(), std::size(cases) + 1);
  EXPECT_FALSE(requests.back().HasHeader("Accept-Encoding"));  // decoded, not asked for
}

TEST_F(Http11, RequestsAskForWhatTheSettingsSay) {
  client.HttpVersion = http11;
  client.AcceptCompression = true;
  client.IfNoneMatch = "\"v1\"";
  client.ContentRangeBegin = "5";
  TClientRecorder r(client);
  ASSERT_TRUE(r.Get(Url("/same")));
  client.IfNoneMatch = "\"v1\"\rX-Injected: 1";
  ASSERT_TRUE(r.Get(Url("/gzip")));
  EXPECT_TRUE(r.Body == Page());

  client.KeepAlive = true;  // HEAD, then a GET on the connection it kept
  client.URL = Url("/head");
  client.HeadAsync();
  ASSERT_TRUE(r.WaitDone());
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.ContentLength(), 1234);
  EXPECT_EQ(client.DecodedCount(), 0);
  ASSERT_TRUE(r.Get(Url("/chunked")));

  TMemoryInStream form("a=1");
  client.SendStream = &form;
  client.URL = Url("/chunked");
  client.PostAsync();
  ASSERT_TRUE(r.WaitDone());
  EXPECT_EQ(r.DoneError, 0);

  ASSERT_TRUE(r.Get(Url("/moved")));
  EXPECT_EQ(client.TargetUrl(), Url("/gzip"));  // the port kept, unlike Location
  EXPECT_EQ(client.Location(), "http://127.0.0.1/gzip");

  const auto q = NewRequests();
  ASSERT_EQ(q.size(), 7u);
  EXPECT_EQ(q[0].Header("Range"), "bytes=5-");
  EXPECT_FALSE(q[0].HasHeader("Accept-Encoding"));  // a part of a coded body is no use
  EXPECT_EQ(q[0].Header("If-None-Match"), "\"v1\"");
  EXPECT_EQ(q[1].Header("Accept-Encoding"), "gzip, deflate, br");
  EXPECT_FALSE(q[1].HasHeader("If-None-Match"));
  EXPECT_FALSE(q[1].HasHeader("X-Injected"));
  for (std::size_t i : {0u, 1u, 4u}) EXPECT_EQ(q[i].Header("Connection"), "close") << i;
  EXPECT_EQ(q[2].RequestLine, "HEAD /head HTTP/1.1");
  EXPECT_EQ(q[2].Connection, q[3].Connection);
  EXPECT_EQ(q[4].RequestLine, "POST /chunked HTTP/1.1");
  EXPECT_EQ(q[4].Body, "a=1");
  EXPECT_EQ(q[6].RequestLine, "GET /gzip HTTP/1.1");
}

struct TTapRecorder : TExchangeTap {
  struct TExchange {
    std::string Url, Peer, Request, Reply, Why;
    TExchangeEnd End = TExchangeEnd::CutOther;
    int Ends = 0;
  };
  void ExchangeBegin(const std::string& url, const std::string& peer) override {
    Exchanges.emplace_back();
    Exchanges.back().Url = url;
    Exchanges.back().Peer = peer;
  }
  void RequestData(const char* data, std::size_t size) override {
    Exchanges.back().Request.append(data, size);
  }
  void ReplyData(const char* data, std::size_t size) override {
    Exchanges.back().Reply.append(data, size);
  }
  void ExchangeEnd(TExchangeEnd end, const std::string& why) override {
    Exchanges.back().End = end;
    Exchanges.back().Why = why;
    ++Exchanges.back().Ends;
  }
  std::vector<TExchange> Exchanges;
};

TEST_F(Http11, TapSeesEveryExchangeAsItWentOverTheWire) {
  TTapRecorder tap;
  client.Tap = &tap;
  client.HttpVersion = http11;
  client.KeepAlive = true;
  client.AcceptCompression = true;
  TClientRecorder r(client);
  for (const char* path : {"/deflate", "/moved", "/cutlength"}) ASSERT_TRUE(r.Get(Url(path)));
  TMemoryInStream form("a=1");
  client.SendStream = &form;
  client.URL = Url("/gzip");
  client.PostAsync();
  ASSERT_TRUE(r.WaitDone());

  const struct {
    const char* path;
    TExchangeEnd end;
    const char* why;
  } expected[] = {
      {"/deflate", TExchangeEnd::Complete, ""},
      {"/moved", TExchangeEnd::Complete, ""},
      {"/gzip", TExchangeEnd::Complete, ""},
      {"/cutlength", TExchangeEnd::CutDisconnect,
       "Connection closed before the body ended: 7 of 100 bytes"},
      {"/gzip", TExchangeEnd::Complete, ""},
  };
  const auto requests = NewRequests();
  ASSERT_EQ(tap.Exchanges.size(), std::size(expected));
  ASSERT_EQ(requests.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].path);
    const auto& x = tap.Exchanges[i];
    EXPECT_EQ(x.Url, Url(expected[i].path));
    EXPECT_EQ(x.Peer, "127.0.0.1");
    EXPECT_TRUE(x.Reply == Replies().at(expected[i].path).first) << x.Reply.size();
    EXPECT_EQ(x.End, expected[i].end);
    EXPECT_EQ(x.Why, expected[i].why);
    EXPECT_EQ(x.Ends, 1);
    // The request as the server read it, byte for byte.
    std::string sent = requests[i].RequestLine + "\r\n";
    for (const auto& [name, value] : requests[i].Headers) sent += name + ": " + value + "\r\n";
    EXPECT_EQ(x.Request, sent + "\r\n" + requests[i].Body);
  }
  EXPECT_EQ(requests.back().Body, "a=1");
}

}  // namespace
}  // namespace kestrix
