#pragma once

#include "core/PageRebuild.h"

#include "platform/pdf/document/TextLayout.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

// The text layer of a page rebuilt as a picture with areas blacked out. The page's own text, where it is
// still shown, is the most faithful source there is: every word read as the file has it, spaces included,
// where the file draws it. Recognition only adds what the own text does not hold (words in images).
namespace vmk::core::PDFOps {

// Where the displayed page lies: its transform from page space (origin lower left, y up) and its size.
struct DisplayedPage {
    QTransform toDisplay;
    QSizeF size;
};

// The page's own text less what the rectangles (page space) take away, as lines for the invisible text
// layer (boxes normalised to the displayed page, as recognition gives them): one per run of characters
// still shown, a word ending at the space that follows it. A run of letters or digits goes whole when
// the centre of any of its characters lies in a rectangle (as wordsUnder() finds it), any other character
// when its own centre does; characters whose centre lies off the displayed page go too.
QList<RecognizedLine> keptOwnText(const pdf::TextLayout& chars, const QList<QRectF>& rects, const DisplayedPage& page);

// The recognised lines (normalised to the displayed page) that cross no character of the page's own text:
// what only the picture shows.
QList<RecognizedLine> linesBesideOwnText(const QList<RecognizedLine>& lines, const pdf::TextLayout& chars,
                                         const DisplayedPage& page);

} // namespace vmk::core::PDFOps
