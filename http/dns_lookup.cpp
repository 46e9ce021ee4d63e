#include "http/dns_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>

#include "http/socket_errors.h"

namespace kestrix {

// What the lookup thread and the owner share. The owner clears `receiver`
// when it cancels or goes away; the thread only posts while holding the lock
// and seeing a receiver, so it never touches a destroyed object.
struct TAsyncLookup::Shared {
  std::mutex lock;
  QObject* receiver = nullptr;
};

TLookupAnswer LookupHostNow(const std::string& host) {
  TLookupAnswer answer;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (rc != 0) {
    answer.Error = WinsockErrorFromLookup(rc);
    return answer;
  }
  std::vector<std::string> v4, v6;
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    char text[INET6_ADDRSTRLEN] = {};
    if (ai->ai_family == AF_INET) {
      auto* sa = reinterpret_cast<sockaddr_in*>(ai->ai_addr);
      inet_ntop(AF_INET, &sa->sin_addr, text, sizeof text);
      if (std::find(v4.begin(), v4.end(), text) == v4.end()) v4.emplace_back(text);
    } else if (ai->ai_family == AF_INET6) {
      auto* sa = reinterpret_cast<sockaddr_in6*>(ai->ai_addr);
      inet_ntop(AF_INET6, &sa->sin6_addr, text, sizeof text);
      if (std::find(v6.begin(), v6.end(), text) == v6.end()) v6.emplace_back(text);
    }
  }
  freeaddrinfo(list);
  answer.Addresses = std::move(v4);
  answer.Addresses.insert(answer.Addresses.end(), v6.begin(), v6.end());
  if (answer.Addresses.empty()) answer.Error = WSANO_DATA;
  return answer;
}

TAsyncLookup::TAsyncLookup(QObject* context) : context_(context) {}

TAsyncLookup::~TAsyncLookup() {
  Cancel();
}

void TAsyncLookup::Start(const std::string& host, std::function<void(const TLookupAnswer&)> done) {
  Cancel();
  auto shared = std::make_shared<Shared>();
  shared->receiver = context_;
  // Detached: a lookup may take as long as the system resolver likes, and
  // neither the owner nor the program's exit waits for it.
  std::thread([shared, host, done = std::move(done), this]() mutable {
    TLookupAnswer answer = LookupHostNow(host);
    std::lock_guard guard(shared->lock);
    if (!shared->receiver) return;
    QMetaObject::invokeMethod(
        shared->receiver,
        [shared, answer = std::move(answer), done = std::move(done), this] {
          {
            std::lock_guard inner(shared->lock);
            if (!shared->receiver) return;  // cancelled after the answer was posted
            shared->receiver = nullptr;
          }
          pending_.reset();
          done(answer);
        },
        Qt::QueuedConnection);
  }).detach();
  // Only now: a thread that could not be started leaves nothing pending. The
  // answer cannot overtake this, as it is delivered through the event loop.
  pending_ = shared;
}

void TAsyncLookup::Cancel() {
  if (!pending_) return;
  {
    std::lock_guard guard(pending_->lock);
    pending_->receiver = nullptr;
  }
  pending_.reset();
}

}  // namespace kestrix
