#pragma once

#include <functional>

namespace vmk::pdf {

// Runs work the caller has to wait for on a thread of its own while the application's main thread goes on
// painting and running its timers (user input waits until the work is done); off the main thread the work
// simply runs in place. The work must not touch anything the main thread may use meanwhile. Work shorter
// than `quietMs` is simply waited for.
void waitWhileAnswering(const std::function<void()>& work, int quietMs = 40);

} // namespace vmk::pdf
