#pragma once

#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdfview/TileCache.h"
#include "platform/pdfview/WorkerPool.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace vmk::pdfview {

// Renders tiles on worker threads and hands the finished tiles back on the owner's thread. Tiles that
// finish while the owner is busy wait in one queue and are delivered together, on a single turn of its
// event loop: waking the owner's thread once per tile cost more than painting the tile. Requests the owner
// no longer wants (scrolled away, another scale) are cancelled: one that has not started never renders,
// one that has finishes but is never delivered. The scheduler never waits for a render: one stuck in a
// decoder finishes on its own after the scheduler is gone.
//
// A render may be given a time budget. The engine checks its time only between drawing operations, never
// inside one image's decoding, so the scheduler watches the clock too: a render still running shortly after
// its budget is reported over it (tileFailed, tooSlow), whether or not its tile is still wanted, its worker
// is written off (see WorkerPool::writeOff) and whatever it draws in the end is dropped.
class RenderScheduler : public QObject {
    Q_OBJECT
public:
    // Runs on a worker; must not touch the document (render a display list built beforehand).
    using RenderFunction = std::function<QImage()>;
    // The same, told when its request is cancelled meanwhile so that it can stop halfway.
    using CancellableRender = std::function<QImage(const pdf::RecordCancel& cancel)>;
    // The same, saying why there is no picture when there is none.
    using BudgetedRender = std::function<pdf::DrawResult(const pdf::RecordCancel& cancel)>;
    // What the scheduler waits past a render's budget before it gives up on it: the engine stops drawing
    // that it can stop at the budget itself.
    static constexpr int kOverrunGraceMs = 250;

    explicit RenderScheduler(int threads = 0, QObject* parent = nullptr); // 0: chosen from the cores
    ~RenderScheduler() override; // cancels everything; never waits for running renders

    // Queues a tile unless it is already queued. Higher priorities start first.
    void request(const TileKey& key, RenderFunction render, int priority = 0);
    void request(const TileKey& key, CancellableRender render, int priority = 0);
    // `budgetMs` > 0: the render is watched against that time from its start.
    void request(const TileKey& key, BudgetedRender render, int priority, int budgetMs);
    bool isPending(const TileKey& key) const { return m_pending.count(key) != 0; }
    std::size_t pendingCount() const { return m_pending.size(); }
    // Cancels every request outside `wanted`.
    void retain(const TileKeySet& wanted);
    void cancelPage(int page);
    void cancelAll();
    // Blocks until every started render finished (results are still delivered through the event loop).
    // For tests.
    void waitForWorkers();

signals:
    void tileReady(const vmk::pdfview::TileKey& key, const QImage& image);
    // A render ended without a picture: a null image from the older kinds of render (failed), the outcome of
    // a budgeted one, or tooSlow from the watch.
    void tileFailed(const vmk::pdfview::TileKey& key, vmk::pdf::RecordOutcome why);

private:
    struct Ticket {
        TileKey key;
        int budgetMs = 0;
        pdf::RecordCancel cancel;
        std::shared_ptr<WorkerPool::Job> job;
        bool cancelled() const { return cancel.isCancelled(); }
    };
    struct Finished {
        TileKey key;
        std::shared_ptr<Ticket> ticket;
        pdf::DrawResult result;
    };
    // Where workers leave finished tiles; shared with them, so that it outlives the scheduler.
    struct Inbox {
        std::mutex mutex;
        RenderScheduler* owner; // null once the scheduler is going
        std::vector<Finished> finished;
        bool deliveryQueued = false;
        void put(Finished finished); // on a worker
    };
    void deliverFinished(); // on the owner's thread
    void watchOverruns();   // on the owner's thread

    std::shared_ptr<Inbox> m_inbox;
    WorkerPool m_pool;
    std::unordered_map<TileKey, std::shared_ptr<Ticket>, TileKeyHash> m_pending;
    // Budgeted renders that may still run, wanted or not: a stuck one must be seen even after a scroll.
    std::vector<std::shared_ptr<Ticket>> m_watched;
    QTimer m_watch;
};

} // namespace vmk::pdfview
