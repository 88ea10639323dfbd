#pragma once

#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdfview/WorkerPool.h"
#include "views/PageCell.h"

#include <QCache>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

namespace vmk::pdf {
class PageSnapshot;
}

namespace vmk::views {

// Renders the thumbnails of one page organizer: off the main thread on a queue of its own named
// "Vellumark.thumbnails", at most three at a time, into a cache bounded by pixel cost. Each finished
// image comes back to the main thread, gets the page's annotations drawn over it there, is cached
// and handed to the delivery handler. A page already queued is not queued twice; a render that has
// not started can be cancelled.
class ThumbnailRenderer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConcurrent = 3;
    static constexpr double kMaxPixelSide = 6000;
    // Pages copied out for the queue beyond those it is rendering, and the main thread's share of a
    // turn of the event loop spent copying.
    static constexpr int kCapturedAhead = 3;
    static constexpr int kCaptureSliceMs = 4;

    // Renders a snapshot at a scale into an opaque image of exactly pixelSize within the budget (runs on
    // the queue), or tells why it could not.
    using RenderFunction = std::function<pdf::DrawResult(const pdf::PageSnapshot& snapshot, double scale, QSize pixelSize,
                                                         const pdf::RecordBudget& budget, const pdf::RecordCancel& cancel)>;
    using DeliveryHandler = std::function<void(const QString& key, const Thumbnail& thumbnail)>;

    explicit ThumbnailRenderer(qint64 cacheCostLimit, QObject* parent = nullptr);
    // Cancels everything; never waits for a render under way (it ends on its own, undelivered).
    ~ThumbnailRenderer() override;

    // Everything that changes a page's picture: the page object, its rotation, its crop box size, the
    // organizer's annotation version and the item width. Moving a page keeps its key.
    static QString thumbnailKey(const pdf::Page& page, int annotationVersion, double itemWidth);
    // Width ÷ height of the page as displayed; 0.77 when the crop box has no height.
    static double pageAspect(const pdf::Page& page);
    // Pixels per point that make the long side 2.6 × the item width.
    static double requestedScale(double itemWidth, QSizeF displaySize);
    // The bitmap size for a display size and requested scale, the long side never above 6000 pixels.
    static QSize pixelSize(QSizeF displaySize, double requestedScale);
    static qint64 cost(QSize pixelSize) { return qint64(pixelSize.width()) * pixelSize.height() * 4; }

    const Thumbnail* cached(const QString& key) const { return m_cache.object(key); }
    qint64 cacheCostLimit() const { return m_cache.maxCost(); }
    qint64 cacheTotalCost() const { return m_cache.totalCost(); }
    bool isPending(const QString& key) const { return m_pending.contains(key); }
    int pendingCount() const { return int(m_pending.size()); }
    pdfview::WorkerPool& queue() { return m_queue; }

    // Queues a render of the page for the key unless one is pending; nothing for a page without a
    // drawing. itemWidth sets the size; with a pixel ratio the card face for items of that width is made
    // beside it, on the queue.
    void schedule(const pdf::PagePtr& page, const QString& key, double itemWidth, double facePixelRatio = 0);
    // Cancels the pending render of the key if it has not started, and forgets it.
    void cancel(const QString& key);
    void cancelAll();

    void setDeliveryHandler(DeliveryHandler handler) { m_deliver = std::move(handler); }
    // Tests replace the rasteriser to watch the queue.
    void setRenderFunction(RenderFunction render) { m_render = std::move(render); }
    static pdf::DrawResult renderSnapshot(const pdf::PageSnapshot& snapshot, double scale, QSize pixelSize,
                                          const pdf::RecordBudget& budget, const pdf::RecordCancel& cancel);
    // What interpreting one page may spend; a page over it gets a plain card with a short message,
    // cached like a thumbnail so that it is not tried again.
    void setBudget(const pdf::RecordBudget& budget) { m_budget = budget; }
    static QImage placeholder(QSize size, pdf::RecordOutcome why);

private:
    struct Job;
    void pump();
    void start(const std::shared_ptr<Job>& job, const pdf::PagePtr& page);
    void deliver(const QString& key, const std::shared_ptr<Job>& job, const std::weak_ptr<pdf::Page>& page, QImage image,
                 QImage face = {});

    QCache<QString, Thumbnail> m_cache;
    QHash<QString, std::shared_ptr<Job>> m_pending;
    std::shared_ptr<pdfview::OwnerLink> m_link = std::make_shared<pdfview::OwnerLink>(this);
    pdfview::WorkerPool m_queue;
    RenderFunction m_render;
    DeliveryHandler m_deliver;
    pdf::RecordBudget m_budget;
    std::deque<std::shared_ptr<Job>> m_waiting; // scheduled, not yet copied out, in order
    int m_inFlight = 0;
    QElapsedTimer m_turn; // how long copying has run in this turn of the event loop
    bool m_pumpAfterWriting = false; // the queue waits for a document being written
    bool m_pumpSoon = false;         // a turn of copying is asked for
};

} // namespace vmk::views
