#pragma once

// Memory a closed document freed goes back to the system. The C library keeps what its workers' heaps
// freed for reuse, and a document read on eight workers leaves hundreds of megabytes there, nearly all
// of it free, yet counted against the process until it ends.

namespace vmk::platform {

// Asks for the free memory of every heap to be handed back. The trim runs on a thread of its own, where it
// takes each heap's lock in turn and holds up no window; requests made while one runs are served by one
// more.
void trimHeapSoon();

// Trims finished in this process, and whether one is asked for or running (test and benchmark hooks).
int heapTrimsDone();
bool isHeapTrimUnderWay();

} // namespace vmk::platform
