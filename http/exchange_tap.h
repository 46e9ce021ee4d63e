// An observer of the client's exchanges with servers, for a recorder that
// keeps them as they were (a web archive): each request exactly as sent and
// each reply exactly as received, before any transfer or content decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/exchange_end.h"

namespace kestrix {

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
  // Every exchange that began ends exactly once, also when the client is
  // destroyed in the middle of one (the tap must outlive the client).
  virtual void ExchangeEnd(TExchangeEnd end, const std::string& why) = 0;
};

}  // namespace kestrix
