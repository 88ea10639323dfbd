#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <QTemporaryDir>

namespace vmk::coretest {

// A PDF of `pages` pages (US Letter unless sizes are given), page n showing the text "Page n".
QByteArray makePdf(int pages, const QList<QSizeF>& sizes = {});

// A two-page PDF with an outline, a link on page 1 to page 2, a named destination and a form text field.
QByteArray makeLinkedPdf();

// A PDF with no pages at all (unlocked, structurally valid).
QByteArray makeEmptyPagesPdf();

// One page whose media box is empty.
QByteArray makeZeroBoxPdf();

// One-page artwork like a saved signature's: thick blue strokes on a transparent page of the size.
QByteArray makeSignatureArtwork(const QSizeF& size = {300, 100});

// Encrypts with qpdf (AES-256); empty owner means the user password serves as both.
QString encryptWithQpdf(const QTemporaryDir& dir, const QString& name, const QByteArray& pdf,
                        const QString& user, const QString& owner = QString());

// Renders one page (1-based) of a file with pdftoppm at dpi; a null image when it fails.
QImage renderWithPoppler(const QString& path, int page, int dpi = 72, const QString& password = QString());

// Whether qpdf --check accepts the file (with the password when given).
bool qpdfAccepts(const QString& path, const QString& password = QString());

// Counts pixels in rect (image pixels) for which the predicate holds.
template <typename Pred>
int countPixels(const QImage& image, const QRect& rect, Pred pred)
{
    int n = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (pred(QColor(image.pixel(x, y))))
                ++n;
    return n;
}

} // namespace vmk::coretest
