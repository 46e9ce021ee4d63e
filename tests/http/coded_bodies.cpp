#include "tests/http/coded_bodies.h"

#include <brotli/encode.h>
#include <zlib.h>

#include <cstdio>
#include <stdexcept>

namespace kestrix::test {

std::string Deflated(const std::string& text, int windowBits) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

std::string Brotli(const std::string& text) {
  std::size_t size = BrotliEncoderMaxCompressedSize(text.size());
  std::string out(size, '\0');
  if (!BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT,
                             text.size(), reinterpret_cast<const std::uint8_t*>(text.data()), &size,
                             reinterpret_cast<std::uint8_t*>(out.data()))) {
    throw std::runtime_error("BrotliEncoderCompress");
  }
  out.resize(size);
  return out;
}

std::string Chunked(const std::string& body, std::size_t piece, bool extras) {
  std::string out;
  char size[32];
  for (std::size_t at = 0; at < body.size(); at += piece) {
    const std::string part = body.substr(at, piece);
    std::snprintf(size, sizeof size, extras ? "%zx;ext=1\r\n" : "%zx\r\n", part.size());
    out += size + part + "\r\n";
  }
  return out + (extras ? "0\r\nX-Trailer: 1\r\n\r\n" : "0\r\n\r\n");
}

std::string SampleText(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += "line " + std::to_string(i) + "\n";
  return text;
}

}  // namespace kestrix::test
