#pragma once

#include "editor/LongTask.h"

#include <QPointer>

#include <functional>
#include <optional>

namespace vmk {

// Walks `count` items in two steps of detached work, with up to `width` pieces of work in flight at once:
// `prepare` (even in size, such as rendering a page) finds out how costly the item's `read` (uneven, such
// as recognising the page) will be, and the costliest prepared item is read first, the earlier one on a
// tie. The long items start early and the short ones fill the end, when workers would otherwise wait for
// the last long one. Items are prepared in order, at most two per worker ahead of their reading.
//
// `prepare` handles item i and answers true when it started detached work, which calls `prepared` back on
// the main thread with the cost, or with nothing when there is nothing to read; a prepare that answers
// false skips the item. `read` starts the detached reading of a prepared item, which calls `done` when it
// is back. `completed` sees every item once, in the order they are done: read, or skipped. `finish` runs
// once, after everything started has come back.
//
// Before starting any work the loop ends without a word when the Editor is gone. A cancellable loop starts
// nothing more once cancellation was requested: reads already started run to their end and complete;
// items prepared (or being prepared) and not read yet are dropped without completing.
struct CostOrderedLoop {
    std::function<bool(int index, std::function<void(std::optional<double> cost)> prepared)> prepare;
    std::function<void(int index, std::function<void()> done)> read;
    std::function<void(int index)> completed;
    std::function<void()> finish;

    static void run(QPointer<Editor> editor, RunningTaskPtr task, int count, int width, bool cancellable,
                    CostOrderedLoop loop);
};

} // namespace vmk
