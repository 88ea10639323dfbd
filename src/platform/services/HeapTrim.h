#pragma once

// Memory a closed document freed goes back to the system. The C library keeps what its workers' heaps
// freed for reuse, and a document read on eight workers leaves hundreds of megabytes there, nearly all
// of it free, yet counted against the process until it ends.

namespace vmk::platform {

// Asks for the free memory of every heap to be handed back. The trim runs on a thread of its own, where it
// takes each heap's lock in turn and holds up no window; requests made while one runs are served by one
// more, and requests made while a large release is under way by the one that follows its end.
void trimHeapSoon();

// A large release (a closed document, the copies a read worked from) from the moment it is decided, on the
// thread that decides it, to the moment its last byte is freed, on whichever thread frees it. A trim that
// ran in between would miss what is freed after it, and one after each release would hand back, page by
// page, memory the next release's neighbours reuse: the heaps are trimmed once, when the last of the
// releases under way ends.
void heapReleaseBegins();
void heapReleaseEnds();

// On a worker thread, once: when the thread ends, the free end of its heap is handed back. Only a large
// block freed by a thread that uses the heap shrinks that end (the trim gives back the free blocks inside a
// worker's heap, not its end), and a heap whose thread ended waits, unused, for the next thread: after a
// search, the ended readers' heaps kept tens of MiB at their ends.
void shrinkHeapWhenThreadEnds();

// Trims finished in this process, and whether one is asked for, running, or waits for a release under way
// (test and benchmark hooks).
int heapTrimsDone();
bool isHeapTrimUnderWay();

} // namespace vmk::platform
