#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>

namespace vmk::pdf {

// One run of invisible text, placed in the displayed page's space (the rotated crop box, origin at its
// lower left, y up, in points).
struct InvisibleTextRun {
    QString text;
    QPointF origin;             // baseline start
    double fontSize = 0;
    double horizontalScale = 1; // widens or narrows the run so that it spans its box
    int clockwiseTurn = 0;      // 0, 90, 180 or 270: the run reads turned clockwise by this much
};

// What a rebuilt page draws under its text layer.
struct RebuildBase {
    enum class Kind { Vector, Raster };
    Kind kind = Kind::Vector;
    // Raster only: an encoded JPEG or PNG, embedded as it stands (no re-encoding). When empty, `image`
    // is embedded losslessly instead. Either covers the whole displayed page.
    QByteArray encodedImage;
    QImage image;

    static RebuildBase vector() { return {}; }
    static RebuildBase raster(QByteArray encoded) { return {Kind::Raster, std::move(encoded), {}}; }
    static RebuildBase raster(QImage image) { return {Kind::Raster, {}, std::move(image)}; }
};

// A standalone page (in no document) whose media box is the source's crop box and whose rotation is the
// source's: either the source's own content clipped to its crop box, or an image stretched over the
// displayed page; then the runs as invisible text (render mode 3) in non-embedded Helvetica. Runs made
// only of characters Windows-1252 can encode use a simple font with that encoding; any other run uses
// a composite font whose ToUnicode map carries its characters, so extraction and search still find them.
// The source page is only read. Annotations are not carried over.
Result<PagePtr> makeRebuiltPage(const Page& source, const RebuildBase& base, const QList<InvisibleTextRun>& runs);

// Helvetica's advance width of the text in thousandths of the font size (characters the font lacks count
// as 500), and its descent as a positive fraction of the font size.
double helveticaWidth(const QString& text);
double helveticaDescent();

} // namespace vmk::pdf
