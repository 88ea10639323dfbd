#include "views/BackgroundSampling.h"

#include "platform/pdf/Page.h"

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

QColor sampleBackgroundColor(const pdf::PagePtr& page, const QRectF& pageRect)
{
    if (!page)
        return Qt::white;
    const QRectF r = pageRect.adjusted(-3, -3, 3, 3);
    const QSizeF size = page->displaySize();
    if (size.width() <= 0 || size.height() <= 0)
        return Qt::white;
    const double scale = std::min(6000 / std::max(size.width(), size.height()), 1.0);
    const QImage image = page->render(scale);
    if (image.isNull())
        return Qt::white;
    const QTransform toDisplay = page->displayTransform();
    const double sx = image.width() / size.width();
    const double sy = image.height() / size.height();
    QList<QPointF> points;
    for (const QPointF& corner : {QPointF(r.left(), r.bottom()), QPointF(r.right(), r.top()),
                                  QPointF(r.left(), r.top()), QPointF(r.right(), r.bottom())}) {
        const QPointF d = toDisplay.map(corner);
        points.append(QPointF(d.x() * sx, d.y() * sy));
    }
    return medianOfSamples(image, points);
}

} // namespace vmk::views
