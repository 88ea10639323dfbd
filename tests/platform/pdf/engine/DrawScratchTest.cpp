// Large blocks the engine frees while a thread draws are kept for the next drawing, and only then; they go
// back to the heap once drawing pauses.

#include "platform/pdf/engine/DrawScratch.h"
#include "platform/pdf/engine/Fz.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

using namespace vmk::pdf::detail;

namespace {

constexpr std::size_t kMiB = std::size_t(1) << 20;

} // namespace

TEST(DrawScratch, KeepsOnlyLargeBlocksFreedWhileDrawing)
{
    fz_context* c = ctx();
    struct Case { const char* name; bool drawing; std::size_t size; bool kept; };
    for (const Case& k : {Case{"a tile's group while drawing", true, 3 * kMiB, true},
                          Case{"the same outside drawing", false, 3 * kMiB, false},
                          Case{"a small block", true, 64 << 10, false},
                          Case{"a block larger than any tile", true, 32 * kMiB, false}}) {
        SCOPED_TRACE(k.name);
        releaseDrawScratch();
        std::optional<ScopedDrawScratch> scope;
        if (k.drawing)
            scope.emplace();
        fz_free(c, fz_malloc(c, k.size));
        EXPECT_EQ(drawScratchBytes() >= k.size, k.kept);
        scope.reset();
        releaseDrawScratch();
    }
}

TEST(DrawScratch, HandsAKeptBlockOnlyToARequestOfAboutItsSize)
{
    fz_context* c = ctx();
    releaseDrawScratch();
    {
        const ScopedDrawScratch drawing;
        void* group = fz_malloc(c, 3 * kMiB);
        fz_free(c, group);
        void* smaller = fz_malloc(c, kMiB + 4096); // would leave most of the block idle
        EXPECT_NE(smaller, group);
        void* again = fz_malloc(c, 3 * kMiB - 4096);
        EXPECT_EQ(again, group);
        // Written over end to end: the block handed out is whole.
        std::memset(again, 0xab, 3 * kMiB - 4096);
        fz_free(c, smaller);
        fz_free(c, again);
    }
    releaseDrawScratch();
    EXPECT_EQ(drawScratchBytes(), 0u);
}

TEST(DrawScratch, GivesBlocksBackOnceDrawingPauses)
{
    fz_context* c = ctx();
    releaseDrawScratch();
    {
        const ScopedDrawScratch drawing;
        fz_free(c, fz_malloc(c, 2 * kMiB));
    }
    EXPECT_GT(drawScratchBytes(), 0u);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (drawScratchBytes() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(drawScratchBytes(), 0u);
}
