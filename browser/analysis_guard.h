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
// hands the work to RunOrDefer() and returns. Deferred work is handed to the
// poster once the outermost Scope ends, in the order it was deferred, and is
// checked again when it runs, so it never runs inside a later wait either.
// Header-only and free of Qt, so the engine can use it without linking the
// browser.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace kestrix {

class AnalysisGuard {
 public:
  using Work = std::function<void()>;
  // Runs work later from the program's event loop. Without one, deferred work
  // runs as soon as the outermost Scope ends.
  using Poster = std::function<void(Work)>;

  explicit AnalysisGuard(Poster post = {}) : post_(std::move(post)) {}
  AnalysisGuard(const AnalysisGuard&) = delete;
  AnalysisGuard& operator=(const AnalysisGuard&) = delete;

  bool InProgress() const { return depth_ > 0; }

  void RunOrDefer(Work work) {
    if (InProgress()) {
      deferred_.push_back(std::move(work));
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
      if (guard_ != nullptr && --guard_->depth_ == 0) guard_->Release();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    AnalysisGuard* guard_;
  };

 private:
  void Release() {
    std::vector<Work> ready = std::move(deferred_);
    deferred_.clear();
    for (Work& work : ready) {
      if (post_) {
        post_([this, work = std::move(work)]() mutable { RunOrDefer(std::move(work)); });
      } else {
        RunOrDefer(std::move(work));
      }
    }
  }

  Poster post_;
  int depth_ = 0;
  std::vector<Work> deferred_;
};

}  // namespace kestrix
