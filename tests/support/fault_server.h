// Our scripted fault server (fault_server.py) on 127.0.0.1, started and
// stopped by the test that uses it; it records every request it receives.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace kestrix::test {

struct TRecordedRequest {
  std::string RequestLine;
  std::vector<std::pair<std::string, std::string>> Headers;
  std::string Body;
  int Overlap = 0;     // requests for the same target still being answered at its arrival
  int Connection = 0;  // which of the server's connections it came on, from 1
  int Open = 0;        // the server's connections open at its arrival, its own included
  double Time = 0;     // when it arrived, in seconds of the server's steady clock
  // The value of the first header named `name` (any case); empty if none.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// A scenario step that sends `bytes` exactly as given (binary included):
// {"send": "..."} with every byte the JSON text cannot hold as it is escaped.
std::string SendStep(const std::string& bytes);

// The requests a server of ours logged to `path`, one JSON line each.
std::vector<TRecordedRequest> ReadRequestLog(const std::string& path);

class TFaultServer {
 public:
  // `scenarioJson`: see fault_server.py.
  explicit TFaultServer(std::string scenarioJson);
  ~TFaultServer();
  TFaultServer(const TFaultServer&) = delete;
  TFaultServer& operator=(const TFaultServer&) = delete;

  bool Start();
  void Stop();
  int Port() const { return port_; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::vector<TRecordedRequest> Requests() const;
  const std::string& Error() const { return error_; }

 private:
  std::string scenario_, error_;
  TScratchDir run_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace kestrix::test
