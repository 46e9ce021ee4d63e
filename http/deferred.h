// Deferred notifications: work posted now and run later from the owning
// thread's event loop, in posting order, never inside the call that posts it.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace kestrix {

// Each component owns one. Notifications still waiting when it is destroyed
// are dropped, so a posted callback may safely capture its owner.
class TDeferred {
 public:
  TDeferred();
  ~TDeferred();
  TDeferred(const TDeferred&) = delete;
  TDeferred& operator=(const TDeferred&) = delete;

  // Safe to call from the owning thread only.
  void Post(std::function<void()> work);
  // The same, no sooner than `ms` milliseconds from now.
  void PostAfter(int ms, std::function<void()> work);

  // The object whose thread and lifetime the notifications follow; other
  // threads post to it with QMetaObject::invokeMethod(Context(), ...).
  QObject* Context() const { return context_.get(); }

 private:
  std::unique_ptr<QObject> context_;
};

}  // namespace kestrix
