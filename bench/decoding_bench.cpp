// Undoing a reply's framing and compression as the client does while a body
// streams: the wire bytes fed in the 8 KiB pieces a socket hands over, the
// chunks taken off, then gzip or br undone, the document written to a
// stream that drops it. Bytes per second count the decoded document.
// Argument: 0 identity, 1 gzip, 2 br; all chunked in 16 KiB chunks.
#include <benchmark/benchmark.h>
#include <brotli/encode.h>
#include <zlib.h>

#include <random>
#include <stdexcept>
#include <string>

#include "http/chunked_decoder.h"
#include "http/content_decoder.h"

namespace kestrix {
namespace {

constexpr std::size_t kDocument = 64 * 1024 * 1024;
constexpr std::size_t kPiece = 8192;
constexpr std::size_t kChunk = 16384;

std::string Html() {
  std::mt19937 random(42);
  std::string body;
  body.reserve(kDocument);
  while (body.size() < kDocument) {
    body += "<p class=\"item\">Entry " + std::to_string(random() % 100000) +
            " of the listing, with a <a href=\"/page" + std::to_string(random() % 5000) +
            ".html\">link</a>.</p>\n";
  }
  body.resize(kDocument);
  return body;
}

std::string Gzip(const std::string& text) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("z");
  std::string out(deflateBound(&z, text.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Brotli(const std::string& text) {
  std::size_t size = BrotliEncoderMaxCompressedSize(text.size());
  std::string out(size, '\0');
  // Quality 5: what servers use for replies made on the fly.
  if (!BrotliEncoderCompress(5, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT, text.size(),
                             reinterpret_cast<const std::uint8_t*>(text.data()), &size,
                             reinterpret_cast<std::uint8_t*>(out.data()))) {
    throw std::runtime_error("brotli");
  }
  out.resize(size);
  return out;
}

std::string Chunked(const std::string& body) {
  std::string out;
  char line[32];
  for (std::size_t at = 0; at < body.size(); at += kChunk) {
    const std::string_view part = std::string_view(body).substr(at, kChunk);
    std::snprintf(line, sizeof line, "%zx\r\n", part.size());
    out.append(line).append(part).append("\r\n");
  }
  return out + "0\r\n\r\n";
}

class TDropStream : public TOutStream {
 public:
  void Write(const char*, std::size_t size) override { Count += size; }
  std::size_t Count = 0;
};

void DecodeChunkedBody(benchmark::State& state) {
  const auto coding = static_cast<int>(state.range(0));
  const std::string document = Html();
  const std::string wire = Chunked(coding == 0   ? document
                                   : coding == 1 ? Gzip(document)
                                                 : Brotli(document));
  for (auto _ : state) {
    TDropStream sink;
    TContentDecoder decoder(sink, coding == 1 ? TContentCoding::Gzip : TContentCoding::Brotli);
    TOutStream& into = coding == 0 ? static_cast<TOutStream&>(sink) : decoder;
    TChunkedDecoder chunks;
    TStringOutStream payload;
    for (std::size_t at = 0; at < wire.size(); at += kPiece) {
      payload.Data.clear();
      chunks.Feed(wire.data() + at, std::min(kPiece, wire.size() - at), payload);
      into.Write(payload.Data.data(), payload.Data.size());
    }
    if (coding != 0 && !decoder.Finish().empty()) state.SkipWithError("decoding failed");
    if (!chunks.Done() || sink.Count != kDocument) state.SkipWithError("wrong length");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDocument));
  state.counters["wire_MB"] = static_cast<double>(wire.size()) / 1e6;
}
BENCHMARK(DecodeChunkedBody)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kestrix
