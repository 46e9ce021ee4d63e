// The client against nginx serving a folder on 127.0.0.1: pages and large
// files byte for byte, ranges, date and ETag conditions, errors,
// relocations, and compressed HTTP/1.1 replies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "http/http_client.h"
#include "tests/http/client_recorder.h"
#include "tests/http/coded_bodies.h"
#include "tests/support/event_wait.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scratch_dir.h"

namespace kestrix {
namespace {

using test::RunUntil;
using test::TClientRecorder;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* const kRedirects = R"(
    location = /old { absolute_redirect off; return 301 /new.html; }
    location = /abs { return 301 http://127.0.0.1:$server_port/new.html; }
    location = /form { absolute_redirect off; return 302 /thanks; }
    location = /thanks { return 200 "thanks\n"; }
    keepalive_requests 2;
    gzip on; gzip_min_length 1; gzip_types text/plain;)";

class HttpNginx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = std::make_unique<test::TScratchDir>();
    site_->WriteFile("index.html", "<html><body>index</body></html>\n");
    site_->WriteFile("new.html", "<html>new</html>\n");
    site_->WriteFile("text.txt", test::SampleText(5000));
    std::mt19937 random(7);
    big_ = std::make_unique<std::string>(3 * 1024 * 1024 + 123, '\0');
    for (char& c : *big_) c = static_cast<char>(random());
    site_->WriteFile("big.bin", *big_);
    server_ = std::make_unique<test::TNginxServer>(site_->Path(), kRedirects);
    if (!server_->Start()) FAIL() << server_->Error();
  }
  static void TearDownTestSuite() {
    server_.reset();
    site_.reset();
    big_.reset();
  }
  std::string Url(const std::string& path) const { return server_->BaseUrl() + path; }

  inline static std::unique_ptr<test::TScratchDir> site_;
  inline static std::unique_ptr<test::TNginxServer> server_;
  inline static std::unique_ptr<std::string> big_;
  THttpCli client;
  TClientRecorder rec{client};
};

TEST_F(HttpNginx, PageWithTheEventOrderWorkersRelyOn) {
  std::vector<THttpState> states;
  client.OnStateChange = [&](THttpCli& c) { states.push_back(c.State()); };
  ASSERT_TRUE(rec.Get(Url("/index.html")));
  EXPECT_EQ(rec.Body, "<html><body>index</body></html>\n");
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.ContentType(), "text/html");
  EXPECT_EQ(client.ContentLength(), 32);
  EXPECT_EQ(client.AcceptRanges(), "bytes");
  EXPECT_THAT(rec.Events, ElementsAre("HeaderEnd", "DocBegin", "DocData", "DocEnd", "RequestDone"));
  EXPECT_EQ(rec.StateAtDone, httpReady);
  EXPECT_THAT(states, ElementsAre(httpNotConnected, httpDnsLookup, httpDnsLookupDone, httpConnected,
                                  httpWaitingHeader, httpWaitingBody, httpReady));
}

TEST_F(HttpNginx, LargeBinaryStreamsIntoAFile) {
  test::TScratchDir out;
  {
    TFileOutStream file(out.Path() + "big.bin", TFileOutStream::Create);
    client.ReceiveStream = &file;
    int pieces = 0;
    client.OnDocData = [&](THttpCli&, const char*, int length) {
      ++pieces;
      EXPECT_LE(length, 8192);
    };
    ASSERT_TRUE(rec.Get(Url("/big.bin"), 30000));
    EXPECT_GT(pieces, 3 * 1024 / 8);
  }
  EXPECT_EQ(client.ReceivedCount(), static_cast<std::int64_t>(big_->size()));
  EXPECT_TRUE(test::ReadWholeFile(out.Path() + "big.bin") == *big_);
}

TEST_F(HttpNginx, RangeResumesAtAnOffset) {
  client.ContentRangeBegin = "1000";
  ASSERT_TRUE(rec.Get(Url("/big.bin"), 30000));
  EXPECT_EQ(client.StatusCode(), 206);
  EXPECT_EQ(client.ContentLength(), static_cast<std::int64_t>(big_->size() - 1000));
  EXPECT_TRUE(rec.Body == big_->substr(1000));
  EXPECT_EQ(client.ContentRangeBegin, "1000");  // taken from "content-range"
  EXPECT_EQ(client.ContentRangeEnd, std::to_string(big_->size() - 1));
}

TEST_F(HttpNginx, NotModifiedOrMissingGivesNoBodyEvents) {
  client.ModifiedSince = 73051;  // 2100-01-01
  ASSERT_TRUE(rec.Get(Url("/index.html")));
  EXPECT_EQ(client.StatusCode(), 304);
  EXPECT_EQ(client.ModifiedSince, 73051);
  EXPECT_EQ(client.ReceivedCount(), 0);
  EXPECT_THAT(rec.Events, ElementsAre("HeaderEnd", "RequestDone"));

  TClientRecorder missing(client);
  client.ModifiedSince = 0;
  ASSERT_TRUE(missing.Get(Url("/nothing.html")));
  EXPECT_EQ(client.StatusCode(), 404);
  EXPECT_EQ(client.ReasonPhrase(), "Not Found");
  EXPECT_THAT(missing.Events, ElementsAre("RequestDone"));
  EXPECT_EQ(missing.DoneError, 0);
}

TEST_F(HttpNginx, RelocationToARootedPathAndToAnAbsoluteUrl) {
  for (const char* path : {"/old", "/abs"}) {
    SCOPED_TRACE(path);
    TClientRecorder r(client);
    ASSERT_TRUE(r.Get(Url(path)));
    EXPECT_EQ(r.Body, "<html>new</html>\n");
    EXPECT_THAT(r.Locations, ElementsAre("http://127.0.0.1/new.html"));
    EXPECT_THAT(r.Events, ElementsAre("HeaderEnd", "LocationChange", "HeaderEnd", "DocBegin",
                                      "DocData", "DocEnd", "RequestDone"));
    EXPECT_EQ(client.Port(), std::to_string(server_->Port()));
    EXPECT_EQ(client.StatusCode(), 200);
  }
}

TEST_F(HttpNginx, CompressedReplyIsDecodedAndItsEtagAnswered) {
  client.HttpVersion = http11;
  client.AcceptCompression = true;
  ASSERT_TRUE(rec.Get(Url("/text.txt")));
  EXPECT_EQ(rec.DoneError, 0) << client.ReasonPhrase();
  EXPECT_TRUE(rec.Body == test::SampleText(5000));
  EXPECT_EQ(client.ContentEncoding(), "gzip");
  EXPECT_EQ(client.TransferEncoding(), "chunked");
  EXPECT_EQ(client.DecodedCount(), static_cast<std::int64_t>(rec.Body.size()));
  EXPECT_LT(client.ReceivedCount() * 4, client.DecodedCount());
  EXPECT_GT(client.LastModified(), 45000);  // after 2023
  ASSERT_FALSE(client.ETag().empty());

  client.IfNoneMatch = client.ETag();  // a server without dates answers this too
  TClientRecorder again(client);
  ASSERT_TRUE(again.Get(Url("/text.txt")));
  EXPECT_EQ(client.StatusCode(), 304);
  EXPECT_THAT(again.Events, ElementsAre("HeaderEnd", "RequestDone"));
}

TEST_F(HttpNginx, PostAnsweredByALocationIsPostedAgain) {
  TMemoryInStream form("a=1&b=2");
  client.SendStream = &form;
  client.URL = Url("/form");
  client.PostAsync();
  ASSERT_TRUE(rec.WaitDone());
  EXPECT_EQ(rec.Body, "thanks\n");
  EXPECT_EQ(client.RequestType(), httpPOST);
  // The client closes the first connection itself once it has the
  // relocation, so nginx may log that request after the second one.
  std::vector<std::string> log;
  ASSERT_TRUE(RunUntil([&] { return (log = server_->AccessLog()).size() >= 2; }, 5000));
  EXPECT_THAT(log, Contains(StartsWith("200 ")));
  EXPECT_THAT(log, Contains(HasSubstr("POST /thanks")));
  EXPECT_THAT(log, Contains(HasSubstr("POST /form")));
}

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
  ASSERT_TRUE(test::RunUntil([&] { return started > 3; }, 10000));
  EXPECT_EQ(rec.Body,
            "<html><body>index</body></html>\n|<html>new</html>\n|"
            "<html><body>index</body></html>\n|");
}

TEST_F(HttpNginx, KeptConnectionsEndWhereTheServerSaysWithEveryBodyWhole) {
  // The server ends each connection after two requests, saying so in the
  // second reply; a relocation ends one on our side. HTTP/1.1 keeps them
  // without being asked, and its compressed pages end by their chunks.
  client.KeepAlive = true;
  for (const THttpVersion version : {http10, http11}) {
    SCOPED_TRACE(version);
    client.HttpVersion = version;
    client.AcceptCompression = version == http11;
    const std::size_t before = server_->AccessLog().size();
    const struct {
      const char* path;
      double modifiedSince;
      int status;
      const std::string* body;
    } steps[] = {{"/index.html", 0, 200, nullptr},
                 {"/big.bin", 0, 200, big_.get()},
                 {"/new.html", 73051, 304, nullptr},
                 {"/old", 0, 200, nullptr},
                 {"/index.html", 0, 200, nullptr}};
    for (const auto& step : steps) {
      SCOPED_TRACE(step.path);
      client.ModifiedSince = step.modifiedSince;
      TClientRecorder r(client);
      ASSERT_TRUE(r.Get(Url(step.path), 20000));
      EXPECT_EQ(r.DoneError, 0);
      EXPECT_EQ(client.StatusCode(), step.status);
      const std::string expected = step.body ? *step.body : step.status == 200 ? "<html>" : "";
      EXPECT_TRUE(r.Body.starts_with(expected) && (!step.body || r.Body.size() == expected.size()))
          << r.Body.size();
    }
    // nginx logs a request just after its last byte left.
    test::RunUntil([&] { return server_->AccessLog().size() - before >= 6; }, 5000);
    EXPECT_EQ(server_->AccessLog().size() - before, 6u);
    EXPECT_EQ(server_->ConnectionsSince(before), 3u);
  }
}

}  // namespace
}  // namespace kestrix
