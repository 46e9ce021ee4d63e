// Our fault server as a small HTTP proxy on 127.0.0.1: it opens CONNECT
// tunnels and forwards requests with absolute URLs, to loopback only.
#pragma once

#include <string>

#include "tests/support/fault_server.h"

namespace kestrix::test {

class TConnectProxy : public TScriptServer {
 public:
  // With `credentials` ("user:password") every request must carry them.
  explicit TConnectProxy(std::string credentials = {}) : credentials_(std::move(credentials)) {}
  bool Start();

 private:
  std::string credentials_;
};

}  // namespace kestrix::test
