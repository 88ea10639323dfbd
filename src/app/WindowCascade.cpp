#include "app/WindowCascade.h"

#include <cstdlib>

namespace vmk::app {

QPoint cascadedOrigin(QPoint wanted, const QList<QPoint>& taken, const QRect& area, const QSize& size)
{
    constexpr int kStep = 28;
    auto occupied = [&](QPoint p) {
        for (const QPoint& t : taken)
            if (std::abs(t.x() - p.x()) < 4 && std::abs(t.y() - p.y()) < 4)
                return true;
        return false;
    };
    QPoint p = wanted;
    for (int i = 0; i < 64 && occupied(p); ++i) {
        p += QPoint(kStep, kStep);
        if (!area.isEmpty() && (p.x() + size.width() > area.right() + 1 || p.y() + size.height() > area.bottom() + 1))
            p = area.topLeft() + QPoint(kStep, kStep) * (1 + i % 8) / 2;
    }
    return p;
}

} // namespace vmk::app
