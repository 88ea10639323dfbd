#pragma once

#include "signatures/InkPoint.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>

namespace vmk::signatures::test {

// A short wavy stroke about 120 × 30 points, as a hand would draw it.
InkStrokes sampleStrokes();
// One-page artwork made from sampleStrokes().
QByteArray sampleArtwork();
// The page size of the first page of a PDF, in points (an invalid size when it does not open).
QSizeF firstPageSize(const QByteArray& pdf);

} // namespace vmk::signatures::test
