// nginx on 127.0.0.1 for tests and benchmarks, with its configuration, pid
// and logs in a scratch folder of its own; stopped when destroyed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace kestrix::test {

class TNginxServer {
 public:
  // Serves the folder `root` (Last-Modified, byte ranges, If-Modified-Since
  // answered 304 when the file is not newer). `extraConfig` goes inside the
  // server block, e.g. "location = /form { return 302 /done.html; }".
  explicit TNginxServer(std::string root, std::string extraConfig = "");
  ~TNginxServer();
  TNginxServer(const TNginxServer&) = delete;
  TNginxServer& operator=(const TNginxServer&) = delete;

  // False with Error() set when nginx is missing or does not answer.
  bool Start();
  void Stop();
  int Port() const { return port_; }
  std::string BaseUrl() const {
    return (tls_ ? "https" : "http") + std::string("://127.0.0.1:") + std::to_string(port_);
  }
  // Serves over TLS with this certificate chain and key (PEM files); call
  // before Start().
  void UseTls(const std::string& certFile, const std::string& keyFile);
  // "status bytes method uri" per request, in order.
  std::vector<std::string> AccessLog() const;
  // The same once it holds at least `lines` lines: nginx writes a line
  // after the reply has gone, so a client may finish first. Waits up to
  // three seconds, then returns what there is.
  std::vector<std::string> AccessLog(std::size_t lines) const;
  // How many connections the requests from the `request`-th on (counted
  // as in AccessLog) came over.
  std::size_t ConnectionsSince(std::size_t request) const;
  const std::string& Error() const { return error_; }

 private:
  std::string root_, extra_, error_;
  TScratchDir run_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool tls_ = false;
};

}  // namespace kestrix::test
