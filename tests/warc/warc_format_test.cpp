// The pure pieces of the archive format: index keys, digests, following an
// HTTP message on the wire, and the index sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "tests/support/scratch_dir.h"
#include "warc/cdxj.h"
#include "warc/http_message_scan.h"
#include "warc/sha1_digest.h"

namespace kestrix {
namespace {

TEST(SurtKey, MatchesTheReplayToolsForm) {
  const struct {
    const char* url;
    const char* key;
  } cases[] = {
      {"http://www.Example.com/", "com,example)/"},
      {"http://example.com", "com,example)/"},
      {"https://www2.example.com:443/a/B.html", "com,example)/a/b.html"},
      {"http://example.com:8080/x?b=2&a=1#top", "com,example:8080)/x?a=1&b=2"},
      {"http://user:pw@sub.example.org/?", "org,example,sub)/"},
      {"http://127.0.0.1:8000/index.html", "1,0,0,127:8000)/index.html"},
      {"http://wwwx.example.com/", "com,example,wwwx)/"},
      {"ftp://example.com/file", "ftp://example.com/file"},
  };
  for (const auto& c : cases) EXPECT_EQ(SurtKey(c.url), c.key) << c.url;
}

// What JSON text cannot hold as it is is escaped in an index line.
TEST(CdxjLine, EscapesQuotesBackslashesAndControlBytes) {
  const std::string line =
      CdxjLine({"http://h/a\\b\"c\x01", "20261207120000", "", 0, "", 5, 9, "f.warc.gz"});
  EXPECT_TRUE(line.ends_with(
      R"( 20261207120000 {"url":"http://h/a\\b\"c\u0001","length":"9","offset":"5","filename":"f.warc.gz"})"
      "\n"))
      << line;
}

TEST(Sha1Digest, IsNamedInBase32) {
  const struct {
    std::string data;
    const char* label;
  } cases[] = {
      {"", "sha1:3I42H3S6NNFQ2MSVX7XZKYAYSCX5QBYJ"},
      {"abc", "sha1:VGMT4NSHA2AWVOR6EVYXQUGCNSONBWE5"},
  };
  for (const auto& c : cases) {
    TSha1Digest digest;
    for (char byte : c.data) digest.Update(&byte, 1);
    EXPECT_EQ(digest.Label(), c.label);
  }
}

std::string LabelOf(const std::string& payload) {
  TSha1Digest digest;
  digest.Update(payload);
  return digest.Label();
}

TEST(HttpMessageScan, FollowsTheFramingToThePayload) {
  const struct {
    const char* name;
    std::string message;
    int status;
    std::optional<std::string> payload;  // none: not known
    bool bodyShort;
  } cases[] = {
      {"length", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "hello", false},
      {"length short", "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nhello", 200, "hello", true},
      {"to the close", "HTTP/1.0 404 Not Found\n\nbody", 404, "body", false},
      {"chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
       "5;ext=1\r\nhello\r\nA\r\n, world...\r\n0\r\nX-Trailer: 1\r\n\r\n",
       200, "hello, world...", false},
      {"chunked cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", 200, "hel",
       true},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 200,
       std::nullopt, false},
      {"other transfer coding", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\nx", 200,
       std::nullopt, false},
      {"header cut", "HTTP/1.1 200 OK\r\nContent-Le", 0, std::nullopt, false},
      {"request", "POST /f HTTP/1.0\r\nContent-Length: 3\r\n\r\na=1", 0, "a=1", false},
  };
  for (const auto& c : cases) {
    // Whole, and a byte at a time: framing may straddle any two pieces.
    for (const bool bytewise : {false, true}) {
      THttpMessageScan scan;
      if (bytewise) {
        for (char byte : c.message) scan.Feed(&byte, 1);
      } else {
        scan.Feed(c.message);
      }
      SCOPED_TRACE(std::string(c.name) + (bytewise ? ", bytewise" : ""));
      EXPECT_EQ(scan.Status(), c.status);
      EXPECT_EQ(scan.PayloadDigest(),
                c.payload ? std::optional(LabelOf(*c.payload)) : std::nullopt);
      EXPECT_EQ(scan.BodyShort(), c.bodyShort);
    }
  }
}

TEST(SortLines, MergesRunsWhenTheInputExceedsTheBudget) {
  test::TScratchDir folder;
  std::mt19937 random(7);
  std::vector<std::string> lines;
  for (int i = 0; i < 2000; ++i) lines.push_back("key" + std::to_string(random() % 100000));
  std::ofstream(folder / "in") << [&] {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  }();
  std::sort(lines.begin(), lines.end());
  std::string expected;
  for (const std::string& line : lines) expected += line + "\n";
  for (const std::size_t budget : {std::size_t{1} << 20, std::size_t{2000}}) {
    std::string error;
    ASSERT_TRUE(SortLines(folder / "in", folder / "out", budget, error)) << error;
    EXPECT_EQ(test::ReadWholeFile(folder / "out"), expected) << budget;
  }
  // Run files do not stay behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

}  // namespace
}  // namespace kestrix
