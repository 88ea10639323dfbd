#pragma once

#include "core/AnnotationModel.h"
#include "editor/EditorModel.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QList>
#include <QPointF>
#include <QTransform>
#include <QRectF>

#include <optional>
#include <variant>

namespace vmk::views {

// A selection handle of an annotation: one of the four corners of its bounds (0 at the page-space
// minimum x and y, then counter-clockwise: 1 max x min y, 2 max x max y, 3 min x max y) or one end of a
// line.
struct Handle {
    enum class Kind { corner, lineStart, lineEnd };
    Kind kind = Kind::corner;
    int corner = 0; // only for Kind::corner
    static Handle cornerAt(int index) { return {Kind::corner, index}; }
    static Handle lineStart() { return {Kind::lineStart, 0}; }
    static Handle lineEnd() { return {Kind::lineEnd, 0}; }
    friend bool operator==(const Handle& a, const Handle& b)
    {
        return a.kind == b.kind && (a.kind != Kind::corner || a.corner == b.corner);
    }
};

// The mouse gesture in progress on the canvas. Every point is in the page space of the gesture's page.
namespace gesture {
struct Passthrough { // the base view tracks the press (text selection); the markup tool to apply, if any
    std::optional<Tool> tool;
};
struct Move {
    pdf::AnnotationPtr annotation;
    pdf::PagePtr page;
    QPointF start;
    core::AnnotationGeometry original;
    bool moved = false;
};
struct Resize {
    pdf::AnnotationPtr annotation;
    pdf::PagePtr page;
    Handle handle;
    core::AnnotationGeometry original;
};
struct Ink {
    pdf::PagePtr page;
    QList<QPointF> points;
};
struct Shape {
    pdf::PagePtr page;
    Tool tool = Tool::rectangle;
    QPointF start;
    QPointF end;
};
struct RedactBox {
    pdf::PagePtr page;
    QPointF start;
    QPointF end;
};
struct Crop {
    pdf::PagePtr page;
    QPointF start;
    QPointF end;
};
struct RedactText {};
} // namespace gesture

using Gesture = std::variant<gesture::Passthrough, gesture::Move, gesture::Resize, gesture::Ink, gesture::Shape,
                             gesture::RedactBox, gesture::Crop, gesture::RedactText>;

// Distances the user perceives, in view points (page distance times the view's scale).
namespace canvas {
inline constexpr double kHitTolerance = 4.0;
inline constexpr double kHandleRadius = 8.0;
inline constexpr double kInkSampling = 0.8;
inline constexpr double kClickDistance = 4.0;
inline constexpr double kSmallestRedactionBox = 3.0;
inline constexpr double kSmallestCrop = 8.0;
// Sizes of content, in page points.
inline constexpr double kSmallestResizedBox = 8.0;
inline constexpr double kClickLineHalfLength = 50.0;
inline constexpr double kClickBoxHalfWidth = 60.0;
inline constexpr double kClickBoxHalfHeight = 40.0;
} // namespace canvas

// The rectangle spanned by two points, whatever their order.
QRectF spannedRect(QPointF a, QPointF b);

// Shift held while drawing: lines and arrows turn to the nearest 45° step keeping their length; boxes
// and ellipses become squares and circles on the side where the pointer is.
QPointF snapShapeEnd(QPointF start, QPointF end, Tool tool);

// A shape released within the click distance gets its default size around the press point: a 100-long
// horizontal line or arrow, or a 120 × 80 box or ellipse, as the page is shown (toShown maps page space
// to the shown page). Returns the start and end to add.
std::pair<QPointF, QPointF> clickShapeEnds(QPointF point, Tool tool, const QTransform& toShown = QTransform());

// The geometry at the press moved by (point − start); ink paths and line ends travel with the bounds.
core::AnnotationGeometry movedGeometry(const core::AnnotationGeometry& original, QPointF start, QPointF point);

// The geometry of an annotation with a handle dragged to a page point. Corners keep the opposite corner
// fixed and flip past it; boxes never shrink below 8 × 8; stamps (and keepAspect) keep the aspect of the
// original bounds; ink scales with its box. Line ends move alone and the bounds are recomputed around both
// ends with padding.
core::AnnotationGeometry applyResizeGeometry(const core::AnnotationGeometry& original,
                                             const pdf::Annotation& annotation, const Handle& handle,
                                             QPointF point, bool keepAspect);

// The handles of an annotation in page space, in hit-testing order: none when it cannot be resized, the
// two ends of a line, else the four corners.
QList<std::pair<Handle, QPointF>> handlePagePoints(const pdf::Annotation& annotation);

} // namespace vmk::views
