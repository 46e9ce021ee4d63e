#include "http/content_decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "http/chunked_decoder.h"
#include "tests/http/coded_bodies.h"

namespace kestrix {
namespace {

using test::Brotli;
using test::Chunked;
using test::Deflated;

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
