#pragma once

#include "platform/pdf/document/Document.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSizeF>

#include <functional>

namespace vmk::test {

// A PDF whose pages (sizes in points) each carry the line "Page N alpha beta gamma" near the top left.
QByteArray textPdf(const QList<QSizeF>& pageSizes);
QByteArray textPdf(int pageCount, QSizeF size = QSizeF(300, 400));
pdf::DocumentPtr openPdf(const QByteArray& data);

// A two-page PDF: on page 1 a link to the top of page 2 at [20 340 150 365] and a link to
// https://example.org/ at [20 290 150 315] (page space).
QByteArray linkPdf();

// Runs the event loop until the condition holds, for at most the timeout.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 15000);

// Pixels of an image that are clearly not white or grey (red-dominant), inside a rectangle.
int reddishPixels(const QImage& image, const QRect& rect);
int darkPixels(const QImage& image, const QRect& rect);

} // namespace vmk::test
