#pragma once

#include "platform/pdf/engine/Wait.h"

#include <functional>

namespace vmk::pdf::detail {

// Runs work that the caller must wait for on a thread of its own, and keeps the caller's event loop turning
// meanwhile when the caller is the application's main thread and the work takes longer than `quietMs`:
// timers, painting and queued calls go on, and the user's input is answered by InputDuringWait (Esc, a
// window's close or Quit call the wait off, other presses are refused, nothing of it reaches the windows
// while the work runs, so nothing the user does can start over what is waiting). Work shorter than that is
// simply waited for. Elsewhere the work runs in place. A wait called off, or cut short by the application
// ending, tells its work so (waitCancelled()) and then either waits for it or leaves it, as `onCancel` says.
WaitOutcome runWhileAnswering(std::function<void()> work, OnCancel onCancel, int quietMs = 40);

// The same for work that is always waited for to the end.
inline void runWhileAnswering(const std::function<void()>& work, int quietMs = 40)
{
    runWhileAnswering(work, OnCancel::Finish, quietMs);
}

// How many workers of such waits have not ended yet, abandoned ones included.
int runningWaitWorkers();

} // namespace vmk::pdf::detail
