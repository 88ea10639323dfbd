#pragma once

// Lays retyped text out in a block's place: the block's alignment, first baseline and line spacing, lines
// broken within a frame as wide as the block (a single line may grow towards the page margin first).

#include "core/pdfium/EditModel.h"

#include "platform/fonts/Font.h"

namespace vmk::core::textlayout {

struct Layout {
    QList<LaidOutLine> lines; // non-empty lines only; an empty line still takes its line step
    QRectF bounds;            // every frame line, empty ones included; null when there is none
};

// How wide the frame is: a one-line block may grow to the page margin (18 points in from the edges, the
// right one given as rightLimit) on the side its alignment leaves free; a paragraph keeps its width, widened
// by at most 2% (plus a point) when the new text's longest paragraph needs it.
qreal frameWidth(const EditableTextBlock& block, qreal naturalWidth, qreal rightLimit);

Layout layOutText(const QString& text, const platform::Font& font, const EditableTextBlock& block, qreal rightLimit);

} // namespace vmk::core::textlayout
