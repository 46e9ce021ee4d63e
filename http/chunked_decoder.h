// Reads the chunked framing of a reply body: the payload goes to a stream,
// and the decoder says where the body ends, so that a kept connection knows
// where the next reply begins. Trailer fields are read and dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/streams.h"

namespace kestrix {

class TChunkedDecoder {
 public:
  // Reads up to `size` bytes and writes the payload among them to `out`;
  // returns how many bytes belong to the body (fewer than `size` only once
  // it has ended). Never throws for bad input: the first fault is kept and
  // nothing more is read. Failures of `out` do throw.
  std::size_t Feed(const char* data, std::size_t size, TOutStream& out);

  // The last chunk and the trailer's empty line have arrived.
  bool Done() const { return state_ == TState::Done; }
  // The last chunk has arrived; only (optional) trailer lines may follow.
  bool LastChunkSeen() const { return state_ == TState::Trailer || state_ == TState::Done; }
  const std::string& Error() const { return error_; }

 private:
  enum class TState : std::uint8_t { Size, Data, DataEnd, Trailer, Done };
  bool EndOfLine();
  void Fail(const char* why);

  TState state_ = TState::Size;
  std::string line_;
  std::uint64_t chunkLeft_ = 0;
  int trailerLines_ = 0;
  std::string error_;
};

}  // namespace kestrix
