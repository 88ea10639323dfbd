#include "platform/services/HeapTrim.h"

#include <atomic>
#include <thread>

#include <malloc.h>

namespace vmk::platform {

namespace {

std::atomic<int> g_trimsDone{0};
// 0: idle; 1: a trim runs; 2: a trim runs and another was asked for meanwhile.
std::atomic<int> g_state{0};

void runTrims()
{
    for (;;) {
        malloc_trim(0);
        g_trimsDone.fetch_add(1);
        int expected = 1;
        if (g_state.compare_exchange_strong(expected, 0))
            return;
        // Asked again while this one ran: what was freed meanwhile is handed back by one more.
        g_state.store(1);
    }
}

} // namespace

void trimHeapSoon()
{
    int state = g_state.load();
    for (;;) {
        if (state == 0) {
            if (g_state.compare_exchange_weak(state, 1)) {
                // A thread of its own, not the global pool, which the application waits for as it ends: a
                // trim after the last window closed would hold the quit for a second.
                std::thread(runTrims).detach();
                return;
            }
        } else if (state == 1) {
            if (g_state.compare_exchange_weak(state, 2))
                return;
        } else {
            return; // one more is already asked for
        }
    }
}

int heapTrimsDone()
{
    return g_trimsDone.load();
}

bool isHeapTrimUnderWay()
{
    return g_state.load() != 0;
}

} // namespace vmk::platform
