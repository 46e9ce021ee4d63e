#include "http/chunked_decoder.h"

#include <algorithm>

#include "core/ascii.h"

namespace kestrix {
namespace {

constexpr std::size_t kMaxSizeLine = 1024;
// Trailer fields are never used, but must not hold the body up for ever.
constexpr std::size_t kMaxTrailerLine = 8192;
constexpr int kMaxTrailerLines = 1000;

std::string TrimmedLower(std::string_view text) {
  std::size_t from = 0;
  std::size_t to = text.size();
  while (from < to && (text[from] == ' ' || text[from] == '\t')) ++from;
  while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t')) --to;
  return AsciiLower(text.substr(from, to - from));
}

}  // namespace

void TChunkedDecoder::Fail(const char* why) {
  if (error_.empty()) error_ = why;
}

std::size_t TChunkedDecoder::Feed(const char* data, std::size_t size, TOutStream& out) {
  std::size_t at = 0;
  while (at < size && error_.empty() && state_ != TState::Done) {
    if (state_ == TState::Data) {
      const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(chunkLeft_, size - at));
      out.Write(data + at, take);
      at += take;
      chunkLeft_ -= take;
      if (chunkLeft_ == 0) state_ = TState::DataEnd;
      continue;
    }
    const char c = data[at++];
    if (c == '\n') {
      if (!EndOfLine()) break;
      continue;
    }
    const std::size_t limit = state_ == TState::Trailer ? kMaxTrailerLine : kMaxSizeLine;
    if (line_.size() >= limit) {
      Fail(state_ == TState::Trailer ? "the trailer of the chunked body is too long"
                                     : "a chunk size line is too long");
      break;
    }
    line_ += c;
  }
  return at;
}

bool TChunkedDecoder::EndOfLine() {
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  std::string line;
  line.swap(line_);
  switch (state_) {
    case TState::DataEnd:
      if (!line.empty()) {
        Fail("a chunk is longer than its size says");
        return false;
      }
      state_ = TState::Size;
      return true;
    case TState::Trailer:
      if (line.empty()) {
        state_ = TState::Done;
      } else if (++trailerLines_ > kMaxTrailerLines) {
        Fail("the trailer of the chunked body is too long");
        return false;
      }
      return true;
    default: {
      const std::string digits = TrimmedLower(std::string_view(line).substr(0, line.find(';')));
      if (digits.empty() || digits.size() > 15 ||
          digits.find_first_not_of("0123456789abcdef") != std::string::npos) {
        Fail("a chunk size is not a hexadecimal number");
        return false;
      }
      chunkLeft_ = std::stoull(digits, nullptr, 16);
      state_ = chunkLeft_ == 0 ? TState::Trailer : TState::Data;
      return true;
    }
  }
}

}  // namespace kestrix
