// A bounded wait for the hidden page. Runs a nested event loop that leaves
// socket notifiers and user input alone, inside an AnalysisGuard scope, until
// Done() is called or the time is up. Callbacks hold it by shared pointer, so
// an answer that arrives after the wait has given up lands harmlessly.
#pragma once

#include <QVariant>

class QEventLoop;

namespace kestrix {

class AnalysisGuard;

class NestedWait {
 public:
  explicit NestedWait(AnalysisGuard* guard) : guard_(guard) {}

  // True when Done() came before `timeout_ms` had passed.
  bool Wait(int timeout_ms);
  void Done(QVariant value = {});

  bool IsDone() const { return done_; }
  const QVariant& Value() const { return value_; }

 private:
  AnalysisGuard* guard_;
  bool done_ = false;
  QVariant value_;
  QEventLoop* loop_ = nullptr;
};

}  // namespace kestrix
