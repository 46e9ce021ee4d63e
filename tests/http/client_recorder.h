// Watches a THttpCli in tests: records its events in order and collects the
// body, so a test can assert what a download worker would have seen.
#pragma once

#include <string>
#include <vector>

#include "http/http_client.h"

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

}  // namespace kestrix::test
