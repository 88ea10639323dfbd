#pragma once

// Groups a page's text runs (often one per word or glyph, in no useful order) into lines and the lines into
// paragraphs. Pure geometry and string work; the two font facts it needs come through a query so that
// tests drive it without PDFium.

#include "core/pdfium/EditModel.h"

#include <functional>

namespace vmk::core::textgrouping {

struct FontFacts {
    int32_t flags = 0;
    int32_t weight = 400;
};
using FontFactsQuery = std::function<FontFacts(FPDF_FONT)>;

// The page's blocks from its runs in content order; takes one id from nextID per block.
QList<EditableTextBlock> groupIntoBlocks(const QList<EditRun>& runs, const EditFontTable& fonts,
                                         const FontFactsQuery& facts, qint64& nextID);

// One block from one group of lines (at least one line).
EditableTextBlock makeBlock(const QList<EditLine>& lines, const EditFontTable& fonts, const FontFactsQuery& facts,
                            qint64& nextID);

// The font name with the most characters among the runs; ties go to the name met first.
QString dominantFontName(const QList<EditRun>& runs);

// Settles one-line blocks against the page's other blocks: right when more blocks share the right edge than
// the left one, centered when nothing shares either edge and the line sits on the page's middle.
void inferSingleLineAlignment(QList<EditableTextBlock>& blocks, qreal pageWidth);

// Union of rectangles in the way a page-space bounding box is meant: a zero-width rectangle still counts.
QRectF unite(const std::optional<QRectF>& a, const QRectF& b);

} // namespace vmk::core::textgrouping
