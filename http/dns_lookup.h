// Asynchronous host name lookup: getaddrinfo() runs on a thread of its own and
// the answer is handed back on the owner's thread through its event loop.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrix {

struct TLookupAnswer {
  int Error = 0;  // a Winsock code, 11001..11004, or 0
  // Every address in text form, IPv4 addresses first; IPv6 ones come last
  // so that a host reachable only over IPv6 can still be reached.
  std::vector<std::string> Addresses;
};

// Looks `host` up on the calling thread (blocking).
TLookupAnswer LookupHostNow(const std::string& host);

class TAsyncLookup {
 public:
  // `context` is an object living on the owner's thread; answers are
  // delivered through its event queue and dropped when it is gone.
  explicit TAsyncLookup(QObject* context);
  ~TAsyncLookup();
  TAsyncLookup(const TAsyncLookup&) = delete;
  TAsyncLookup& operator=(const TAsyncLookup&) = delete;

  // Starts a lookup; `done` runs later on the owner's thread unless the
  // lookup is cancelled first. A pending lookup is cancelled silently.
  void Start(const std::string& host, std::function<void(const TLookupAnswer&)> done);
  // Forgets the pending lookup: its answer, whenever it comes, is ignored.
  void Cancel();
  bool Pending() const { return pending_ != nullptr; }

 private:
  struct Shared;
  QObject* context_;
  std::shared_ptr<Shared> pending_;
};

}  // namespace kestrix
