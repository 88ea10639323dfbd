#pragma once

#include <functional>

class QThreadPool;

namespace vmk::platform {

// Handing work to a pool may start a thread for it, and starting a thread maps its stack: that waits for the
// process's memory map, which every other thread takes too while it faults in or grows its heap, for tens of
// milliseconds when the machine is busy. The window's thread must not wait for that, so what it starts is
// handed, in order, to one thread kept for starting; from any other thread it starts at once.
void startOffWindowThread(std::function<void()> start);
// The same for one piece of work on a pool that lives until the application ends.
void startOffWindowThread(QThreadPool& pool, std::function<void()> work, int priority = 0);
// Returns once every start handed over before the call has run. For owners that wait for their work.
void waitForHandedStarts();
// Starts the starting thread now, while nothing else competes for the memory map (at launch).
void prepareThreadStarter();

} // namespace vmk::platform
