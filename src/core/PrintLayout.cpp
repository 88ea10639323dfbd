#include "core/PrintLayout.h"

#include <algorithm>

namespace vmk::core {

PrintPlacement printPlacement(const QSizeF& pageSize, const QRectF& printable)
{
    PrintPlacement placement;
    if (pageSize.width() <= 0 || pageSize.height() <= 0 || printable.isEmpty())
        return placement;
    const bool pageLandscape = pageSize.width() > pageSize.height();
    const bool paperLandscape = printable.width() > printable.height();
    placement.rotated = pageLandscape != paperLandscape && pageSize.width() != pageSize.height();
    const QSizeF placed = placement.rotated ? pageSize.transposed() : pageSize;
    placement.scale = std::min(printable.width() / placed.width(), printable.height() / placed.height());
    const QSizeF size = placed * placement.scale;
    placement.target = QRectF(printable.center().x() - size.width() / 2, printable.center().y() - size.height() / 2,
                              size.width(), size.height());
    return placement;
}

} // namespace vmk::core
