#include "cli/interrupt_watcher.h"

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace kestrix {

namespace {

// A signal handler can reach nothing but what a global holds; this is the
// write end of the current watcher's pipe, -1 while no watcher exists.
volatile sig_atomic_t g_wakeFd = -1;

struct sigaction g_oldInt;
struct sigaction g_oldTerm;

extern "C" void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  if (g_wakeFd >= 0) (void)!write(g_wakeFd, &byte, 1);
  errno = saved;
}

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
  g_wakeFd = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    char buffer[16];
    while (read(pipe_[0], buffer, sizeof buffer) > 0) {
    }
    if (interrupted_) return;
    interrupted_ = true;
    if (onInterrupt_) onInterrupt_();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // The handler resets itself: a second Ctrl-C ends the process at once.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, &g_oldInt);
  sigaction(SIGTERM, &action, &g_oldTerm);
}

InterruptWatcher::~InterruptWatcher() {
  if (pipe_[0] < 0) return;
  sigaction(SIGINT, &g_oldInt, nullptr);
  sigaction(SIGTERM, &g_oldTerm, nullptr);
  g_wakeFd = -1;
  notifier_.reset();
  close(pipe_[0]);
  close(pipe_[1]);
}

}  // namespace kestrix
