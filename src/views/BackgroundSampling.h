#pragma once

#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdfview/WorkerPool.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <functional>
#include <memory>

namespace vmk::pdf { class PageCapture; }

namespace vmk::views {

// The colour a page shows around a page-space rectangle, for laying an editor over the page's own text:
// the page is drawn (at most 6000 pixels on its longer side, only the part around the rectangle) and
// sampled just outside the rectangle's four corners (3 points out); the result is the per-channel median.
// Drawing is bounded in time and memory, since a page may take minutes to draw. Never fails: anything
// missing, or a page that cannot be drawn in time, gives white.
QColor sampleBackgroundColor(const pdf::PagePtr& page, const QRectF& pageRect);

// The same in two steps, for drawing away from the document's thread: what the page is, taken on the
// document's thread, then the sampling, on any thread.
struct BackgroundSample {
    std::shared_ptr<pdf::PageCapture> capture;
    QSizeF displaySize;
    QTransform displayTransform;
    QRectF pageRect;
};
BackgroundSample takeBackgroundSample(const pdf::PagePtr& page, const QRectF& pageRect);
QColor sampleBackgroundColor(const BackgroundSample& sample);

// Samples on a worker of its own and hands the colour back on the owner's thread; nothing arrives once
// the sampler is gone. A stuck page keeps only that worker.
class BackgroundSampler : public QObject {
public:
    explicit BackgroundSampler(QObject* parent = nullptr);
    ~BackgroundSampler() override;
    // `done` runs on this object's thread, later, unless the sampler went first. While a document is being
    // written the page is copied once the writing is over.
    void request(const pdf::PagePtr& page, const QRectF& pageRect, std::function<void(const QColor&)> done);

private:
    std::shared_ptr<pdfview::OwnerLink> m_link = std::make_shared<pdfview::OwnerLink>(this);
    pdfview::WorkerPool m_pool;
    quint64 m_asked = 0; // a request put off while writing goes only if no newer came meanwhile
};

// The per-channel median (the upper middle value for an even count) of the image's pixels at points given
// in y-up pixel space (row 0 at the bottom). A point falls in the pixel whose lower-left corner is the
// point rounded down; points outside the image are skipped; no sample gives white.
QColor medianOfSamples(const QImage& image, const QList<QPointF>& points);

} // namespace vmk::views
