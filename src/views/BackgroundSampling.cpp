#include "views/BackgroundSampling.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"

#include <algorithm>
#include <cmath>

namespace vmk::views {

QColor medianOfSamples(const QImage& image, const QList<QPointF>& points)
{
    if (image.isNull())
        return Qt::white;
    QList<int> reds, greens, blues;
    for (const QPointF& p : points) {
        // Rounded down, not truncated: −0.5 lies outside the image, not in its first pixel.
        const double column = std::floor(p.x());
        const double fromBottom = std::floor(p.y());
        const double row = image.height() - 1 - fromBottom;
        if (column < 0 || column >= image.width() || row < 0 || row >= image.height())
            continue;
        const QRgb pixel = image.pixel(int(column), int(row));
        reds.append(qRed(pixel));
        greens.append(qGreen(pixel));
        blues.append(qBlue(pixel));
    }
    if (reds.isEmpty())
        return Qt::white;
    auto median = [](QList<int> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return QColor(median(reds), median(greens), median(blues));
}

BackgroundSample takeBackgroundSample(const pdf::PagePtr& page, const QRectF& pageRect)
{
    BackgroundSample sample;
    if (!page)
        return sample;
    sample.displaySize = page->displaySize();
    sample.displayTransform = page->displayTransform();
    sample.pageRect = pageRect;
    if (sample.displaySize.width() > 0 && sample.displaySize.height() > 0)
        sample.capture = pdf::PageCapture::take(*page, true);
    return sample;
}

QColor sampleBackgroundColor(const BackgroundSample& sample)
{
    const QSizeF size = sample.displaySize;
    if (!sample.capture || size.width() <= 0 || size.height() <= 0)
        return Qt::white;
    // The editor opens at once in white if this runs out; a page this slow is rarely edited in place.
    pdf::RecordBudget budget;
    budget.milliseconds = 3000;
    budget.bytes = std::size_t(256) << 20;
    const pdf::RecordResult recorded = sample.capture->record(budget);
    if (recorded.outcome != pdf::RecordOutcome::recorded || !recorded.snapshot)
        return Qt::white;
    const double scale = std::min(6000 / std::max(size.width(), size.height()), 1.0);
    // The whole page's image as the engine lays it out, of which only the part around the corners is drawn.
    const int width = int(std::ceil(size.width() * scale - 0.001));
    const int height = int(std::ceil(size.height() * scale - 0.001));
    const double sx = width / size.width();
    const double sy = height / size.height();
    const QRectF r = sample.pageRect.adjusted(-3, -3, 3, 3);
    QList<QPointF> points; // y-up pixels of the whole image
    QRect around;
    for (const QPointF& corner : {QPointF(r.left(), r.bottom()), QPointF(r.right(), r.top()),
                                  QPointF(r.left(), r.top()), QPointF(r.right(), r.bottom())}) {
        const QPointF d = sample.displayTransform.map(corner);
        const QPointF p(d.x() * sx, d.y() * sy);
        points.append(p);
        // The pixel it falls in, rows counted from the top.
        const QPoint pixel(int(std::floor(p.x())), height - 1 - int(std::floor(p.y())));
        around = around.isNull() ? QRect(pixel, QSize(1, 1)) : around.united(QRect(pixel, QSize(1, 1)));
    }
    around = around.intersected(QRect(0, 0, width, height));
    if (around.isEmpty())
        return Qt::white;
    const QImage tile = recorded.snapshot->render(scale, around, budget).image;
    if (tile.isNull())
        return Qt::white;
    // The same points, y-up within the tile.
    const double shiftY = height - tile.height() - around.top();
    for (QPointF& p : points)
        p -= QPointF(around.left(), shiftY);
    return medianOfSamples(tile, points);
}

QColor sampleBackgroundColor(const pdf::PagePtr& page, const QRectF& pageRect)
{
    return sampleBackgroundColor(takeBackgroundSample(page, pageRect));
}

BackgroundSampler::BackgroundSampler(QObject* parent)
    : QObject(parent), m_pool(QStringLiteral("Vellumark.sample"), 1)
{
}

BackgroundSampler::~BackgroundSampler() { m_link->close(); }

void BackgroundSampler::request(const pdf::PagePtr& page, const QRectF& pageRect,
                                std::function<void(const QColor&)> done)
{
    // Only the newest request matters: the editor it was for replaced the older ones.
    m_pool.clear();
    // Copying would wait for a document being written and hold the window meanwhile.
    if (pdf::Document::isWritingUnderWay()) {
        const quint64 asked = ++m_asked;
        pdf::Document::afterWriting(this, [this, asked, page, pageRect, done = std::move(done)]() mutable {
            if (asked == m_asked)
                request(page, pageRect, std::move(done));
        });
        return;
    }
    ++m_asked;
    BackgroundSample sample = takeBackgroundSample(page, pageRect);
    m_pool.start([link = m_link, sample = std::move(sample), done = std::move(done)]() mutable {
        const QColor colour = sampleBackgroundColor(sample);
        sample = {}; // the copy goes here, not on the owner's thread
        link->post([done = std::move(done), colour] { done(colour); });
    });
}

} // namespace vmk::views
