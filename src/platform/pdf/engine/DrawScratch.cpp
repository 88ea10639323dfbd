#include "platform/pdf/engine/DrawScratch.h"

#include "platform/services/HeapTrim.h"

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// A kept block is free as far as the engine knows: a use of it after its free still counts as one.
#define VMK_KEPT(p, size) ASAN_POISON_MEMORY_REGION(p, size)
#define VMK_TAKEN(p, size) ASAN_UNPOISON_MEMORY_REGION(p, size)
#else
#define VMK_KEPT(p, size) ((void)(p), (void)(size))
#define VMK_TAKEN(p, size) ((void)(p), (void)(size))
#endif

namespace vmk::pdf::detail {

__attribute__((tls_model("initial-exec"))) thread_local int t_drawScratch = 0;

namespace {

using Clock = std::chrono::steady_clock;

// Up to a full tile of five components.
constexpr std::size_t kFrom = kDrawScratchFrom;
constexpr std::size_t kUpTo = std::size_t(6) << 20;
// Enough for eight workers each between a tile's group and its clips.
constexpr std::size_t kMaxBytes = std::size_t(64) << 20;
constexpr std::size_t kMaxBlocks = 24;
// Drawing that pauses this long has ended for now (a paint's tiles follow one another far closer).
constexpr auto kIdle = std::chrono::milliseconds(400);

struct Block {
    void* data;
    std::size_t usable;
};

struct Scratch {
    std::mutex mutex;
    std::vector<Block> blocks;
    std::size_t bytes = 0;
    int drawing = 0;          // ScopedDrawScratch alive on all threads
    Clock::time_point lastEnd;
    bool sweeping = false;    // a thread waits to release the blocks once drawing pauses
};

Scratch& scratch()
{
    // Never destroyed: engine blocks may be freed by threads that outlive static destruction.
    static Scratch* s = new Scratch;
    return *s;
}

std::vector<Block> takeAllLocked(Scratch& s)
{
    std::vector<Block> all;
    all.swap(s.blocks);
    s.bytes = 0;
    return all;
}

void freeAll(const std::vector<Block>& blocks)
{
    for (const Block& b : blocks) {
        VMK_TAKEN(b.data, b.usable);
        freeEngineBlock(b.data);
    }
}

// Releases the blocks once no thread has drawn for kIdle; started with the first block kept.
void sweepWhenIdle()
{
    Scratch& s = scratch();
    for (;;) {
        std::this_thread::sleep_for(kIdle);
        std::vector<Block> idle;
        {
            const std::lock_guard lock(s.mutex);
            if (s.drawing > 0 || Clock::now() - s.lastEnd < kIdle)
                continue;
            // Freed into the workers' heaps, the blocks stay there until a trim hands them back; counted
            // before they are taken, so that none is ever out of sight of whoever waits for releases.
            platform::heapReleaseBegins();
            idle = takeAllLocked(s);
            s.sweeping = false;
        }
        freeAll(idle);
        platform::heapReleaseEnds();
        return;
    }
}

// What a worker's heap grows to while it interprets and draws pages (fonts, display lists, the store's
// pictures), below the size from which the C library maps blocks of their own (see HeapTrim).
constexpr std::size_t kHeapReserve = std::size_t(30) << 20;

} // namespace

void reserveThreadHeap()
{
    // A worker's heap (each thread but the first has one of its own) grows a page or a few at a time, and
    // each time it passes its highest size so far, by a call that changes the process's memory map under
    // the lock other threads' page faults may wait on: about 2,500 calls for a 117-page book on eight
    // workers. Taken once and freed, a large block leaves the heap ready to grow that high, and its memory
    // goes back at once (it was never touched).
    thread_local bool reserved = false;
    if (std::exchange(reserved, true))
        return;
    void* volatile block = std::malloc(kHeapReserve); // volatile: the compiler would drop the pair
    std::free(block);
}

ScopedDrawScratch::ScopedDrawScratch()
{
    if (t_drawScratch++ > 0)
        return;
    reserveThreadHeap();
    Scratch& s = scratch();
    const std::lock_guard lock(s.mutex);
    ++s.drawing;
}

ScopedDrawScratch::~ScopedDrawScratch()
{
    if (--t_drawScratch > 0)
        return;
    Scratch& s = scratch();
    const std::lock_guard lock(s.mutex);
    --s.drawing;
    s.lastEnd = Clock::now();
}

void* takeDrawScratch(std::size_t size)
{
    if (size < kFrom || size > kUpTo)
        return nullptr;
    Scratch& s = scratch();
    const std::lock_guard lock(s.mutex);
    // The smallest that fits, and only when it is not much larger than asked for: the rest would lie idle.
    auto best = s.blocks.end();
    for (auto it = s.blocks.begin(); it != s.blocks.end(); ++it)
        if (it->usable >= size && it->usable <= size + size / 2 && (best == s.blocks.end() || it->usable < best->usable))
            best = it;
    if (best == s.blocks.end())
        return nullptr;
    void* data = best->data;
    VMK_TAKEN(data, best->usable);
    s.bytes -= best->usable;
    *best = s.blocks.back();
    s.blocks.pop_back();
    return data;
}

bool keepDrawScratch(void* p, std::size_t usable)
{
    if (usable < kFrom || usable > kUpTo + kFrom)
        return false;
    Scratch& s = scratch();
    bool startSweep = false;
    {
        const std::lock_guard lock(s.mutex);
        if (s.blocks.size() >= kMaxBlocks || s.bytes + usable > kMaxBytes)
            return false;
        s.blocks.push_back(Block{p, usable});
        s.bytes += usable;
        VMK_KEPT(p, usable);
        startSweep = !std::exchange(s.sweeping, true);
    }
    if (startSweep) {
        try {
            std::thread(sweepWhenIdle).detach();
        } catch (...) {
            // No thread to sweep: the next block kept tries again, and releaseDrawScratch() still frees.
            const std::lock_guard lock(s.mutex);
            s.sweeping = false;
        }
    }
    return true;
}

void releaseDrawScratch()
{
    Scratch& s = scratch();
    std::vector<Block> all;
    {
        const std::lock_guard lock(s.mutex);
        all = takeAllLocked(s);
    }
    freeAll(all);
}

std::size_t drawScratchBytes()
{
    Scratch& s = scratch();
    const std::lock_guard lock(s.mutex);
    return s.bytes;
}

} // namespace vmk::pdf::detail
