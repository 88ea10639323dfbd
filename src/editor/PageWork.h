#pragma once

#include "core/PageRebuild.h"
#include "platform/pdf/pages/PageCapture.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

// The per-page steps of the long tasks that run away from the main thread. Each is given only values (a
// page snapshot or copy, rectangles, an image) and returns only values; none touches a document or the
// Editor.
namespace vmk {

// Make Searchable, in two steps so that the costliest pages can be read first. First the displayed page at
// up to 300 dpi (longer side at most 5000 pixels) as the recogniser reads it, with the expected cost of
// reading it (relative to other pages); nothing when the page cannot be rendered.
struct PageForOCR {
    QImage image;
    double cost = 0;
};
std::optional<PageForOCR> preparePageForOCR(const core::PDFOps::PageSnapshot& snapshot);
// The same from a copy of the page (taken on the document's thread without annotations): the page is
// interpreted here, within the recording budget, so that a slow page holds up only this worker.
std::optional<PageForOCR> prepareCapturedPageForOCR(const pdf::PageCapture& capture);
// Then the page read by text recognition: no lines when recognition fails.
QList<core::PDFOps::RecognizedLine> readPageForOCR(const QImage& image);

// Apply Redactions: the displayed page at up to 200 dpi (longer side at most 6000 pixels) with the
// rectangles (page space) filled black, as JPEG at quality 0.85, and the text recognition read on the same
// picture with the rectangles left blank instead (a black bar is no text to read).
struct RedactedPage {
    QByteArray jpeg;
    QList<core::PDFOps::RecognizedLine> lines;
};
std::optional<RedactedPage> renderRedactedPage(const core::PDFOps::PageSnapshot& snapshot, const QList<QRectF>& rects);
// The whole of a page's redaction from a copy of the page (taken on the document's thread without
// annotations), so that a slow page holds up only this worker: the page is interpreted here within a
// recording budget, rendered blackened and read again as above, its words under the rectangles are found
// (to be taken out of the rest of the file), and its new drawing is built from the picture and the lines.
// Nothing when any of that fails, the reading of the page's text included: a page is never redacted while
// words under its marks would stay elsewhere unnoticed. The new text layer is the page's own text where it
// is still shown, and what recognition reads beside it.
struct RedactedDrawing {
    pdf::PagePtr drawing; // in no document: for Page::exchangeDrawing
    QStringList words;
};
std::optional<RedactedDrawing> redactCapturedPage(const pdf::PageCapture& capture, const QList<QRectF>& rects);

// Image export: the displayed page at `scale` pixels per point, the longer side at most 20000 pixels.
// Or why there is none.
pdf::DrawResult renderPageImage(const core::PDFOps::PageSnapshot& snapshot, double scale);
// Encodes (PNG, or JPEG at quality 0.9) and writes the file, replacing one of that name.
bool writePageImage(const QImage& image, bool png, const QString& path);

// Export Flattened: the flattened copy of a PDF as bytes, made through a temporary file that never
// outlives the call. Encrypted data is opened with the password, and the copy gets its encryption exactly
// (method, permissions, passwords). Nothing when the data does not open or cannot be flattened.
std::optional<QByteArray> makeFlattenedData(const QByteArray& data, const std::optional<QString>& password = std::nullopt);

} // namespace vmk
