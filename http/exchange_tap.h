// An observer of the client's exchanges with servers, for a recorder that
// keeps them as they were (a web archive): each request exactly as sent and
// each reply exactly as received, before any transfer or content decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrix {

enum class TExchangeEnd : std::uint8_t {
  Complete,  // the reply arrived whole, as far as its framing tells
  Cut        // the reply stopped short, or was not read to its end; see why
};

class TExchangeTap {
 public:
  virtual ~TExchangeTap() = default;

  // A request leaves for `url` (absolute, with its port when it is not the
  // scheme's default, never with credentials) over a connection to the
  // address `peerAddress` (the proxy's, when one is used). A relocation and
  // a request sent again on a new connection each begin an exchange.
  virtual void ExchangeBegin(const std::string& url, const std::string& peerAddress) = 0;
  // The request's header, then each piece of its body, as handed to the socket.
  virtual void RequestData(const char* data, std::size_t size) = 0;
  // The reply's header, then its body, as read from the connection.
  virtual void ReplyData(const char* data, std::size_t size) = 0;
  // Every exchange that began ends exactly once.
  virtual void ExchangeEnd(TExchangeEnd end, const std::string& why) = 0;
};

}  // namespace kestrix
