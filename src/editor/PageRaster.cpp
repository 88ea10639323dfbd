#include "editor/PageRaster.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vmk {

double rasterScale(const QSizeF& displaySize, double maxSide, double preferred)
{
    const double longer = std::max(displaySize.width(), displaySize.height());
    return longer > 0 ? std::min(maxSide / longer, preferred) : preferred;
}

QSize rasterSize(const QSizeF& displaySize, double scale)
{
    // std::round rounds halves away from zero.
    return QSize(std::max(1, int(std::round(displaySize.width() * scale))),
                 std::max(1, int(std::round(displaySize.height() * scale))));
}

QTransform pageToPixels(const core::PDFOps::PageSnapshot& snapshot, const QSize& pixels)
{
    const double w = snapshot.displaySize.width();
    const double h = snapshot.displaySize.height();
    const double sx = pixels.width() / w;
    const double sy = pixels.height() / h;
    return snapshot.toDisplay * QTransform(sx, 0, 0, -sy, 0, h * sy);
}

QImage renderDisplayedPage(const core::PDFOps::PageSnapshot& snapshot, const QSize& pixels)
{
    return drawDisplayedPage(snapshot, pixels).image;
}

pdf::DrawResult drawDisplayedPage(const core::PDFOps::PageSnapshot& snapshot, const QSize& pixels)
{
    const QSizeF size = snapshot.displaySize;
    if (!(size.width() > 0 && size.height() > 0) || pixels.isEmpty())
        return {};
    pdf::DrawResult drawn = snapshot.draw(pixels.width() / size.width());
    if (drawn.image.isNull()) {
        if (drawn.outcome == pdf::RecordOutcome::recorded)
            drawn.outcome = pdf::RecordOutcome::failed;
        return drawn;
    }
    QImage& image = drawn.image;
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    // The renderer rounds the page's edges outwards; stretch the odd pixel away so that each side has
    // exactly the size asked for.
    if (image.size() != pixels)
        image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Converting or stretching a picture of that size found no memory for the copy.
    if (image.isNull())
        drawn.outcome = pdf::RecordOutcome::tooLarge;
    return drawn;
}

} // namespace vmk
