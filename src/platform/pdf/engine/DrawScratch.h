#pragma once

// Large blocks the engine frees while a thread draws a tile (the pixels of a transparency group or of a
// clip, about as large as the tile) are kept for the next drawing instead of going back to the heap. Freed,
// such a block leaves the heap's end free past the size from which the heap shrinks (see HeapTrim): the
// memory went back to the system, and the next tile took it again at a page fault for every 4 KiB, which on
// a virtual machine cost more than drawing into it; and with eight workers each shrink makes the cores
// running the others forget the released pages.
//
// Only blocks freed and asked for while a ScopedDrawScratch lives on the thread are kept; they are shared
// by all drawing threads and all go back to the heap shortly after the last drawing ends.

#include <cstddef>

namespace vmk::pdf::detail {

// Non-zero while the thread draws (nesting counted). Read on every allocation the engine makes.
extern __attribute__((tls_model("initial-exec"))) thread_local int t_drawScratch;
// Smaller blocks come and go inside the heap without shrinking it.
inline constexpr std::size_t kDrawScratchFrom = std::size_t(1) << 20;

class ScopedDrawScratch {
public:
    ScopedDrawScratch();
    ~ScopedDrawScratch();
    ScopedDrawScratch(const ScopedDrawScratch&) = delete;
    ScopedDrawScratch& operator=(const ScopedDrawScratch&) = delete;
};

// For the engine's allocator, on a drawing thread only: a kept block of at least `size` bytes, not much
// more, or null; and whether the block `p` being freed (`usable` bytes) is kept.
void* takeDrawScratch(std::size_t size);
bool keepDrawScratch(void* p, std::size_t usable);

// Once per thread: makes the thread's heap ready to grow to what drawing a page takes without asking the
// system each time it grows (see DrawScratch.cpp).
void reserveThreadHeap();

// Frees a block the engine's allocator handed out (in Fz.cpp, with what it advised the system about it).
void freeEngineBlock(void* p);

// Every kept block goes back to the heap now. What is kept, in bytes (a test hook).
void releaseDrawScratch();
std::size_t drawScratchBytes();

} // namespace vmk::pdf::detail
