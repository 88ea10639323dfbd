#pragma once

#include <functional>

namespace vmk::pdf {

// For the worker of a waitWhileAnswering(): runs `slice` on the application's main thread, between its
// other work (painting, timers), and returns once it has run. A slice must be short: the window waits for
// it. Once the wait has been called off, a slice the main thread does not come to within `patienceMs` is
// given up (the application is ending and waits for the worker): it then never runs and the answer is false.
// Called on the main thread, or without an application, the slice simply runs.
bool runSliceOnMainThread(const std::function<void()>& slice, int patienceMs = 500);

} // namespace vmk::pdf
