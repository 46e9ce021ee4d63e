// Running the Qt event loop in tests until something happened, never longer
// than a deadline.
#pragma once

#include <functional>

namespace kestrix::test {

// Processes events until `done` returns true or `timeoutMs` have passed;
// returns what `done` said last.
bool RunUntil(const std::function<bool()>& done, int timeoutMs);
// Processes events for `ms` milliseconds.
void RunFor(int ms);

}  // namespace kestrix::test
