#pragma once

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QString>

namespace vmk::test {

// One generated page for the fidelity checks: a one-page PDF, the block to retype (a point inside it, page
// space) and what the block reads.
struct FidelityPage {
    QString name;
    QByteArray pdf;
    QPointF blockPoint;
    QString blockText;
};

// Pages with content an engine rewriting the page could lose or alter: axial and radial shadings (as sh
// and as shading patterns), tiling patterns behind and as fill of text, inline images, a CalGray tone, image
// XObjects, text in standard Type 1, embedded Type 1, embedded TrueType and embedded CFF fonts, a TeX-like
// page (Type 1 without a space, words set apart by TJ offsets), rotated and cropped pages. Built once.
const QList<FidelityPage>& fidelityPages();

// The TeX-like page alone: "Here is to the crazy ones" in a Type 1 font without a space glyph.
QByteArray texLikePdf();

// Renders page 1 of each PDF with pdftoppm at 72 dpi x scale and counts pixels that differ beyond
// antialiasing outside the rectangles (page space, y up), for a page with that crop box and rotation (0 or
// 90). -1 when rendering failed.
int pixelsChangedOutside(const QByteArray& before, const QByteArray& after, const QList<QRectF>& regions,
                         int rotation = 0, const QRectF& crop = QRectF(0, 0, 612, 792));

} // namespace vmk::test
