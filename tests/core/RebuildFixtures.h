#pragma once

#include "platform/pdf/document/Document.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QRectF>
#include <QString>

namespace vmk::coretest {

// A page description for makeRawPdf: media box, optional crop box and rotation, content, and resources
// that the content uses (in PDF syntax, referring to the extra objects by "%n" placeholders).
struct RawPage {
    QSizeF size{612, 792};
    QRectF cropBox;       // empty: none
    int rotation = 0;
    QByteArray content;   // drawn with /F1 (Helvetica) and /Im0 available when an image is given
    QSize imageSize;      // an RGB image /Im0 of noisy gradients, Flate-compressed; empty for none
    int formDepth = 0;    // > 0: /Im0 is wrapped in that many nested forms and the content draws /Fm0
};

// A PDF written by hand, one page per description.
QByteArray makeRawPdf(const QList<RawPage>& pages);

// Opens bytes that must open.
pdf::DocumentPtr open(const QByteArray& bytes);

// The text pdftotext extracts from a file, whitespace collapsed to single spaces.
QString popplerText(const QString& path);

// Mean absolute difference of two images' grey levels (0...255), after scaling b to a's size.
double meanDifference(const QImage& a, const QImage& b);

} // namespace vmk::coretest
