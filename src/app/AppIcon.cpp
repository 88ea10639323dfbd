#include "app/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vmk::app {

QPixmap appIconPixmap(int size, qreal dpr)
{
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient warm(tile.topLeft(), tile.bottomRight());
    warm.setColorAt(0, QColor(255, 176, 64));
    warm.setColorAt(1, QColor(226, 92, 24));
    p.setPen(Qt::NoPen);
    p.setBrush(warm);
    p.drawRoundedRect(tile, s * 0.22, s * 0.22);

    const QRectF page(s * 0.28, s * 0.2, s * 0.44, s * 0.58);
    const double fold = s * 0.13;
    QPainterPath sheet;
    sheet.moveTo(page.topLeft());
    sheet.lineTo(page.right() - fold, page.top());
    sheet.lineTo(page.right(), page.top() + fold);
    sheet.lineTo(page.bottomRight());
    sheet.lineTo(page.bottomLeft());
    sheet.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(page.right() - fold, page.top());
    corner.lineTo(page.right() - fold, page.top() + fold);
    corner.lineTo(page.right(), page.top() + fold);
    corner.closeSubpath();
    p.setBrush(QColor(255, 214, 170));
    p.drawPath(corner);
    p.setBrush(QColor(226, 92, 24, 150));
    for (int i = 0; i < 4; ++i)
        p.drawRoundedRect(QRectF(page.left() + s * 0.06, page.top() + s * (0.2 + i * 0.08), s * (i == 3 ? 0.18 : 0.3), s * 0.035), 2, 2);
    return pixmap;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(appIconPixmap(size));
    return icon;
}

} // namespace vmk::app
