// A TCP server on 127.0.0.1 that counts every connection made to it and
// answers each with a tiny page. It runs on its own thread so it sees
// connections even while the test's thread is inside a nested wait.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrix::test {

class HitCounter {
 public:
  HitCounter();
  ~HitCounter();
  HitCounter(const HitCounter&) = delete;
  HitCounter& operator=(const HitCounter&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path) const;
  int Hits() const { return hits_.load(); }
  // First lines of the requests received, for failure messages.
  std::string Requests() const;

 private:
  void Serve();

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> hits_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace kestrix::test
