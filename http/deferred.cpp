#include "http/deferred.h"

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

}  // namespace kestrix
