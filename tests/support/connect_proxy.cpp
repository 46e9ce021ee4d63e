#include "tests/support/connect_proxy.h"

#include <unistd.h>

#include <cstdlib>

#include "tests/support/child_process.h"

namespace kestrix::test {

TConnectProxy::TConnectProxy(std::string credentials) : credentials_(std::move(credentials)) {}

TConnectProxy::~TConnectProxy() {
  Stop();
}

bool TConnectProxy::Start() {
  std::vector<std::string> argv{"python3",    KESTRIX_CONNECT_PROXY,
                                "--log",      run_.Path() + "requests.jsonl",
                                "--lifetime", "300"};
  if (!credentials_.empty()) {
    argv.push_back("--credentials");
    argv.push_back(credentials_);
  }
  int out = -1;
  pid_ = Spawn(argv, &out);
  if (pid_ <= 0) {
    error_ = "cannot run python3";
    return false;
  }
  std::string first = ReadFirstLine(out, 10000);
  close(out);
  port_ = std::atoi(first.c_str());
  if (port_ <= 0) {
    error_ = "the proxy printed no port";
    Stop();
    return false;
  }
  return true;
}

void TConnectProxy::Stop() {
  StopChild(pid_);
  pid_ = -1;
}

std::vector<TRecordedRequest> TConnectProxy::Requests() const {
  return ReadRequestLog(run_.Path() + "requests.jsonl");
}

}  // namespace kestrix::test
