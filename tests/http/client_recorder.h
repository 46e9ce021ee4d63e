// Watches a THttpCli in tests: records its events in order and collects the
// body, so a test can assert what a download worker would have seen.
#pragma once

#include <algorithm>
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

// A read throttle that grants one read of up to 4096 bytes, then refuses
// the next for `RetryMs`, in turn.
struct TTakeTurns : TReadThrottle {
  explicit TTakeTurns(int retryMs) : RetryMs(retryMs) {}
  TReadAllowance Allow(std::size_t wanted) override {
    if ((grant = !grant)) return {std::min<std::size_t>(wanted, 4096), 0};
    ++Pauses;
    return {0, RetryMs};
  }
  void Consumed(std::size_t count) override { Total += count; }
  int RetryMs;
  bool grant = false;
  int Pauses = 0;
  std::size_t Total = 0;
};

}  // namespace kestrix::test
