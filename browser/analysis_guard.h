// Keeps page analysis from being entered twice.
//
// Resolving a link's script means waiting for the hidden page, and waiting
// means running a nested event loop. That loop already leaves socket
// notifiers and user input alone, but timers and posted events still fire,
// and one of them may be another worker finishing its page. Were that
// worker to analyse its page right there, it would use the one parser and
// the one hidden page while the first analysis is half done.
//
// The contract: whoever waits inside analysis holds a Scope for the wait
// (the script executor does, around every nested wait); the engine, before
// it analyses a finished page, checks InProgress() and, when it is true,
// hands the work to RunOrDefer() and returns. Deferred work is run from the
// event loop (through the poster) once the outermost Scope has ended, in the
// order it was deferred, and never while a later wait is in progress.
// Header-only and free of Qt, so the engine can use it without linking the
// browser.
#pragma once

#include <deque>
#include <functional>
#include <utility>

namespace kestrix {

class AnalysisGuard {
 public:
  using Work = std::function<void()>;
  // Runs work later from the program's event loop. Without one, deferred work
  // runs as soon as the outermost Scope ends. Posted work refers to the
  // guard, so the guard must outlive the event loop's last turn.
  using Poster = std::function<void(Work)>;

  explicit AnalysisGuard(Poster post = {}) : post_(std::move(post)) {}
  AnalysisGuard(const AnalysisGuard&) = delete;
  AnalysisGuard& operator=(const AnalysisGuard&) = delete;

  bool InProgress() const { return depth_ > 0; }

  // Work runs in the order it was given: while earlier work still waits,
  // later work waits behind it.
  void RunOrDefer(Work work) {
    if (InProgress() || !deferred_.empty()) {
      deferred_.push_back(std::move(work));
      if (!InProgress()) Schedule();
      return;
    }
    work();
  }

  class Scope {
   public:
    explicit Scope(AnalysisGuard* guard) : guard_(guard) {
      if (guard_ != nullptr) ++guard_->depth_;
    }
    ~Scope() {
      if (guard_ != nullptr && --guard_->depth_ == 0 && !guard_->deferred_.empty()) {
        guard_->Schedule();
      }
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    AnalysisGuard* guard_;
  };

 private:
  void Schedule() {
    if (post_) {
      if (scheduled_) return;
      scheduled_ = true;
      post_([this] {
        scheduled_ = false;
        Drain();
      });
      return;
    }
    Drain();
  }

  void Drain() {
    if (draining_) return;  // the running loop below takes the rest
    draining_ = true;
    while (!InProgress() && !deferred_.empty()) {
      Work work = std::move(deferred_.front());
      deferred_.pop_front();
      work();
    }
    draining_ = false;
  }

  Poster post_;
  int depth_ = 0;
  bool scheduled_ = false;
  bool draining_ = false;
  std::deque<Work> deferred_;
};

}  // namespace kestrix
