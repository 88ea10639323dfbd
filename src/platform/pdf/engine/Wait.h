#pragma once

#include <functional>

namespace vmk::pdf {

// How a wait ended: its work ran to the end, or the user called the wait off (Esc, closing a window,
// Quit) and the caller must treat the work's result as never made.
enum class WaitOutcome { Finished, Cancelled };

// What happens to work the user calls off.
enum class OnCancel {
    // The work touches what the caller owns: it is told to stop (waitCancelled() turns true) and is
    // waited for, the window still answering, before the caller goes on.
    Finish,
    // The work owns everything it touches (it holds copies, never the caller's references): the caller
    // goes on at once, and the work ends on its own thread and frees there what it made.
    Abandon,
};

// Runs work the caller has to wait for on a thread of its own while the application's main thread goes on
// painting and running its timers, and answers the user: Esc, closing a window or Quit call the wait off;
// other presses are refused with a visible hint, and the close or Quit is carried out once the wait has
// ended. Off the main thread the work simply runs in place. The work must not touch anything the main
// thread may use meanwhile. Work shorter than `quietMs` is simply waited for, the window not told; work that
// hands slices to the main thread (runSliceOnMainThread) asks for 0, so that the first is taken at once.
WaitOutcome waitWhileAnswering(std::function<void()> work, OnCancel onCancel = OnCancel::Finish, int quietMs = 40);

// On the thread doing such work: whether the user has called it off. Long loops look at it to stop early.
bool waitCancelled();

// On the thread doing such work, for its lifetime: what runs does not see the wait called off. For a step
// that must end once begun, such as reading back a copy just written (stopped, it would say the copy is bad).
class IgnoringCancel {
public:
    IgnoringCancel();
    ~IgnoringCancel();
    IgnoringCancel(const IgnoringCancel&) = delete;
    IgnoringCancel& operator=(const IgnoringCancel&) = delete;

private:
    const void* m_saved;
};

} // namespace vmk::pdf
