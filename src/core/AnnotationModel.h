#pragma once

#include "platform/pdf/document/Annotation.h"

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// The thin vocabulary over platform annotations that the rest of the system uses: user-facing kind names,
// whether the canvas may move or resize an annotation, and snapshots of look and shape that undo, moves,
// resizes and the inspector take and put back. Main thread only, like the annotations themselves.
namespace vmk::core {

// The user-facing name of an annotation ("Drawing", "Rectangle", "Signature"...), used in undo action
// names ("Move " + kind) and by the inspector.
QString annotationKindName(const pdf::Annotation& annotation);

// Text markup, widgets, links and popups stay where they are.
bool isDraggableAnnotation(const pdf::Annotation& annotation);
// As draggable, and notes keep their icon size.
bool isResizableAnnotation(const pdf::Annotation& annotation);

struct AnnotationFont {
    QString name;
    double size = 0;
    friend bool operator==(const AnnotationFont&, const AnnotationFont&) = default;
};

// A snapshot of an annotation's look.
struct AnnotationStyle {
    QColor color;
    std::optional<QColor> interiorColor;
    std::optional<double> lineWidth;      // absent: no border
    std::optional<AnnotationFont> font;   // text boxes only
    std::optional<QColor> fontColor;      // text boxes only
    std::optional<QString> contents;
    friend bool operator==(const AnnotationStyle&, const AnnotationStyle&) = default;
};

// A snapshot of an annotation's shape. Paths and line points are relative to the bounds' origin, as the
// annotation keeps them. Paths are values, so a stored snapshot never changes with the annotation.
struct AnnotationGeometry {
    QRectF bounds;
    std::optional<QList<QPainterPath>> paths;   // ink only; absent for every other kind
    QPointF start;                              // lines only; (0, 0) otherwise
    QPointF end;
    friend bool operator==(const AnnotationGeometry&, const AnnotationGeometry&) = default;
};

AnnotationGeometry captureGeometry(const pdf::Annotation& annotation);
// Absent paths leave the ink as it is; an empty list removes it.
void applyGeometry(const AnnotationGeometry& geometry, pdf::Annotation& annotation);

AnnotationStyle captureStyle(const pdf::Annotation& annotation);
// An absent interior colour or contents clears it; an absent line width, font or font colour leaves the
// current one.
void applyStyle(const AnnotationStyle& style, pdf::Annotation& annotation);

// Applies a colour the user chose, by kind: a text box's text, a highlight at half opacity, other markup
// as given, everything else as its colour (and an arrow's head with it).
void applyAnnotationColor(const QColor& color, pdf::Annotation& annotation);

} // namespace vmk::core
