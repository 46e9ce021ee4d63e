// The client's pure pieces on tables: dates, request guards, numbers and
// error codes, where a reply's body ends, where a relocation leads, and
// undoing a body's framing and codings.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "http/chunked_decoder.h"
#include "http/content_decoder.h"
#include "http/http_helpers.h"
#include "http/relocation.h"
#include "http/reply_framing.h"
#include "http/socket_errors.h"
#include "tests/http/coded_bodies.h"
#include "tests/support/case_file.h"

namespace kestrix {
namespace {

using test::Brotli;
using test::Chunked;
using test::Deflated;

// "days seconds" as the program holds a time.
double Time(const std::string& text) {
  double days = 0, seconds = 0;
  std::istringstream(text) >> days >> seconds;
  return days + seconds / 86400.0;
}

// The rows of tests/fixtures/http/dates.txt.
TEST(HttpDates, FormattedReadAndWaitedFor) {
  const auto formats = test::ReadRows("http/dates.txt", "format");
  ASSERT_GE(formats.size(), 6u);
  for (const auto& r : formats) EXPECT_EQ(FormatHttpDate(Time(r[0])), r[1]) << r[0];
  const auto reads = test::ReadRows("http/dates.txt", "read");
  ASSERT_GE(reads.size(), 9u);
  for (const auto& r : reads) {
    const std::optional<double> parsed = HttpDateValue(r[0]);
    ASSERT_EQ(parsed.has_value(), r[1] != "-") << r[0];
    if (parsed) {
      EXPECT_NEAR(*parsed, Time(r[1]), 1e-9) << r[0];
    }
  }
  const auto waits = test::ReadRows("http/dates.txt", "wait");
  ASSERT_GE(waits.size(), 8u);
  for (const auto& r : waits) {
    const std::optional<std::int64_t> seconds = RetryAfterSeconds(r[0], Time("34644 31777"));
    EXPECT_EQ(seconds ? std::to_string(*seconds) : "-", r[1]) << r[0];
  }
}

TEST(RequestGuards, TargetsHostsHeaderValuesAndRelocations) {
  EXPECT_EQ(EncodeRequestTarget("/a b"), "/a%20b");
  EXPECT_EQ(EncodeRequestTarget("/x\r\nHost: evil"), "/x%0D%0AHost:%20evil");
  EXPECT_EQ(EncodeRequestTarget(std::string("/n\0u\x7f", 5)), "/n%00u%7F");
  EXPECT_EQ(EncodeRequestTarget("/plain/%41?q=1&r=\xe9"), "/plain/%41?q=1&r=\xe9");
  EXPECT_TRUE(IsSafeHostName("www.example.com"));
  for (const std::string& bad : {std::string("a\r\nb"), std::string("a b"), std::string("a\0b", 3)})
    EXPECT_FALSE(IsSafeHostName(bad)) << bad;
  EXPECT_TRUE(IsSafeHeaderValue("W/\"a1\"\t"));
  EXPECT_FALSE(IsSafeHeaderValue("\"a1\"\rX-Injected: 1"));
  // Only http and https relocations are followed.
  for (const char* value : {"/rooted", "http://h/x", "HTTP://h/x", "https://h/x", "HTTPS://h:8443/",
                            "http:x/y", "page.htm", "dir/page.htm", "localhost:8080", "?q=1"})
    EXPECT_TRUE(IsFollowableLocation(value)) << value;
  for (const char* value : {"ftp://h/x", "file:///etc/passwd", "javascript:alert(1)",
                            "data:text/html,hi", "mailto:a@b"})
    EXPECT_FALSE(IsFollowableLocation(value)) << value;
}

TEST(ParseDecimal, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(ParseDecimal("0"), 0);
  EXPECT_EQ(ParseDecimal("123456789012"), 123456789012);
  EXPECT_EQ(ParseDecimal("-5"), -5);
  for (const char* bad : {"", "-", "12a", " 1", "1 ", "0x10", "99999999999999999999"})
    EXPECT_FALSE(ParseDecimal(bad).has_value()) << bad;
}

TEST(WinsockErrorFromErrno, MapsTheCodesTheProgramRecords) {
  const std::pair<int, int> cases[] = {{0, 0},
                                       {ECONNREFUSED, 10061},
                                       {ETIMEDOUT, 10060},
                                       {ECONNRESET, 10054},
                                       {EAGAIN, 10035},
                                       {ECONNABORTED, 10053},
                                       {EHOSTUNREACH, 10065},
                                       {ENETUNREACH, 10051},
                                       {EADDRINUSE, 10048}};
  for (const auto& [error, code] : cases) EXPECT_EQ(WinsockErrorFromErrno(error), code) << error;
  EXPECT_NE(WinsockErrorFromErrno(EIO), 0);  // unknown errors never read as success
}

// The rows of tests/fixtures/http/framing.txt.
TEST(FramingOf, WhereTheBodyEndsOrWhyItCannotBeKnown) {
  const std::map<std::string, TBodyFraming> kinds = {{"Length", TBodyFraming::Length},
                                                     {"None", TBodyFraming::None},
                                                     {"Close", TBodyFraming::Close},
                                                     {"Chunked", TBodyFraming::Chunked}};
  const std::map<std::string, TContentCoding> codingsByName = {{"gzip", TContentCoding::Gzip},
                                                               {"br", TContentCoding::Brotli}};
  const auto rows = test::ReadRows("http/framing.txt");
  ASSERT_GE(rows.size(), 18u);
  for (const auto& r : rows) {
    SCOPED_TRACE(r[2] + " / " + r[3]);
    std::vector<std::string> lengths;
    std::istringstream lines(r[2]);
    for (std::string line; std::getline(lines, line, '/');)
      if (line != "-") lengths.push_back(line);
    const TReplyFraming f =
        FramingOf(std::stoi(r[0]), r[1] == "1", lengths, r[3] == "-" ? "" : r[3]);
    if (r[4].starts_with("error ")) {
      EXPECT_TRUE(f.Error.starts_with(r[4].substr(6))) << f.Error;
      continue;
    }
    std::istringstream framing(r[4]);
    std::string kind, coding;
    framing >> kind;
    EXPECT_EQ(f.Error, "");
    EXPECT_EQ(f.Kind, kinds.at(kind));
    if (kind == "Length") {
      framing >> coding;
      EXPECT_EQ(std::to_string(f.Length), coding);
      continue;
    }
    std::vector<TContentCoding> codings;
    while (framing >> coding) codings.push_back(codingsByName.at(coding));
    EXPECT_EQ(f.TransferCodings, codings);
  }
}

// Where each form of a "Location:" value leads, straight to the server and
// through a proxy, from a plain and from a secure page: the rows of
// tests/fixtures/http/relocations.txt.
TEST(Relocate, EveryFormOfTheValueDirectAndThroughAProxy) {
  const std::map<std::string, TRequestTarget> starts = {
      {"plain", {"a.com", "8080", "a.com", "/dir/old.htm", "http://a.com:8080/dir/old.htm"}},
      {"secure", {"a.com", "8443", "a.com", "/old.htm", "https://a.com:8443/old.htm", "https"}},
      {"plain80", {"a.com", "80", "a.com", "/", "http://a.com/"}},
      {"proxied", {"px", "3128", "a.com", "http://a.com:81/dir/old.htm", ""}},
      {"proxiedSecure", {"px", "3128", "a.com", "https://a.com/dir/old.htm", "", "https"}},
  };
  const auto rows = test::ReadRows("http/relocations.txt");
  ASSERT_GE(rows.size(), 20u);
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 8u) << r[0];
    TRequestTarget t = starts.at(r[0]);
    const bool proxy = r[0].starts_with("proxied");
    Relocate(t, r[1], proxy);
    EXPECT_EQ(t, (TRequestTarget{r[2], r[3], r[4], r[5], r[6], r[7]}))
        << r[1] << (proxy ? " (proxy)" : "");
  }
}

// The chunked framing, then one content coding, as the client chains them;
// the wire in uneven pieces, as the socket hands them over. Empty when the
// body decoded whole, else why not.
std::string Decode(const std::string& wire, bool chunked, TContentCoding coding, std::string& out) {
  TStringOutStream sink;
  std::unique_ptr<TContentDecoder> content;
  if (coding != TContentCoding::Identity) content = std::make_unique<TContentDecoder>(sink, coding);
  TOutStream& next = content ? static_cast<TOutStream&>(*content) : sink;
  TChunkedDecoder framing;
  for (size_t at = 0; at < wire.size(); at += 777) {
    const size_t piece = std::min<size_t>(777, wire.size() - at);
    if (chunked) {
      framing.Feed(wire.data() + at, piece, next);
    } else {
      next.Write(wire.data() + at, piece);
    }
  }
  out = sink.Data;
  if (!framing.Error().empty()) return framing.Error();
  return content ? content->Finish() : std::string();
}

TEST(ContentDecoder, UndoesFramingAndCompressionOrSaysWhyNot) {
  const std::string page = test::SampleText(2000);
  const std::string gzip = Deflated(page, 31);
  const std::string br = Brotli(page);
  struct Case {
    const char* name;
    bool chunked;
    TContentCoding coding;
    std::string wire;
    const char* failure;  // empty: decodes to `page`
  };
  const Case cases[] = {
      {"chunked", true, TContentCoding::Identity, Chunked(page, 1000), ""},
      {"chunked without trailer", true, TContentCoding::Identity,
       Chunked(page, 4096).substr(0, Chunked(page, 4096).size() - 16) + "\r\n", ""},
      {"gzip", false, TContentCoding::Gzip, gzip, ""},
      {"zlib deflate", false, TContentCoding::Deflate, Deflated(page, 15), ""},
      {"raw deflate", false, TContentCoding::Deflate, Deflated(page, -15), ""},
      {"chunked br", true, TContentCoding::Brotli, Chunked(br, 100), ""},
      {"br cut short", false, TContentCoding::Brotli, br.substr(0, br.size() - 3),
       "the compressed body ended early"},
      {"br corrupt", false, TContentCoding::Brotli, "\xff" + br.substr(1),
       "the compressed body is corrupt"},
      {"data after br", false, TContentCoding::Brotli, br + "x",
       "data follows the end of the compressed body"},
      {"chunked gzip", true, TContentCoding::Gzip, Chunked(gzip, 333), ""},
      {"gzip cut short", false, TContentCoding::Gzip, gzip.substr(0, gzip.size() / 2),
       "the compressed body ended early"},
      {"gzip corrupt", false, TContentCoding::Gzip,
       gzip.substr(0, 20) + std::string(200, 'x') + gzip.substr(220),
       "the compressed body is corrupt"},
      {"bad chunk size", true, TContentCoding::Identity, "zz\r\nabc\r\n0\r\n\r\n",
       "a chunk size is not a hexadecimal number"},
      {"chunk too long", true, TContentCoding::Identity, "2\r\nabc\r\n0\r\n\r\n",
       "a chunk is longer than its size says"},
      {"endless trailer", true, TContentCoding::Identity,
       Chunked(page, 1000).substr(0, Chunked(page, 1000).size() - 2) + std::string(9000, 't'),
       "the trailer of the chunked body is too long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out;
    EXPECT_EQ(Decode(c.wire, c.chunked, c.coding, out), c.failure);
    if (*c.failure == '\0') {
      EXPECT_EQ(out, page);
    }
  }
}

TEST(ChunkedDecoder, TellsWhereTheBodyEnds) {
  const std::string body = Chunked("hello", 2);
  const std::string wire = body + "HTTP/1.1 200 OK";  // the next reply on the connection
  TChunkedDecoder decoder;
  TStringOutStream out;
  std::size_t used = 0;
  for (char c : wire) used += decoder.Feed(&c, 1, out);
  EXPECT_EQ(used, body.size());
  EXPECT_TRUE(decoder.Done());
  EXPECT_EQ(out.Data, "hello");
}

}  // namespace
}  // namespace kestrix
