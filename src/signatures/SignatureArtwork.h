#pragma once

#include "signatures/InkPoint.h"

#include <QByteArray>
#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace vmk::signatures {

// Turns signatures into pictures: smoothing and drawing of strokes (shared by the live pad and the saved
// artwork) and the one-page PDF artwork of a drawn or a typed signature. All coordinates are points with
// y growing upwards, as on a PDF page.

// A uniform Catmull-Rom spline through the samples, about one sample per 1.5 points, widths interpolated
// linearly. Strokes of fewer than three samples come back unchanged; the first and last samples are kept.
InkStroke smoothStroke(const InkStroke& stroke);

// Draws the strokes in the painter's current coordinates (which must have y up for the ink to look as it
// was drawn): a one-sample stroke as a dot, any other as short round-capped segments of varying width.
void drawInkStrokes(const InkStrokes& strokes, QPainter& painter, const QColor& color);

// The union of a square of half-side = width around every sample: a stroke-width margin around the ink.
// A null rectangle when there is no sample.
QRectF inkBounds(const InkStrokes& strokes);

// The margin around the ink or the lettering on the artwork's page.
inline constexpr double artworkMargin = 4.0;
// The size at which typed signatures are set.
inline constexpr double typedSignatureFontSize = 64.0;

// One-page vector PDF of the strokes in the colour, the page being the ink bounds plus the margin on every
// side (the ink's lower-left bound at (margin, margin)). Nothing when the bounds are null or not wider and
// higher than 2 points.
std::optional<QByteArray> inkSignaturePDF(const InkStrokes& strokes, const QColor& color);

// The glyph outlines of the text set as one line in the font at the size, baseline at y = 0, y up.
// Characters the font lacks come from a substitute font. Nothing when the text has no outline at all
// (empty, or only spaces) or the font cannot be made.
std::optional<QPainterPath> typedSignaturePath(const QString& text, const QString& postScript, double fontSize);

// One-page PDF of the text in the handwriting font at the typed-signature size, as real text with the
// font embedded (so it stays selectable and searchable), cropped to the outlines' bounds plus the margin.
// Nothing when typedSignaturePath gives nothing.
std::optional<QByteArray> typedSignaturePDF(const QString& text, const QString& postScript, const QColor& color);

} // namespace vmk::signatures
