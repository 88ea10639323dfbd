#pragma once

#include "platform/pdf/document/Annotation.h"

#include <QColor>
#include <QPainterPath>
#include <QRectF>

namespace vmk::views {

// Sticky notes: Text annotations, whether the note tool made them or a file brought them, drawn as a
// folded paper sheet in the note's colour, scaled to the annotation's bounds. The drawing goes into the
// note's appearance, so the saved file shows the same sheet everywhere.
struct NoteAnnotation {
    // Registers the drawing for every Text annotation, once per process.
    static void install();
    static bool isNote(const pdf::Annotation& annotation);
    // The icon drawn in page space into an appearance.
    static void draw(const pdf::Annotation& annotation, pdf::AppearanceBuilder& builder);

    // Geometry of the icon, from the annotation's bounds (page space, y up).
    struct Icon {
        QRectF sheet;            // the bounds inset by 9 % on every side
        QPainterPath outline;    // three rounded corners, the top right one cut for the fold
        QPainterPath fold;       // the folded-over triangle
        QPainterPath lines;      // three lines of "text"
        double borderWidth = 0;
        double lineWidth = 0;
        QColor paper;            // the note's colour, opaque
        QColor border;           // the paper a quarter of the way to black
        QColor foldColor;        // the paper 45 % of the way to white
    };
    static Icon icon(const QRectF& bounds, const QColor& color);
};

} // namespace vmk::views
