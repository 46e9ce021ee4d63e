#include "http/content_decoder.h"

#include <brotli/decode.h>
#include <zlib.h>

#include "core/ascii.h"

namespace kestrix {
namespace {

// Decoded pieces are no larger than the pieces the client reads, so the
// owner's events see the same sizes whether a body was compressed or not.
constexpr std::size_t kOutPiece = 8192;
// zlib's window bits: 15 with 32 added detects a gzip or zlib header; a
// negative value reads raw deflate data, which some servers send for
// "deflate".
constexpr int kDetectHeader = 15 + 32;
constexpr int kRawDeflate = -15;
// More codings than any server applies: a longer list is no real reply.
constexpr std::size_t kMaxCodings = 4;

}  // namespace

TCodingList ParseCodingList(std::string_view value) {
  TCodingList list;
  std::size_t from = 0;
  while (from <= value.size()) {
    std::size_t comma = value.find(',', from);
    if (comma == std::string_view::npos) comma = value.size();
    std::string_view item = value.substr(from, comma - from);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    const std::string name = AsciiLower(item);
    if (name == "gzip" || name == "x-gzip") {
      list.Codings.push_back(TContentCoding::Gzip);
    } else if (name == "deflate") {
      list.Codings.push_back(TContentCoding::Deflate);
    } else if (name == "br") {
      list.Codings.push_back(TContentCoding::Brotli);
    } else if (!name.empty() && name != "identity") {
      list.Unknown = std::string(item.substr(0, 100));
      return list;
    }
    from = comma + 1;
  }
  if (list.Codings.size() > kMaxCodings) list.Unknown = std::string(value.substr(0, 100));
  return list;
}

struct TContentDecoder::Inflater {
  z_stream Stream{};
  bool Open = false;
  ~Inflater() {
    if (Open) inflateEnd(&Stream);
  }
};

struct TContentDecoder::Brotli {
  BrotliDecoderState* State = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
  ~Brotli() {
    if (State) BrotliDecoderDestroyInstance(State);
  }
};

TContentDecoder::TContentDecoder(TOutStream& target, TContentCoding coding)
    : target_(target), coding_(coding) {
  if (coding_ == TContentCoding::Brotli) {
    brotli_ = std::make_unique<Brotli>();
    if (!brotli_->State) Fail("the compressed body cannot be decoded (out of memory)");
  } else {
    StartInflate(kDetectHeader);
  }
}

TContentDecoder::~TContentDecoder() = default;

bool TContentDecoder::StartInflate(int windowBits) {
  inflater_ = std::make_unique<Inflater>();
  if (inflateInit2(&inflater_->Stream, windowBits) != Z_OK) {
    inflater_.reset();
    Fail("the compressed body cannot be decoded (out of memory)");
    return false;
  }
  inflater_->Open = true;
  return true;
}

void TContentDecoder::Fail(const std::string& why) {
  if (error_.empty()) error_ = why;
}

void TContentDecoder::Emit(const char* data, std::size_t size) {
  if (size == 0) return;
  anyOutput_ = true;
  firstBytes_.clear();
  target_.Write(data, size);
}

void TContentDecoder::Write(const char* data, std::size_t size) {
  if (!error_.empty() || size == 0) return;
  if (ended_) return Fail("data follows the end of the compressed body");
  if (brotli_) return Unbrotli(data, size);
  Inflate(data, size);
}

void TContentDecoder::Inflate(const char* data, std::size_t size) {
  // Held until the first output proves the header right: a "deflate" body
  // without its zlib header is then read again as raw deflate data.
  if (!anyOutput_ && !rawTried_) firstBytes_.append(data, size);
  z_stream& z = inflater_->Stream;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = static_cast<uInt>(size);
  char out[kOutPiece];
  while (z.avail_in > 0 || z.avail_out == 0) {
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = sizeof out;
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_DATA_ERROR && !anyOutput_ && !rawTried_ && coding_ == TContentCoding::Deflate) {
      rawTried_ = true;
      std::string again;
      again.swap(firstBytes_);
      if (!StartInflate(kRawDeflate)) return;
      return Inflate(again.data(), again.size());
    }
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      return Fail("the compressed body is corrupt");
    }
    Emit(out, sizeof out - z.avail_out);
    if (result == Z_STREAM_END) {
      ended_ = true;
      if (z.avail_in > 0) Fail("data follows the end of the compressed body");
      return;
    }
    if (result == Z_BUF_ERROR || (z.avail_in == 0 && z.avail_out != 0)) return;
  }
}

void TContentDecoder::Unbrotli(const char* data, std::size_t size) {
  auto next = reinterpret_cast<const std::uint8_t*>(data);
  std::size_t left = size;
  char out[kOutPiece];
  for (;;) {
    auto* outNext = reinterpret_cast<std::uint8_t*>(out);
    std::size_t outLeft = sizeof out;
    const BrotliDecoderResult result =
        BrotliDecoderDecompressStream(brotli_->State, &left, &next, &outLeft, &outNext, nullptr);
    Emit(out, sizeof out - outLeft);
    if (result == BROTLI_DECODER_RESULT_SUCCESS) {
      ended_ = true;
      if (left > 0) Fail("data follows the end of the compressed body");
      return;
    }
    if (result == BROTLI_DECODER_RESULT_ERROR) return Fail("the compressed body is corrupt");
    if (result == BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT) return;
  }
}

std::string TContentDecoder::Finish() {
  if (error_.empty() && !ended_) Fail("the compressed body ended early");
  return error_;
}

}  // namespace kestrix
