#include "http/body_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace kestrix {
namespace {

// `text` compressed with the given window bits: 31 gzip, 15 zlib, -15 raw.
std::string Compressed(const std::string& text, int windowBits) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Chunked(const std::string& body, size_t piece) {
  std::string out;
  char size[32];
  for (size_t at = 0; at < body.size(); at += piece) {
    const std::string part = body.substr(at, piece);
    std::snprintf(size, sizeof size, "%zx;ext=1\r\n", part.size());
    out += size + part + "\r\n";
  }
  return out + "0\r\nX-Trailer: 1\r\n\r\n";
}

TEST(BodyDecoder, UndoesFramingAndCompressionOrSaysWhyNot) {
  std::string page;
  for (int i = 0; i < 2000; ++i) page += "line " + std::to_string(i) + "\n";
  const std::string gzip = Compressed(page, 31);
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
      {"zlib deflate", false, TContentCoding::Deflate, Compressed(page, 15), ""},
      {"raw deflate", false, TContentCoding::Deflate, Compressed(page, -15), ""},
      {"chunked gzip", true, TContentCoding::Gzip, Chunked(gzip, 333), ""},
      {"chunked cut short", true, TContentCoding::Identity, Chunked(page, 1000).substr(0, 5000),
       "the chunked body ended before its last chunk"},
      {"gzip cut short", false, TContentCoding::Gzip, gzip.substr(0, gzip.size() / 2),
       "the compressed body ended early"},
      {"gzip corrupt", false, TContentCoding::Gzip,
       gzip.substr(0, 20) + std::string(200, 'x') + gzip.substr(220),
       "the compressed body is corrupt"},
      {"bad chunk size", true, TContentCoding::Identity, "zz\r\nabc\r\n0\r\n\r\n",
       "a chunk size is not a hexadecimal number"},
      {"chunk too long", true, TContentCoding::Identity, "2\r\nabc\r\n0\r\n\r\n",
       "a chunk is longer than its size says"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TStringOutStream out;
    TBodyDecoder decoder(out, c.chunked, c.coding);
    // In uneven pieces, as the socket hands them over.
    for (size_t at = 0; at < c.wire.size(); at += 777) {
      decoder.Write(c.wire.data() + at, std::min<size_t>(777, c.wire.size() - at));
    }
    EXPECT_EQ(decoder.Finish(), c.failure);
    if (*c.failure == '\0') {
      EXPECT_EQ(out.Data, page);
      EXPECT_EQ(decoder.Written(), static_cast<int64_t>(page.size()));
    }
  }
}

TEST(BodyDecoder, HeaderValues) {
  EXPECT_EQ(ContentCodingOf(""), TContentCoding::Identity);
  EXPECT_EQ(ContentCodingOf(" GZip "), TContentCoding::Gzip);
  EXPECT_EQ(ContentCodingOf("x-gzip"), TContentCoding::Gzip);
  EXPECT_EQ(ContentCodingOf("deflate"), TContentCoding::Deflate);
  EXPECT_EQ(ContentCodingOf("br"), TContentCoding::Unsupported);
  EXPECT_EQ(ContentCodingOf("gzip, br"), TContentCoding::Unsupported);
  EXPECT_TRUE(IsChunkedTransfer("Chunked"));
  EXPECT_FALSE(IsChunkedTransfer("gzip, chunked"));
  EXPECT_FALSE(IsChunkedTransfer("identity"));
  EXPECT_FALSE(IsChunkedTransfer(""));
}

}  // namespace
}  // namespace kestrix
