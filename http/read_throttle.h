// A brake on how fast a client reads, for a bandwidth cap: asked before each
// read from the connection. When nothing may be read the client stops
// watching the connection and asks again later, so the event loop never
// waits and the server's sending is held up by the connection itself.
#pragma once

#include <cstddef>

namespace kestrix {

struct TReadAllowance {
  std::size_t Bytes = 0;  // how many bytes may be read now (at most what was asked)
  int RetryMs = 0;        // with Bytes 0: when to ask again
};

class TReadThrottle {
 public:
  virtual ~TReadThrottle() = default;
  // The client would read up to `wanted` bytes now.
  virtual TReadAllowance Allow(std::size_t wanted) = 0;
  // It read `count` bytes.
  virtual void Consumed(std::size_t count) = 0;
};

}  // namespace kestrix
