// Our small HTTP proxy (connect_proxy.py) on 127.0.0.1, started and stopped
// by the test that uses it: it opens CONNECT tunnels and forwards requests
// with absolute URLs, to loopback only, and records every request it gets.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/fault_server.h"
#include "tests/support/scratch_dir.h"

namespace kestrix::test {

class TConnectProxy {
 public:
  // With `credentials` ("user:password") every request must carry them.
  explicit TConnectProxy(std::string credentials = {});
  ~TConnectProxy();
  TConnectProxy(const TConnectProxy&) = delete;
  TConnectProxy& operator=(const TConnectProxy&) = delete;

  bool Start();
  void Stop();
  int Port() const { return port_; }
  std::vector<TRecordedRequest> Requests() const;
  const std::string& Error() const { return error_; }

 private:
  std::string credentials_, error_;
  TScratchDir run_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace kestrix::test
