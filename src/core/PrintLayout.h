#pragma once

#include <QRectF>
#include <QSizeF>

namespace vmk::core {

// Where one page goes on the paper: turned by 90° when its orientation differs from the paper's, then
// scaled (up or down) to fit the printable area and centred in it.
struct PrintPlacement {
    bool rotated = false;
    double scale = 1.0;  // paper units per page point
    QRectF target;       // the area the (possibly turned) page covers, in paper units
};

PrintPlacement printPlacement(const QSizeF& pageSize, const QRectF& printable);

} // namespace vmk::core
