#pragma once

// PDFs made by the tests themselves: text pages drawn with Qt's PDF writer, and a small hand-written
// file with a link, an outline and a form field.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSizeF>
#include <QStringList>

#include "platform/pdf/document/PdfTypes.h"

namespace vmk::test::pdf {

// One page per string, US Letter, text drawn at the top left in 18 pt.
QByteArray textPdf(const QStringList& pageTexts, const QSizeF& pageSize = QSizeF(612, 792));

// Two Letter pages. Page 1 holds the text "Go to page two", a Link to page 2 at (72, 700), and a text
// form field named "name" with the value "Ada". The outline has "Start" → page 1 and "Second" → page 2
// (with a child "Detail" → page 2 at y 400).
QByteArray linkOutlineFormPdf();

// Opens a PDF from memory; a test failure, and null, when it cannot be opened.
vmk::pdf::DocumentPtr openPdf(const QByteArray& data);

// Counts pixels darker than near-white inside rect (pixels of the image).
int inkPixels(const QImage& image, const QRect& rect);

// Renders page 1 of a PDF file with pdftoppm at 72 dpi (1 pixel per point); a null image on failure.
QImage renderWithPoppler(const QString& pdfPath, int page = 1);

} // namespace vmk::test::pdf
