#include "core/InkPath.h"

#include <algorithm>
#include <cmath>

namespace vmk::core {

QList<QPointF> thinInkPoints(const QList<QPointF>& points, qreal minDistance)
{
    QList<QPointF> kept;
    if (points.isEmpty())
        return kept;
    kept.reserve(points.size());
    QPointF last = points.first();
    kept.append(last);
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF& p = points[i];
        if (std::hypot(p.x() - last.x(), p.y() - last.y()) >= minDistance) {
            kept.append(p);
            last = p;
        }
    }
    // A stroke must end where the user lifted the pen, even if that point was too close to keep.
    const QPointF& end = points.last();
    if (end.x() != last.x() || end.y() != last.y())
        kept.append(end);
    return kept;
}

QPainterPath smoothedInkPath(const QList<QPointF>& points)
{
    QPainterPath path;
    const qsizetype n = points.size();
    if (n == 0)
        return path;
    path.moveTo(points[0]);
    if (n == 1) {
        path.lineTo(points[0] + QPointF(0.1, 0.1));
        return path;
    }
    if (n == 2) {
        path.lineTo(points[1]);
        return path;
    }
    // Missing neighbours at either end are stood in for by the end points themselves.
    auto at = [&](qsizetype i) { return points[std::clamp<qsizetype>(i, 0, n - 1)]; };
    for (qsizetype i = 1; i < n; ++i) {
        const QPointF c1 = at(i - 1) + (at(i) - at(i - 2)) / 6.0;
        const QPointF c2 = at(i) - (at(i + 1) - at(i - 1)) / 6.0;
        path.cubicTo(c1, c2, at(i));
    }
    return path;
}

} // namespace vmk::core
