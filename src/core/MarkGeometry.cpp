#include "core/MarkGeometry.h"

#include <algorithm>

namespace vmk::core {

QList<QLineF> redactionHatchLines(const QRectF& bounds)
{
    static constexpr qreal spacing = 6.0;
    QList<QLineF> lines;
    const QRectF r = bounds.normalized();
    const qreal h = r.height();
    for (qreal x = r.left() - h; x < r.right(); x += spacing)
        lines.append(QLineF(x, r.top(), x + h, r.bottom()));
    return lines;
}

std::optional<QTransform> signatureArtworkTransform(const QRectF& bounds, const QRectF& mediaBox)
{
    const qreal w = mediaBox.width();
    const qreal h = mediaBox.height();
    if (!(w > 0) || !(h > 0))
        return std::nullopt;
    const qreal s = std::min(bounds.width() / w, bounds.height() / h);
    QTransform t;
    t.translate(bounds.center().x() - w * s / 2, bounds.center().y() - h * s / 2);
    t.scale(s, s);
    t.translate(-mediaBox.left(), -mediaBox.top());
    return t;
}

} // namespace vmk::core
