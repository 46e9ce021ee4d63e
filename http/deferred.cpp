#include "http/deferred.h"

#include <QTimer>
#include <utility>

namespace kestrix {

TDeferred::TDeferred() : context_(std::make_unique<QObject>()) {}

TDeferred::~TDeferred() = default;

void TDeferred::Post(std::function<void()> work) {
  // Queued invocations on one receiver are delivered in posting order, and
  // Qt discards them when the receiver is destroyed first.
  QMetaObject::invokeMethod(
      context_.get(), [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

void TDeferred::PostAfter(int ms, std::function<void()> work) {
  // A timer with a context object is dropped with that object, as above.
  QTimer::singleShot(ms, context_.get(), [work = std::move(work)] { work(); });
}

}  // namespace kestrix
