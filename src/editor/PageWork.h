#pragma once

#include "core/PageRebuild.h"
#include "platform/pdf/PageCapture.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

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
// rectangles (page space) filled black, as JPEG at quality 0.85, and the text recognition read on it.
struct RedactedPage {
    QByteArray jpeg;
    QList<core::PDFOps::RecognizedLine> lines;
};
std::optional<RedactedPage> renderRedactedPage(const core::PDFOps::PageSnapshot& snapshot, const QList<QRectF>& rects);

// Image export: the displayed page at `scale` pixels per point, the longer side at most 20000 pixels.
QImage renderPageImage(const core::PDFOps::PageSnapshot& snapshot, double scale);
// Encodes (PNG, or JPEG at quality 0.9) and writes the file, replacing one of that name.
bool writePageImage(const QImage& image, bool png, const QString& path);

// Export Flattened: the flattened copy of a PDF as bytes, made through a temporary file that never
// outlives the call. Nothing when the data does not open or cannot be flattened.
std::optional<QByteArray> makeFlattenedData(const QByteArray& data);

} // namespace vmk
