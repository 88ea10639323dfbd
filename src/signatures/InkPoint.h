#pragma once

#include <QList>
#include <QPointF>

namespace vmk::signatures {

// One sample of a drawn stroke: where it is (pad coordinates in points, origin at the bottom left, y up, as
// in PDF space) and how wide the line is there. Samples live only in memory; the artwork made from them is
// what gets stored.
struct InkPoint {
    QPointF location;
    double width = 0.0;

    friend bool operator==(const InkPoint&, const InkPoint&) = default;
};

using InkStroke = QList<InkPoint>;
using InkStrokes = QList<InkStroke>;

} // namespace vmk::signatures
