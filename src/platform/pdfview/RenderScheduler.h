#pragma once

#include "platform/pdf/PageCapture.h"
#include "platform/pdfview/TileCache.h"

#include <QImage>
#include <QObject>
#include <QThreadPool>

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
// one that has finishes but is never delivered.
class RenderScheduler : public QObject {
    Q_OBJECT
public:
    // Runs on a worker; must not touch the document (render a display list built beforehand).
    using RenderFunction = std::function<QImage()>;
    // The same, told when its request is cancelled meanwhile so that it can stop halfway.
    using CancellableRender = std::function<QImage(const pdf::RecordCancel& cancel)>;

    explicit RenderScheduler(int threads = 0, QObject* parent = nullptr); // 0: chosen from the cores
    ~RenderScheduler() override; // cancels everything and waits for running workers

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
    void finish(Finished finished); // on a worker
    void deliverFinished();         // on the owner's thread

    QThreadPool m_pool;
    std::mutex m_finishedMutex;
    std::vector<Finished> m_finished; // guarded by m_finishedMutex
    bool m_deliveryQueued = false;    // guarded by m_finishedMutex
    std::unordered_map<TileKey, std::shared_ptr<Ticket>, TileKeyHash> m_pending;
};

} // namespace vmk::pdfview
