#include "browser/nested_wait.h"

#include "browser/analysis_guard.h"

#include <QEventLoop>
#include <QTimer>

namespace kestrix {

bool NestedWait::Wait(int timeout_ms) {
  if (done_) return true;
  AnalysisGuard::Scope scope(guard_);
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(timeout_ms);
  loop_ = &loop;
  loop.exec(QEventLoop::ExcludeSocketNotifiers | QEventLoop::ExcludeUserInputEvents);
  loop_ = nullptr;
  return done_;
}

void NestedWait::Done(QVariant value) {
  if (done_) return;
  done_ = true;
  value_ = std::move(value);
  if (loop_ != nullptr) loop_->quit();
}

}  // namespace kestrix
