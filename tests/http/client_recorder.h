// Watches a THttpCli in tests: records its events in order and collects the
// body, so a test can assert what a download worker would have seen; and the
// suite of tests against one scripted server.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "tests/support/fault_server.h"

namespace kestrix::test {

struct TClientRecorder {
  explicit TClientRecorder(THttpCli& client);

  // Starts a GET and runs the event loop until OnRequestDone or `timeoutMs`.
  bool Get(const std::string& url, int timeoutMs = 10000);
  // Runs the event loop until OnRequestDone or `timeoutMs`.
  bool WaitDone(int timeoutMs = 10000);

  THttpCli& Client;
  std::vector<std::string> Events;  // consecutive OnDocData recorded once
  std::string Body;
  int Done = 0;
  int DoneError = -1;
  THttpState StateAtDone = httpAborting;
  std::vector<std::string> Locations;  // Location at each OnLocationChange
};

// A suite against one scripted server of its own, started once: `Self`
// gives its scenario in a static Scenario().
template <class Self>
class TScriptedSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<TFaultServer>(Self::Scenario());
    if (!server_->Start()) FAIL() << server_->Error();
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { seen_ = server_->Requests().size(); }
  std::string Url(const std::string& path) const { return server_->BaseUrl() + path; }
  // The requests the server received during this test.
  std::vector<TRecordedRequest> NewRequests() const {
    auto all = server_->Requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end()};
  }

  inline static std::unique_ptr<TFaultServer> server_;
  std::size_t seen_ = 0;
  THttpCli client;
};

}  // namespace kestrix::test
