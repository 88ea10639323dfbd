#include "platform/services/HeapTrim.h"

#include <atomic>
#include <mutex>
#include <thread>

#include <cstdlib>

#include <malloc.h>

namespace vmk::platform {

namespace {

std::atomic<int> g_trimsDone{0};
// Rare events, each at the end of work that took far longer: a lock keeps the count of releases and the
// trim's state in step, so that no one ever sees both at rest while a trim is still owed.
std::mutex g_mutex;
int g_releases = 0; // large releases under way
int g_state = 0;    // 0: idle; 1: a trim runs; 2: a trim runs and another was asked for meanwhile

// The C library hands free memory back in two ways: the trim, which gives back the free blocks inside each
// heap, and each heap's own shrinking as the memory at its end is freed, the only way back for that end in
// the workers' heaps (the trim shrinks the window thread's heap alone). Left to itself, the library raises
// the size from which that end shrinks each time it frees a large mapped block, up to 64 MiB a heap: after
// a recognition run or a long read, every worker's heap kept tens of MiB at its end, free, for good. A
// fixed size keeps that end small; blocks up to the largest size the library would ever place in its heaps
// stay there, so large pictures and pages are not mapped and zeroed afresh each time. The end of a heap
// shrinks past 2 MiB: drawing then takes about a tenth more page faults than under the library's rule,
// hardly fewer at 8 MiB, where a recognition run on eight workers left twice the memory behind; at 16
// MiB drawing takes no more faults, but each worker's heap keeps up to that much.
constexpr int kTrimThreshold = 2 << 20;
// While a large release is under way the end of each heap shrinks as soon as it is free, whichever thread
// frees it. The trim that follows cannot do that for the workers' heaps (it gives back the free blocks
// inside them, not their ends): a long read left the end of each reading worker's heap, up to the
// threshold above, in memory after its document closed, a few MiB per worker.
constexpr int kReleasingTrimThreshold = 128 << 10;

[[gnu::constructor]] void fixHeapThresholds()
{
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    // No quick lists of small freed blocks. A block on them still counts as in use, so the free memory
    // around it cannot join up and reach the end of its heap, where the heap shrinks; only the next trim,
    // or a large free in the same heap, gathers them. A closed search's page text, freed by threads other
    // than the reading workers that made it, stayed that way: after one search in three or four, one
    // reading worker's heap kept 20-55 MiB until the next document came. Freed at once into
    // their neighbours, the blocks reach the end as they go. The per-thread caches in front stay, and
    // drawing, opening, saving and search took no more time for it.
    mallopt(M_MXFAST, 0);
}

void runTrims()
{
    for (;;) {
        malloc_trim(0);
        g_trimsDone.fetch_add(1);
        const std::lock_guard lock(g_mutex);
        if (g_state == 1) {
            g_state = 0;
            return;
        }
        // Asked again while this one ran: what was freed meanwhile is handed back by one more.
        g_state = 1;
    }
}

// With g_mutex held.
void askLocked()
{
    if (g_releases > 0)
        return; // the last release to end asks
    if (g_state == 0) {
        g_state = 1;
        // A thread of its own, not the global pool, which the application waits for as it ends: a trim
        // after the last window closed would hold the quit for a second.
        std::thread(runTrims).detach();
    } else {
        g_state = 2;
    }
}

} // namespace

void trimHeapSoon()
{
    const std::lock_guard lock(g_mutex);
    askLocked();
}

void heapReleaseBegins()
{
    const std::lock_guard lock(g_mutex);
    if (g_releases++ == 0)
        mallopt(M_TRIM_THRESHOLD, kReleasingTrimThreshold);
}

void heapReleaseEnds()
{
    const std::lock_guard lock(g_mutex);
    if (g_releases > 0 && --g_releases == 0) {
        mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
        askLocked();
    }
}

void shrinkHeapWhenThreadEnds()
{
    struct AtEnd {
        ~AtEnd()
        {
            // Freed at the thread's end, while its heap is still its own: a block this large makes the
            // library shrink the heap's free end, wherever the block lay.
            void* volatile block = std::malloc(256 << 10);
            std::free(block);
        }
    };
    thread_local AtEnd atEnd;
    (void)atEnd;
}

int heapTrimsDone()
{
    return g_trimsDone.load();
}

bool isHeapTrimUnderWay()
{
    const std::lock_guard lock(g_mutex);
    return g_state != 0 || g_releases > 0;
}

} // namespace vmk::platform
