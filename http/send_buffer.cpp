#include "http/send_buffer.h"

#include <algorithm>

namespace kestrix {

void TSendBuffer::Append(const char* data, std::size_t size) {
  while (size > 0) {
    if (chunks_.empty() || chunks_.back().Data.size() >= kChunkSize) {
      chunks_.emplace_back();
      chunks_.back().Data.reserve(kChunkSize);
    }
    auto& chunk = chunks_.back().Data;
    std::size_t take = std::min(kChunkSize - chunk.size(), size);
    chunk.insert(chunk.end(), data, data + take);
    data += take;
    size -= take;
  }
}

std::string_view TSendBuffer::Front() {
  while (!chunks_.empty() && chunks_.front().Read >= chunks_.front().Data.size()) {
    chunks_.pop_front();
  }
  if (chunks_.empty()) return {};
  const TBuffer& chunk = chunks_.front();
  return {chunk.Data.data() + chunk.Read, chunk.Data.size() - chunk.Read};
}

void TSendBuffer::Consume(std::size_t count) {
  if (chunks_.empty()) return;
  TBuffer& chunk = chunks_.front();
  chunk.Read = std::min(chunk.Read + count, chunk.Data.size());
  if (chunk.Read == chunk.Data.size()) chunks_.pop_front();
}

}  // namespace kestrix
