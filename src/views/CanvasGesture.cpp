#include "views/CanvasGesture.h"

#include "platform/pdf/document/Annotation.h"

#include <QTransform>

#include <cmath>
#include <numbers>

namespace vmk::views {

QRectF spannedRect(QPointF a, QPointF b)
{
    return QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(b.x() - a.x()), std::abs(b.y() - a.y()));
}

QPointF snapShapeEnd(QPointF start, QPointF end, Tool tool)
{
    const QPointF d = end - start;
    if (tool == Tool::line || tool == Tool::arrow) {
        const double step = std::numbers::pi / 4;
        const double angle = std::round(std::atan2(d.y(), d.x()) / step) * step; // halves away from zero
        const double length = std::hypot(d.x(), d.y());
        return start + QPointF(length * std::cos(angle), length * std::sin(angle));
    }
    const double side = std::max(std::abs(d.x()), std::abs(d.y()));
    return start + QPointF(d.x() >= 0 ? side : -side, d.y() >= 0 ? side : -side);
}

std::pair<QPointF, QPointF> clickShapeEnds(QPointF p, Tool tool, const QTransform& toShown)
{
    using namespace canvas;
    // Shapes take the screen's orientation: laid out as the page is shown, then taken back to page space.
    const QPointF centre = toShown.map(p);
    const QPointF half = tool == Tool::line || tool == Tool::arrow ? QPointF(kClickLineHalfLength, 0)
                                                                   : QPointF(kClickBoxHalfWidth, kClickBoxHalfHeight);
    const QTransform back = toShown.inverted();
    return {back.map(centre - half), back.map(centre + half)};
}

core::AnnotationGeometry movedGeometry(const core::AnnotationGeometry& original, QPointF start, QPointF point)
{
    core::AnnotationGeometry g = original;
    g.bounds.translate(point - start);
    return g;
}

namespace {

QPointF cornerPoint(const QRectF& b, int corner)
{
    switch (corner) {
    case 0:
        return {b.left(), b.top()};
    case 1:
        return {b.right(), b.top()};
    case 2:
        return {b.right(), b.bottom()};
    default:
        return {b.left(), b.bottom()};
    }
}

core::AnnotationGeometry resizeLineEnd(const core::AnnotationGeometry& original, const pdf::Annotation& annotation,
                                       bool draggingStart, QPointF point)
{
    const QPointF origin = original.bounds.topLeft();
    const QPointF start = draggingStart ? point : original.start + origin;
    const QPointF end = draggingStart ? original.end + origin : point;
    const std::optional<double> border = annotation.lineWidth();
    const double pad = border ? *border * 4 + 6 : 14;
    core::AnnotationGeometry g = original;
    g.bounds = spannedRect(start, end).adjusted(-pad, -pad, pad, pad);
    g.start = start - g.bounds.topLeft();
    g.end = end - g.bounds.topLeft();
    return g;
}

} // namespace

core::AnnotationGeometry applyResizeGeometry(const core::AnnotationGeometry& original,
                                             const pdf::Annotation& annotation, const Handle& handle,
                                             QPointF point, bool keepAspect)
{
    if (handle.kind != Handle::Kind::corner)
        return resizeLineEnd(original, annotation, handle.kind == Handle::Kind::lineStart, point);

    const QRectF b = original.bounds;
    const QPointF anchor = cornerPoint(b, (handle.corner + 2) % 4);
    double w = std::max(std::abs(point.x() - anchor.x()), canvas::kSmallestResizedBox);
    double h = std::max(std::abs(point.y() - anchor.y()), canvas::kSmallestResizedBox);
    if (keepAspect || annotation.type() == QLatin1String("Stamp")) {
        const double aspect = b.width() / std::max(b.height(), 1.0);
        if (w / h <= aspect)
            h = w / aspect;
        else
            w = h * aspect;
    }
    const double x = point.x() >= anchor.x() ? anchor.x() : anchor.x() - w;
    const double y = point.y() >= anchor.y() ? anchor.y() : anchor.y() - h;
    core::AnnotationGeometry g = original;
    g.bounds = QRectF(x, y, w, h);
    if (original.paths && b.width() > 0 && b.height() > 0) {
        const QTransform scale = QTransform::fromScale(w / b.width(), h / b.height());
        QList<QPainterPath> scaled;
        for (const QPainterPath& path : *original.paths)
            scaled.append(scale.map(path));
        g.paths = scaled;
    }
    return g;
}

QList<std::pair<Handle, QPointF>> handlePagePoints(const pdf::Annotation& annotation)
{
    if (!core::isResizableAnnotation(annotation))
        return {};
    const QRectF b = annotation.bounds();
    if (annotation.type() == QLatin1String("Line"))
        return {{Handle::lineStart(), annotation.startPoint() + b.topLeft()},
                {Handle::lineEnd(), annotation.endPoint() + b.topLeft()}};
    QList<std::pair<Handle, QPointF>> handles;
    for (int i = 0; i < 4; ++i)
        handles.append({Handle::cornerAt(i), cornerPoint(b, i)});
    return handles;
}

} // namespace vmk::views
