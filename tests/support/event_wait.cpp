#include "tests/support/event_wait.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace kestrix::test {

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QDeadlineTimer deadline(timeoutMs);
  QEventLoop loop;
  QTimer tick;
  tick.setInterval(2);
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (done() || deadline.hasExpired()) loop.quit();
  });
  tick.start();
  loop.exec();
  return done();
}

void RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

}  // namespace kestrix::test
