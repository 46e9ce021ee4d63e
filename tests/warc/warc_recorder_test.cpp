// Archives written from synthetic exchanges, judged by the standard reader:
// every record must read back with its digests right and the payload a
// replay tool would serve, whatever the framing, a stop or a rollover.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "standard_reader.h"
#include "tests/http/coded_bodies.h"
#include "tests/support/scratch_dir.h"
#include "warc/warc_index.h"
#include "warc/warc_reader.h"
#include "warc/warc_recorder.h"

namespace kestrix {
namespace {

using test::ReadWholeFile;
using test::TScratchDir;

struct TExchangeCase {
  std::string url;
  std::string reply;
  TExchangeEnd end = TExchangeEnd::Complete;
  std::optional<TEarlierCapture> earlier = std::nullopt;
  std::string requestExtra = {};  // further request header lines
};

void Record(TWarcRecorder& recorder, const TExchangeCase& exchange) {
  const auto id =
      recorder.BeginExchange(exchange.url, std::chrono::system_clock::now(), exchange.earlier);
  recorder.PeerAddress(id, "127.0.0.1");
  recorder.RequestBytes(id, "GET " + exchange.url.substr(exchange.url.find('/', 8)) +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + exchange.requestExtra +
                                "\r\n");
  // Odd-sized pieces, as a socket hands them over.
  for (std::size_t at = 0; at < exchange.reply.size(); at += 7) {
    recorder.ReplyBytes(id, std::string_view(exchange.reply).substr(at, 7));
  }
  recorder.EndExchange(id, exchange.end);
}

// The archive's records as text, every member decompressed.
std::string ArchiveText(const std::string& path) {
  gzFile file = gzopen(path.c_str(), "rb");
  std::string text;
  char buffer[65536];
  int got;
  while ((got = gzread(file, buffer, sizeof buffer)) > 0) text.append(buffer, got);
  gzclose(file);
  return text;
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TWarcSettings SettingsFor(const TScratchDir& folder) {
  TWarcSettings settings;
  settings.folder = folder.Path();
  settings.baseName = "site-20261206120000";
  settings.software = "Kestrix 0.1.0";
  // Settings that would break the warcinfo header if written as they are.
  settings.info = {{"start url:", "http://127.0.0.1/\r\nWARC-Type: response"}};
  return settings;
}

class WarcRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string missing = test::StandardReaderMissing(); !missing.empty()) {
      GTEST_SKIP() << missing;
    }
  }
};

TEST_F(WarcRecorderTest, StandardReaderGetsEveryKindOfExchangeBack) {
  TScratchDir folder;
  std::string page = "<html><body>";
  for (int i = 0; i < 300; ++i) page += "<p>line " + std::to_string(i) + "</p>\n";
  const std::string zipped = test::Deflated(page, 31);
  const std::string earlierId = "<urn:uuid:12345678-1234-4234-8234-123456789abc>";
  // Each exchange, and the content a replay tool would serve of it.
  const std::pair<TExchangeCase, std::string> cases[] = {
      {{"http://127.0.0.1:8080/plain.html",
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
            std::to_string(page.size()) + "\r\n\r\n" + page},
       page},
      // Plain chunks: the standard reader takes no chunk extension.
      {{"http://127.0.0.1:8080/chunked.html",
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Encoding: gzip\r\n"
        "Transfer-Encoding: chunked\r\n\r\n" +
            test::Chunked(zipped, 100, false)},
       page},
      // With an earlier capture a 304 is a revisit, with no payload to check.
      {{"http://127.0.0.1:8080/same.html", "HTTP/1.1 304 Not Modified\r\nServer: t\r\n\r\n",
        TExchangeEnd::Complete,
        TEarlierCapture{earlierId, "http://127.0.0.1:8080/same.html", "2026-12-01T10:00:00Z",
                        "sha1:3I42H3S6NNFQ2MSVX7XZKYAYSCX5QBYJ"}},
       ""},
      {{"http://127.0.0.1:8080/cut.bin",
        "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + page.substr(0, 300),
        TExchangeEnd::CutDisconnect},
       page.substr(0, 300)},
      {{"http://127.0.0.1:8080/part.bin",
        "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 400-999/1000\r\n"
        "Content-Length: 600\r\n\r\n" +
            page.substr(400, 600),
        TExchangeEnd::Complete, std::nullopt, "Range: bytes=400-999\r\n"},
       page.substr(400, 600)},
      // Compressed media are stored rather than deflated again.
      {{"http://127.0.0.1:8080/photo.jpg",
        "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n" + zipped},
       zipped},
      // The client leaves an error's body unread: the record says it is cut.
      {{"http://127.0.0.1:8080/missing",
        "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 50\r\n\r\n"},
       ""},
  };
  TWarcRecorder recorder(SettingsFor(folder));
  ASSERT_TRUE(recorder.Open());
  for (const auto& c : cases) Record(recorder, c.first);
  ASSERT_TRUE(recorder.Close()) << recorder.Error().path;
  ASSERT_EQ(recorder.Files().size(), 1u);
  const std::string warc = recorder.Files()[0];
  EXPECT_EQ(warc, folder / "site-20261206120000.warc.gz");

  std::string error;
  const auto records = test::ReadWithStandardReader(warc, error);
  ASSERT_EQ(records.size(), 1 + 2 * std::size(cases)) << error;
  EXPECT_EQ(records[0].type, "warcinfo");
  EXPECT_EQ(records[0].block, "ok");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [exchange, content] = cases[i];
    const test::TReadRecord& request = records[1 + 2 * i];
    const test::TReadRecord& reply = records[2 + 2 * i];
    SCOPED_TRACE(exchange.url);
    EXPECT_EQ(request.type, "request");
    EXPECT_EQ(request.block, "ok");
    EXPECT_EQ(reply.type, exchange.earlier ? "revisit" : "response");
    EXPECT_EQ(reply.uri, exchange.url);
    EXPECT_EQ(reply.status, exchange.reply.substr(9, 3));
    EXPECT_EQ(reply.block, "ok");
    EXPECT_EQ(reply.payload, exchange.earlier ? "-" : "ok");
    EXPECT_EQ(reply.content, test::Sha1Hex(content));
  }
  const std::string text = ArchiveText(warc);
  EXPECT_EQ(Count(text, "WARC-Truncated: disconnect\r\n"), 1u);
  EXPECT_EQ(Count(text, "WARC-Truncated: unspecified\r\n"), 1u);
  EXPECT_EQ(Count(text, "WARC-Concurrent-To: "), 2 * std::size(cases));
  EXPECT_EQ(Count(text, "WARC-IP-Address: 127.0.0.1\r\n"), 2 * std::size(cases));
  EXPECT_EQ(Count(text,
                  "WARC-Profile: http://netpreserve.org/warc/1.1/revisit/server-not-modified"
                  "\r\nWARC-Refers-To: " +
                      earlierId +
                      "\r\nWARC-Refers-To-Target-URI: http://127.0.0.1:8080/same.html"
                      "\r\nWARC-Refers-To-Date: 2026-12-01T10:00:00Z\r\n"),
            1u);

  // Our index and our reader agree with the standard reader.
  EXPECT_EQ(ReadWholeFile(IndexPathFor(warc)), test::StandardReaderIndex(warc, error)) << error;
  TWarcReader reader(warc);
  for (const test::TReadRecord& expected : records) {
    const auto record = reader.Next();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->type, expected.type);
    EXPECT_EQ(record->offset, expected.offset);
    EXPECT_EQ(record->length, expected.length);
    if (expected.type == "response" || expected.type == "revisit") {
      EXPECT_EQ(std::to_string(record->httpStatus), expected.status);
    }
  }
  EXPECT_FALSE(reader.Next());
  EXPECT_EQ(reader.End(), TWarcEnd::Clean);
}

TEST_F(WarcRecorderTest, ArchiveOfAStoppedRunIsCutBackAndTheNextRunRefersToIt) {
  TScratchDir before, folder;
  const std::string page(5000, 'x');
  const std::string reply =
      "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5000"
      "\r\n\r\n" +
      page;
  std::string warcName, partName;
  {
    TWarcRecorder recorder(SettingsFor(before));
    ASSERT_TRUE(recorder.Open());
    Record(recorder, {"http://127.0.0.1/a.txt", reply});
    Record(recorder, {"http://127.0.0.1/b.txt", reply});
    // What a stop leaves: the archive cut inside its last record, the index part.
    const std::string warc = recorder.Files()[0];
    warcName = std::filesystem::path(warc).filename();
    partName = std::filesystem::path(IndexPartPathFor(warc)).filename();
    std::filesystem::copy_file(warc, folder / warcName);
    std::filesystem::copy_file(IndexPartPathFor(warc), folder / partName);
  }
  const auto fullSize = std::filesystem::file_size(folder / warcName);
  std::filesystem::resize_file(folder / warcName, fullSize - 40);
  {
    TWarcReader cut(folder / warcName);
    while (cut.Next()) {
    }
    EXPECT_EQ(cut.End(), TWarcEnd::CutShort);
  }

  TWarcSettings settings = SettingsFor(folder);
  settings.baseName = "site-20261207120000";  // the next run
  TWarcRecorder recorder(settings);
  ASSERT_TRUE(recorder.Open());
  Record(recorder, {"http://127.0.0.1/c.txt", reply});
  // The next run's 304 refers to the capture the stopped run kept.
  Record(recorder, {"http://127.0.0.1/a.txt", "HTTP/1.0 304 Not Modified\r\n\r\n"});
  ASSERT_TRUE(recorder.Close());
  EXPECT_EQ(recorder.Repaired(), std::vector<std::string>{folder / warcName});
  EXPECT_FALSE(std::filesystem::exists(folder / partName));

  std::string error;
  const auto repaired = test::ReadWithStandardReader(folder / warcName, error);
  ASSERT_EQ(repaired.size(), 4u) << error;  // warcinfo, a's two records, b's request
  EXPECT_EQ(repaired[2].uri, "http://127.0.0.1/a.txt");
  EXPECT_EQ(repaired[2].payload, "ok");
  EXPECT_EQ(ReadWholeFile(IndexPathFor(folder / warcName)),
            test::StandardReaderIndex(folder / warcName, error));
  const auto next = test::ReadWithStandardReader(recorder.Files()[0], error);
  ASSERT_EQ(next.size(), 5u) << error;
  EXPECT_EQ(next[4].type, "revisit");
  TWarcReader reader(folder / warcName, repaired[2].offset);
  const auto capture = reader.Next();
  ASSERT_TRUE(capture);
  const std::string text = ArchiveText(recorder.Files()[0]);
  EXPECT_NE(text.find("WARC-Refers-To: " + capture->recordId + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("WARC-Refers-To-Date: " + capture->date + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("WARC-Payload-Digest: " + capture->payloadDigest + "\r\n"),
            std::string::npos);
}

TEST_F(WarcRecorderTest, RollsOverAtTheSizeLimitAndNeverWritesAnExistingFile) {
  TScratchDir folder;
  test::WriteFile(folder / "site-20261206120000.warc.gz", "not ours");
  TWarcSettings settings = SettingsFor(folder);
  settings.maxFileSize = 600;
  TWarcRecorder recorder(settings);
  ASSERT_TRUE(recorder.Open());
  const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
  for (const char* url : {"http://127.0.0.1/1", "http://127.0.0.1/2", "http://127.0.0.1/3"}) {
    Record(recorder, {url, reply});
  }
  ASSERT_TRUE(recorder.Close());
  EXPECT_EQ(ReadWholeFile(folder / "site-20261206120000.warc.gz"), "not ours");
  ASSERT_EQ(recorder.Files(),
            (std::vector<std::string>{folder / "site-20261206120000-00001.warc.gz",
                                      folder / "site-20261206120000-00002.warc.gz",
                                      folder / "site-20261206120000-00003.warc.gz"}));
  for (const std::string& warc : recorder.Files()) {
    std::string error;
    const auto records = test::ReadWithStandardReader(warc, error);
    ASSERT_EQ(records.size(), 3u) << warc << error;
    EXPECT_EQ(records[0].type, "warcinfo");
    EXPECT_EQ(records[2].payload, "ok");
    EXPECT_EQ(ReadWholeFile(IndexPathFor(warc)), test::StandardReaderIndex(warc, error));
  }
}

TEST(WarcRecorder, AFailedWriteLeavesTheFileEndingAfterAWholeRecord) {
  TScratchDir folder;
  TWarcSettings settings = SettingsFor(folder);
  settings.folder = folder / "not/made/yet";
  TWarcRecorder recorder(settings);
  ASSERT_TRUE(recorder.Open());
  Record(recorder, {"http://127.0.0.1/small", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"});
  const std::string warc = recorder.Files()[0];
  const auto whole = std::filesystem::file_size(warc);

  std::mt19937 random(1);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const auto id = recorder.BeginExchange("http://127.0.0.1/big", std::chrono::system_clock::now());
  recorder.RequestBytes(id, "GET /big HTTP/1.0\r\n\r\n");
  recorder.ReplyBytes(id, "HTTP/1.0 200 OK\r\n\r\n" + noise);
  // A full disk, as far as this process can tell.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limit = saved;
  limit.rlim_cur = whole + 2000;
  setrlimit(RLIMIT_FSIZE, &limit);
  recorder.EndExchange(id, TExchangeEnd::Complete);
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_EQ(recorder.Error().failure, TWarcFailure::Write);
  EXPECT_GT(std::filesystem::file_size(warc), whole) << "the big exchange's request";
  EXPECT_LT(std::filesystem::file_size(warc), whole + 2000) << "cut back to a whole record";
  recorder.Close();
  TWarcReader reader(warc);
  int count = 0;
  while (reader.Next()) ++count;
  EXPECT_EQ(count, 4);  // warcinfo, the small exchange, the big one's request
  EXPECT_EQ(reader.End(), TWarcEnd::Clean);
}

}  // namespace
}  // namespace kestrix
