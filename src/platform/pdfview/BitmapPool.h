#pragma once

#include "platform/pdfview/TileCache.h"

#include <QImage>
#include <QSize>

#include <cstddef>

namespace vmk::pdfview {

// Tile bitmaps come from buffers kept for reuse when their images go away: scrolling then recycles a
// handful of buffers instead of asking the system for fresh pages (and zeroing them) for every tile.
// Safe on any thread.
class BitmapPool {
public:
    static constexpr int kSide = kTileSize;

    // An opaque image (Format_RGB32) of `size`, at most kSide square, over a pooled buffer of about
    // its size; its contents are undefined. Larger sizes get an ordinary image.
    static QImage acquire(QSize size);
    // Buffers waiting for reuse, and how much memory the pool keeps idle at most.
    static int idleCount();
    // Frees the idle buffers, on the calling thread: a closed view's tiles are not kept for a next one
    // that may never come.
    static void releaseIdle();
    static constexpr std::size_t kMaxIdleBytes = std::size_t(48) << 20;

    // Held by every open view. Buffers wait for reuse only while one is: a tile a worker finishes after
    // the last view closed, or one such a view kept, is freed as it comes back, with whatever waits.
    class Use {
    public:
        Use();
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
    };
};

} // namespace vmk::pdfview
