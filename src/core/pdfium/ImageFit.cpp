#include "core/pdfium/ImageFit.h"

#include <algorithm>

namespace vmk::core::imagefit {

std::optional<ImageTransform> frameTransform(const QRectF& bounds, const QRectF& frame)
{
    if (!(bounds.width() > 0) || !(bounds.height() > 0))
        return std::nullopt;
    const double sx = frame.width() / bounds.width();
    const double sy = frame.height() / bounds.height();
    return ImageTransform{sx, 0, 0, sy, frame.x() - sx * bounds.x(), frame.y() - sy * bounds.y()};
}

QRectF fitPicture(const QSize& pixelSize, const QRectF& box)
{
    const qreal aspect = qreal(pixelSize.width()) / std::max(pixelSize.height(), 1);
    const qreal boxAspect = box.width() / std::max(box.height(), 0.01);
    if (boxAspect <= aspect) {
        const qreal height = box.width() / aspect;
        return QRectF(box.x(), box.center().y() - height / 2, box.width(), height);
    }
    const qreal width = aspect * box.height();
    return QRectF(box.center().x() - width / 2, box.y(), width, box.height());
}

} // namespace vmk::core::imagefit
