// The socket's queue of data waiting to be sent, kept in chunks of 1514
// bytes: Send copies into it and returns at once, the socket drains it as
// fast as the system accepts data.
#pragma once

#include <cstddef>
#include <deque>
#include <string_view>
#include <vector>

namespace kestrix {

class TSendBuffer {
 public:
  static constexpr std::size_t kChunkSize = 1514;

  // Fills the last chunk, then as many new chunks as needed.
  void Append(const char* data, std::size_t size);
  // The unsent data of the first chunk; empty when nothing waits.
  std::string_view Front();
  // Marks `count` bytes of the first chunk as sent; drops an emptied chunk.
  void Consume(std::size_t count);
  bool Empty() const { return chunks_.empty(); }
  void Clear() { chunks_.clear(); }
  std::size_t ChunkCount() const { return chunks_.size(); }

 private:
  struct TBuffer {
    std::vector<char> Data;
    std::size_t Read = 0;
  };
  std::deque<TBuffer> chunks_;
};

}  // namespace kestrix
