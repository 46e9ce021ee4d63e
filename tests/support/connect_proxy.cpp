#include "tests/support/connect_proxy.h"

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
  port_ = SpawnServer(argv, "the proxy", pid_, error_);
  if (port_ <= 0) return false;
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
