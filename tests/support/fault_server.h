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
  std::string Header(const std::string& name) const { return HasHeader(name) ? *Find(name) : ""; }
  bool HasHeader(const std::string& name) const { return Find(name) != nullptr; }
  const std::string* Find(const std::string& name) const;
};

// A scenario step that sends `bytes` exactly as given (binary included):
// {"send": "..."} with every byte the JSON text cannot hold as it is escaped.
std::string SendStep(const std::string& bytes);

// One of our Python servers on 127.0.0.1, started and stopped by the test;
// it logs every request it receives.
class TScriptServer {
 public:
  ~TScriptServer() { Stop(); }
  TScriptServer(const TScriptServer&) = delete;
  TScriptServer& operator=(const TScriptServer&) = delete;

  void Stop();
  int Port() const { return port_; }
  std::vector<TRecordedRequest> Requests() const;
  const std::string& Error() const { return error_; }

 protected:
  TScriptServer() = default;
  // Runs `argv` with a log and a lifetime; false with Error() set.
  bool Run(std::vector<std::string> argv, const std::string& name);
  TScratchDir run_;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string error_;
};

// fault_server.py playing `scenarioJson`.
class TFaultServer : public TScriptServer {
 public:
  explicit TFaultServer(std::string scenarioJson) : scenario_(std::move(scenarioJson)) {}
  bool Start();
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(Port()); }

 private:
  std::string scenario_;
};

}  // namespace kestrix::test
