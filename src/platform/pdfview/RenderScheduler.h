#pragma once

#include "platform/pdf/PageCapture.h"
#include "platform/pdfview/TileCache.h"

#include <QImage>
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <unordered_map>

namespace vmk::pdfview {

// Renders tiles on worker threads and hands each finished tile back on the owner's thread through
// a queued signal. Requests the owner no longer wants (scrolled away, another scale) are cancelled:
// one that has not started never renders, one that has finishes but is never delivered.
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
    void deliver(const TileKey& key, const std::shared_ptr<Ticket>& ticket, const QImage& image);

    QThreadPool m_pool;
    std::unordered_map<TileKey, std::shared_ptr<Ticket>, TileKeyHash> m_pending;
};

} // namespace vmk::pdfview
