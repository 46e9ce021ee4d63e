#include "warc/http_message_scan.h"

#include <algorithm>
#include <cstring>

#include "core/ascii.h"

namespace kestrix {

namespace {

// A header larger than this is not a header we can read: the message is
// still recorded whole, only nothing is learnt from it.
constexpr std::size_t kMaxHeader = 256 * 1024;
constexpr std::size_t kMaxChunkLine = 4096;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint64_t> Decimal(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

void THttpMessageScan::Feed(const char* data, std::size_t size) {
  if (state_ == TState::Header) {
    // Look for the blank line from a little before the new bytes, since it
    // may straddle two pieces.
    const std::size_t from = header_.size() < 3 ? 0 : header_.size() - 3;
    const std::size_t take = std::min(size, kMaxHeader + 4 - header_.size());
    header_.append(data, take);
    std::size_t end = std::string::npos;
    for (std::size_t i = from; i < header_.size(); ++i) {
      if (header_[i] != '\n') continue;
      if (i + 1 < header_.size() && header_[i + 1] == '\n') {
        end = i + 2;
        break;
      }
      if (i + 2 < header_.size() && header_[i + 1] == '\r' && header_[i + 2] == '\n') {
        end = i + 3;
        break;
      }
    }
    if (end == std::string::npos) {
      if (header_.size() > kMaxHeader) {
        state_ = TState::Overlong;
        header_.clear();
      }
      return;
    }
    const std::size_t used = take - (header_.size() - end);
    header_.resize(end);
    EndHeader();
    data += used;
    size -= used;
  }
  if (state_ == TState::Overlong || size == 0) return;
  bodySize_ += size;
  if (state_ == TState::Body) Body(data, size);
  if (state_ == TState::Chunked) Chunks(data, size);
}

void THttpMessageScan::EndHeader() {
  state_ = TState::Body;
  if (const auto coding = Field("Transfer-Encoding")) {
    // Only the chunked framing alone can be taken off; under any other
    // transfer coding the payload is not known.
    state_ = EqualsNoCase(*coding, "chunked") ? TState::Chunked : TState::Broken;
  } else if (const auto length = Field("Content-Length")) {
    contentLength_ = Decimal(*length);
  }
}

void THttpMessageScan::Body(const char* data, std::size_t size) {
  payload_.Update(data, size);
}

// Collects one line of chunk framing into line_; true once it is whole.
bool THttpMessageScan::ChunkLine(const char*& data, std::size_t& size) {
  const char* end = static_cast<const char*>(memchr(data, '\n', size));
  const std::size_t take = end == nullptr ? size : static_cast<std::size_t>(end - data) + 1;
  line_.append(data, take);
  data += take;
  size -= take;
  if (line_.size() > kMaxChunkLine) state_ = TState::Broken;
  return end != nullptr && state_ != TState::Broken;
}

void THttpMessageScan::Chunks(const char* data, std::size_t size) {
  while (size > 0 && state_ == TState::Chunked) {
    switch (chunk_) {
      case TChunk::Size: {
        if (!ChunkLine(data, size)) break;
        std::string_view text = Trim(line_);
        text = text.substr(0, text.find(';'));
        text = Trim(text);
        std::uint64_t value = 0;
        if (text.empty() || text.size() > 15) state_ = TState::Broken;
        for (char c : text) {
          const int digit = HexDigit(c);
          if (digit < 0) state_ = TState::Broken;
          value = value * 16 + static_cast<std::uint64_t>(digit < 0 ? 0 : digit);
        }
        line_.clear();
        chunkLeft_ = value;
        chunk_ = value == 0 ? TChunk::Trailer : TChunk::Data;
        break;
      }
      case TChunk::Data: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunkLeft_, size));
        payload_.Update(data, take);
        data += take;
        size -= take;
        chunkLeft_ -= take;
        if (chunkLeft_ == 0) chunk_ = TChunk::DataEnd;
        break;
      }
      case TChunk::DataEnd:
        if (!ChunkLine(data, size)) break;
        if (!Trim(line_).empty()) state_ = TState::Broken;
        line_.clear();
        chunk_ = TChunk::Size;
        break;
      case TChunk::Trailer:
        if (!ChunkLine(data, size)) break;
        if (Trim(line_).empty()) chunk_ = TChunk::Done;
        line_.clear();
        break;
      case TChunk::Done:
        // Bytes after the last chunk belong to no payload.
        return;
    }
  }
}

std::string_view THttpMessageScan::StartLine() const {
  std::string_view text = header_;
  return Trim(text.substr(0, text.find('\n')));
}

int THttpMessageScan::Status() const {
  if (!HeaderComplete()) return 0;
  const std::string_view line = StartLine();
  if (line.substr(0, 5) != "HTTP/") return 0;
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  const auto code = Decimal(line.substr(space + 1, 3));
  return code && *code >= 100 && *code <= 999 ? static_cast<int>(*code) : 0;
}

std::optional<std::string> THttpMessageScan::Field(std::string_view name) const {
  std::string_view rest = header_;
  rest.remove_prefix(std::min(rest.size(), rest.find('\n') + 1));  // the start line
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualsNoCase(Trim(line.substr(0, colon)), name)) {
      return std::string(Trim(line.substr(colon + 1)));
    }
  }
  return std::nullopt;
}

std::optional<std::string> THttpMessageScan::PayloadDigest() const {
  if (state_ != TState::Body && state_ != TState::Chunked) return std::nullopt;
  return payload_.Label();
}

bool THttpMessageScan::BodyShort() const {
  if (state_ == TState::Chunked) return chunk_ != TChunk::Done;
  return state_ == TState::Body && contentLength_ && bodySize_ < *contentLength_;
}

}  // namespace kestrix
