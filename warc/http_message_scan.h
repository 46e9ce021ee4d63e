// Follows an HTTP message as it goes by, byte for byte as it was on the
// wire, and learns what an archive record says about it: the start line,
// the header fields, and the digest of the payload. The payload is the body
// with the chunked framing taken off; a content coding (gzip) stays, as
// archive readers expect, so that two captures of one document agree
// however the server cut it into chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "warc/sha1_digest.h"

namespace kestrix {

class THttpMessageScan {
 public:
  void Feed(const char* data, std::size_t size);
  void Feed(std::string_view data) { Feed(data.data(), data.size()); }

  bool HeaderComplete() const { return state_ != TState::Header && state_ != TState::Overlong; }
  // The first line without its line end ("HTTP/1.1 200 OK", "GET / HTTP/1.1").
  std::string_view StartLine() const;
  // The status of a reply; 0 while unknown or for a request.
  int Status() const;
  // The value of the first field named `name` (any case), trimmed.
  std::optional<std::string> Field(std::string_view name) const;

  // The payload digest, once the header is complete and the body's framing
  // could be followed; none otherwise.
  std::optional<std::string> PayloadDigest() const;
  // Whether the framing announced more body than arrived: a Content-Length
  // not reached, or chunks without their last one.
  bool BodyShort() const;
  std::uint64_t BodySize() const { return bodySize_; }

 private:
  enum class TState : std::uint8_t { Header, Overlong, Body, Chunked, Broken };
  enum class TChunk : std::uint8_t { Size, Data, DataEnd, Trailer, Done };

  void EndHeader();
  void Body(const char* data, std::size_t size);
  void Chunks(const char* data, std::size_t size);
  bool ChunkLine(const char*& data, std::size_t& size);

  TState state_ = TState::Header;
  std::string header_;
  std::uint64_t bodySize_ = 0;
  std::optional<std::uint64_t> contentLength_;
  TChunk chunk_ = TChunk::Size;
  std::string line_;
  std::uint64_t chunkLeft_ = 0;
  TSha1Digest payload_;
};

}  // namespace kestrix
