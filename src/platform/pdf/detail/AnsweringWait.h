#pragma once

#include <functional>

namespace vmk::pdf::detail {

// Runs work that the caller must wait for on a thread of its own, and keeps the caller's event loop turning
// meanwhile when the caller is the application's main thread and the work takes longer than `quietMs`:
// timers, painting and queued calls go on, user input and sockets wait until the work is done (so nothing
// the user does can start over what is waiting). Work shorter than that is simply waited for. Elsewhere
// the work runs in place. Returns once the work has ended, whatever happens to the event loop meanwhile.
void runWhileAnswering(const std::function<void()>& work, int quietMs = 40);

} // namespace vmk::pdf::detail
