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

// A stand-in face is wider or narrower than the font it stands in for. On a block of one line, narrowing it
// horizontally by how much wider it sets the block's old text keeps the new line as long as the page's font
// would have made it: a word of the same letters takes the old line's place exactly, and nothing beside or
// below it moves. A block's own font may have been much narrower (a condensed face): the stand-in is then
// narrowed no further than kMostCondensed, past which letters look distorted, and the line grows as before.
// 1 for paragraphs (set again in the stand-in at its own width) and for a stand-in that is not wider.
constexpr qreal kMostCondensed = 0.8;
qreal condensing(const EditableTextBlock& block, const QString& text, const platform::Font& font);
// layOutText for glyphs narrowed by the factor: the frame is as wide in narrowed glyphs, the line still sits
// on the block's edge that its alignment keeps.
Layout layOutCondensed(const QString& text, const platform::Font& font, const EditableTextBlock& block,
                       qreal rightLimit, qreal condensed);

} // namespace vmk::core::textlayout
