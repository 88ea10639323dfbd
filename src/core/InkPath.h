#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>

namespace vmk::core {

// Drops points of a free-hand stroke that lie closer than minDistance to the previous kept point,
// always keeping the first point and the point where the stroke ended.
QList<QPointF> thinInkPoints(const QList<QPointF>& points, qreal minDistance);

// A smooth curve through the points (uniform Catmull-Rom as cubic Béziers). One point becomes a tiny
// diagonal segment, so that round caps draw it as a dot. Callers stroke it with round caps and joins.
QPainterPath smoothedInkPath(const QList<QPointF>& points);

} // namespace vmk::core
