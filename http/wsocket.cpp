#include "http/wsocket.h"

namespace kestrix {

void TWSocket::SetSocksLevel(const std::string& value) {
  if (State() != wsClosed) return RaiseException("Can't change socks level if not closed");
  if (value != "4" && value != "4A" && value != "4a" && value != "5") {
    return RaiseException("Invalid socks level. Must be 4, 4A or 5.");
  }
  socksLevel_ = value == "4a" ? "4A" : value;
}

void TWSocket::SetSocksServer(const std::string& value) {
  if (State() != wsClosed) return RaiseException("Can't change socks server if not closed");
  socksServer_ = value;
}

void TWSocket::SetSocksPort(const std::string& value) {
  if (State() != wsClosed) return RaiseException("Can't change socks port if not closed");
  socksPort_ = value;
}

}  // namespace kestrix
