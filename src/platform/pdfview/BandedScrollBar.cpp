#include "platform/pdfview/BandedScrollBar.h"

#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace vmk::pdfview {

BandedScrollBar::BandedScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

int BandedScrollBar::bandHeight(qreal devicePixelRatio)
{
    if (devicePixelRatio <= 0)
        return 0;
    for (int rows = int(kBandDeviceRows / devicePixelRatio); rows > 0; --rows) {
        const qreal device = rows * devicePixelRatio;
        if (std::abs(device - std::round(device)) < 1e-6)
            return rows;
    }
    return 0;
}

void BandedScrollBar::paintEvent(QPaintEvent* event)
{
    if (m_paintingBand) {
        QScrollBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    // The ratio of what is painted on (the window's backing store, or an image the bar is rendered into).
    const QPaintDevice* target = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    const qreal ratio = target ? target->devicePixelRatio() : devicePixelRatioF();
    const int band = bandHeight(ratio);
    const QRect dirty = event->rect();
    if (band <= 0 || dirty.height() <= band) {
        painter.end();
        QScrollBar::paintEvent(event);
        return;
    }
    // Bands start on multiples of the band height, whole device rows from the top, so the style draws
    // each at the device offset it has in a paint of the whole bar.
    QImage strip(int(std::ceil(width() * ratio)), int(std::lround(band * ratio)), QImage::Format_ARGB32_Premultiplied);
    strip.setDevicePixelRatio(ratio);
    m_paintingBand = true;
    // Rendering the bar from inside its own paint event is what this does on purpose; Qt would take each
    // band for a recursive repaint and say so.
    setAttribute(Qt::WA_WState_InPaintEvent, false);
    for (int top = dirty.top() / band * band; top <= dirty.bottom(); top += band) {
        strip.fill(Qt::transparent);
        render(&strip, QPoint(), QRegion(0, top, width(), band), RenderFlags());
        painter.drawImage(QPoint(0, top), strip);
    }
    setAttribute(Qt::WA_WState_InPaintEvent, true);
    m_paintingBand = false;
}

} // namespace vmk::pdfview
