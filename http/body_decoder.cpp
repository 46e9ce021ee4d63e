#include "http/body_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

#include "core/ascii.h"

namespace kestrix {
namespace {

constexpr std::size_t kMaxChunkLine = 1024;
constexpr std::size_t kInflateOut = 16384;
// zlib's window bits: 15 with 32 added detects a gzip or zlib header; a
// negative value reads raw deflate data, which some servers send for
// "deflate".
constexpr int kDetectHeader = 15 + 32;
constexpr int kRawDeflate = -15;

std::string Trimmed(std::string_view text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) ++from;
  while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) --to;
  std::string out(text.substr(from, to - from));
  AsciiLowerInPlace(out);
  return out;
}

}  // namespace

struct TBodyDecoder::Inflater {
  z_stream Stream{};
  bool Open = false;
  ~Inflater() {
    if (Open) inflateEnd(&Stream);
  }
};

TContentCoding ContentCodingOf(std::string_view value) {
  const std::string coding = Trimmed(value);
  if (coding.empty() || coding == "identity") return TContentCoding::Identity;
  if (coding == "gzip" || coding == "x-gzip") return TContentCoding::Gzip;
  if (coding == "deflate") return TContentCoding::Deflate;
  return TContentCoding::Unsupported;
}

bool IsChunkedTransfer(std::string_view value) {
  return Trimmed(value) == "chunked";
}

TBodyDecoder::TBodyDecoder(TOutStream& target, bool chunked, TContentCoding coding)
    : target_(target), chunked_(chunked), coding_(coding) {
  if (coding_ == TContentCoding::Gzip || coding_ == TContentCoding::Deflate) {
    StartInflate(kDetectHeader);
  }
}

TBodyDecoder::~TBodyDecoder() = default;

bool TBodyDecoder::StartInflate(int windowBits) {
  inflater_ = std::make_unique<Inflater>();
  if (inflateInit2(&inflater_->Stream, windowBits) != Z_OK) {
    inflater_.reset();
    Fail("the compressed body cannot be decoded (out of memory)");
    return false;
  }
  inflater_->Open = true;
  return true;
}

void TBodyDecoder::Fail(const std::string& why) {
  if (error_.empty()) error_ = why;
}

void TBodyDecoder::Write(const char* data, std::size_t size) {
  if (!error_.empty() || size == 0) return;
  if (chunked_) {
    Chunked(data, size);
  } else {
    Payload(data, size);
  }
}

void TBodyDecoder::Chunked(const char* data, std::size_t size) {
  std::size_t at = 0;
  while (at < size && error_.empty()) {
    switch (chunkState_) {
      case TChunkState::Size:
      case TChunkState::Trailer:
      case TChunkState::DataEnd: {
        const char c = data[at++];
        if (c != '\n') {
          if (line_.size() >= kMaxChunkLine) return Fail("a chunk size line is too long");
          line_ += c;
          continue;
        }
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        std::string line;
        line.swap(line_);
        if (chunkState_ == TChunkState::DataEnd) {
          if (!line.empty()) return Fail("a chunk is longer than its size says");
          chunkState_ = TChunkState::Size;
        } else if (chunkState_ == TChunkState::Trailer) {
          if (line.empty()) chunkState_ = TChunkState::Done;
        } else {
          const std::string digits = Trimmed(line.substr(0, line.find(';')));
          if (digits.empty() || digits.size() > 15 ||
              digits.find_first_not_of("0123456789abcdef") != std::string::npos) {
            return Fail("a chunk size is not a hexadecimal number");
          }
          chunkLeft_ = std::stoull(digits, nullptr, 16);
          chunkState_ = chunkLeft_ == 0 ? TChunkState::Trailer : TChunkState::Data;
        }
        break;
      }
      case TChunkState::Data: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunkLeft_, size - at));
        Payload(data + at, take);
        at += take;
        chunkLeft_ -= take;
        if (chunkLeft_ == 0) chunkState_ = TChunkState::DataEnd;
        break;
      }
      case TChunkState::Done:
        return;  // whatever follows the last chunk is not part of the body
    }
  }
}

void TBodyDecoder::Payload(const char* data, std::size_t size) {
  if (!error_.empty() || size == 0) return;
  if (!inflater_) {
    target_.Write(data, size);
    written_ += static_cast<std::int64_t>(size);
    return;
  }
  if (streamEnded_) return Fail("data follows the end of the compressed body");
  // Held until the first output proves the header right: a "deflate" body
  // without its zlib header is then read again as raw deflate data.
  if (written_ == 0 && !rawTried_) firstBytes_.append(data, size);
  z_stream& z = inflater_->Stream;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = static_cast<uInt>(size);
  char out[kInflateOut];
  while (z.avail_in > 0 || z.avail_out == 0) {
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = sizeof out;
    const int result = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = sizeof out - z.avail_out;
    if (result == Z_DATA_ERROR && written_ == 0 && !rawTried_ &&
        coding_ == TContentCoding::Deflate) {
      rawTried_ = true;
      std::string again;
      again.swap(firstBytes_);
      if (!StartInflate(kRawDeflate)) return;
      return Payload(again.data(), again.size());
    }
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      return Fail("the compressed body is corrupt");
    }
    if (produced > 0) {
      target_.Write(out, produced);
      written_ += static_cast<std::int64_t>(produced);
      firstBytes_.clear();
    }
    if (result == Z_STREAM_END) {
      streamEnded_ = true;
      if (z.avail_in > 0) return Fail("data follows the end of the compressed body");
      return;
    }
    if (result == Z_BUF_ERROR || (z.avail_in == 0 && z.avail_out != 0)) return;
  }
}

std::string TBodyDecoder::Finish() {
  if (!error_.empty()) return error_;
  if (chunked_ && chunkState_ != TChunkState::Trailer && chunkState_ != TChunkState::Done) {
    Fail("the chunked body ended before its last chunk");
  } else if (inflater_ && !streamEnded_) {
    Fail("the compressed body ended early");
  }
  return error_;
}

}  // namespace kestrix
