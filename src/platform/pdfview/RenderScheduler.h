#pragma once

#include "platform/pdf/PageCapture.h"
#include "platform/pdfview/TileCache.h"
#include "platform/pdfview/WorkerPool.h"

#include <QImage>
#include <QObject>

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
class RenderScheduler : public QObject {
    Q_OBJECT
public:
    // Runs on a worker; must not touch the document (render a display list built beforehand).
    using RenderFunction = std::function<QImage()>;
    // The same, told when its request is cancelled meanwhile so that it can stop halfway.
    using CancellableRender = std::function<QImage(const pdf::RecordCancel& cancel)>;

    explicit RenderScheduler(int threads = 0, QObject* parent = nullptr); // 0: chosen from the cores
    ~RenderScheduler() override; // cancels everything; never waits for running renders

    // Queues a tile unless it is already queued. Higher priorities start first.
    void request(const TileKey& key, RenderFunction render, int priority = 0);
    void request(const TileKey& key, CancellableRender render, int priority = 0);
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

private:
    struct Ticket {
        pdf::RecordCancel cancel;
        bool cancelled() const { return cancel.isCancelled(); }
    };
    struct Finished {
        TileKey key;
        std::shared_ptr<Ticket> ticket;
        QImage image;
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

    std::shared_ptr<Inbox> m_inbox;
    WorkerPool m_pool;
    std::unordered_map<TileKey, std::shared_ptr<Ticket>, TileKeyHash> m_pending;
};

} // namespace vmk::pdfview
