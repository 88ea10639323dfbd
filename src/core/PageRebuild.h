#pragma once

#include "core/Expected.h"

#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageRebuild.h"
#include "platform/pdf/pages/PageSnapshot.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

// Turning a page into a new page: text recognition on a page image, the one-page rebuild with an invisible
// text layer, moving annotations over to the rebuilt page, and page snapshots for rendering on workers.
// Everything here keeps no state; recognition and snapshot rendering may run on any thread, while the
// rebuild and the annotation move read pages and so run where the page's document lives.
namespace vmk::core::PDFOps {

// One line of recognised text. `box` is normalised to the recognised image: 0...1 on both axes with the
// origin at the image's lower left corner.
struct RecognizedLine {
    QString text; // trimmed; never empty
    QRectF box;
    // 0, 90, 180 or 270: how far the text is turned clockwise in the image. A turned line reads along the
    // box's height (downwards for 90, upwards for 270).
    int clockwiseTurn = 0;

    friend bool operator==(const RecognizedLine&, const RecognizedLine&) = default;
};

// What a rebuilt page draws under its text layer: the page's own content, or an image of the page as
// displayed (rotation applied) covering the whole displayed page. An encoded JPEG is embedded as it is.
using PageBase = pdf::RebuildBase;

// What a worker needs to render a page: captured on the page's thread, renderable on any other.
struct PageSnapshot {
    std::shared_ptr<const pdf::PageSnapshot> ref; // the page's own content, without annotations
    QRectF cropBox;                               // page space
    QTransform toDisplay;                         // page space to the displayed page, origin lower left
    QSizeF displaySize;
    // Without `ref`: a copy of the page not interpreted yet, which drawing interprets first.
    std::shared_ptr<const pdf::PageCapture> capture;

    // The displayed page on white at `scale` pixels per point within `budget`, or why there is none.
    pdf::DrawResult draw(double scale, const pdf::RecordBudget& budget = {}) const;
    // The same within the default budget; null on failure.
    QImage render(double scale) const { return draw(scale).image; }
};

// Recognises the lines of text in an image, in the recogniser's order. Lines whose text is only white
// space are skipped. Fails with the recogniser's message when the engine cannot start or run. Each thread
// keeps one recogniser for its later calls, so workers pay its start-up once.
Expected<QList<RecognizedLine>, QString> recognizeText(const QImage& image);

// Where each line goes as invisible Helvetica text in a space of `scale` (the displayed page's size):
// a font size of 0.86 of the box height (at least 1), the baseline 0.6 of the font's descent above the
// box's bottom, and a horizontal scale that makes the run exactly as wide as the box. A turned line is
// laid out the same way along its own reading direction, turned as much as its text. Lines whose scaled
// box is not more than 1 unit wide and high, or whose text has no width, are left out.
QList<pdf::InvisibleTextRun> layoutInvisibleText(const QList<RecognizedLine>& lines, const QSizeF& scale);

// A new page in no document, with the source's crop box as its media box and the source's rotation,
// that looks like the source (its content clipped to the crop box, or the raster base stretched over the
// displayed page), with the lines (boxes normalised to the displayed page) as an invisible text layer.
// Nothing when the page cannot be made. Annotations are not carried over: see moveAnnotations().
pdf::PagePtr rebuildPage(const pdf::Page& source, const PageBase& base, const QList<RecognizedLine>& lines);

// The annotations a page keeps when it is rebuilt in place, in order: all but the redaction marks and
// those whose bounds intersect any of the rectangles (page space). Form widgets stay whatever they touch,
// because the document's form refers to them; a redaction empties their fields instead.
QList<pdf::AnnotationPtr> annotationsKept(const pdf::Page& page, const QList<QRectF>& dropping = {});

// The words of the page's text (runs of two or more letters or digits) with at least one character whose
// centre lies in one of the rectangles (page space): what a redaction there takes away, to be removed from
// the rest of the document too. In reading order, each word once.
QStringList wordsUnder(const pdf::Page& page, const QList<QRectF>& rects);
// The same from text read elsewhere (by a worker, from a copy of the page).
QStringList wordsUnder(const pdf::TextLayout& chars, const QList<QRectF>& rects);

// The page's form widgets whose bounds intersect any of the rectangles.
std::vector<pdf::AnnotationPtr> widgetsUnder(const pdf::Page& page, const QList<QRectF>& rects);

// Moves the annotations of `from` to `to`, in order, as the same objects. Those whose bounds intersect
// any of the rectangles (page space) are removed and discarded, and redaction marks are always discarded.
void moveAnnotations(pdf::Page& from, pdf::Page& to, const QList<QRectF>& dropping = {});

// A copy of the page's own content for drawing elsewhere: taking it never interprets the page. Nothing
// when the page cannot be read.
std::optional<PageSnapshot> snapshot(const pdf::Page& page);

} // namespace vmk::core::PDFOps
