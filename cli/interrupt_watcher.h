// Ctrl-C (SIGINT) and SIGTERM while a download runs. The signal handler only
// writes a byte into a pipe; the event loop notices the pipe and runs the
// callback, so stopping the download happens outside the handler, at a point
// where the engine is between events.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace kestrix {

class InterruptWatcher {
 public:
  // Installs the handlers; `onInterrupt` runs on the event loop's thread once
  // per delivered signal. A second signal after the first ends the process
  // the ordinary way, so a stop that hangs can still be broken off.
  explicit InterruptWatcher(std::function<void()> onInterrupt);
  // Restores the previous handlers.
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

  bool Interrupted() const { return interrupted_; }

 private:
  std::function<void()> onInterrupt_;
  std::unique_ptr<QSocketNotifier> notifier_;
  int pipe_[2] = {-1, -1};
  bool interrupted_ = false;
};

}  // namespace kestrix
