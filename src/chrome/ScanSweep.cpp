#include "chrome/ScanSweep.h"

#include "chrome/ChromeStyle.h"
#include "chrome/Motion.h"

#include <QLinearGradient>
#include <QPainter>

namespace vmk::chrome {

double scanBandOffset(bool down, double spaceHeight)
{
    return down ? spaceHeight : -kScanBandHeight;
}

ScanSweep::ScanSweep(bool reduceMotion, QWidget* parent) : QWidget(parent), m_reduceMotion(reduceMotion)
{
    setObjectName(QStringLiteral("ScanSweep"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    m_sweep.setStartValue(0.0);
    m_sweep.setEndValue(1.0);
    m_sweep.setDuration(1650);
    m_sweep.setEasingCurve(smoothCurve.easing());
    m_sweep.setLoopCount(-1); // from the top again each time, never back up
    connect(&m_sweep, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toDouble();
        update();
    });
}

double ScanSweep::bandOffset() const
{
    const double top = scanBandOffset(false, height());
    const double bottom = scanBandOffset(true, height());
    if (!m_down)
        return top;
    return top + (bottom - top) * m_progress;
}

void ScanSweep::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_reduceMotion || m_down)
        return;
    m_down = true;
    m_sweep.start();
}

void ScanSweep::paintEvent(QPaintEvent*)
{
    if (m_reduceMotion)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = accentColor(palette());
    const double y = bandOffset();
    const double w = width();

    QColor glow = accent;
    glow.setAlphaF(0.16);
    QLinearGradient gradient(0, y, 0, y + 44);
    gradient.setColorAt(0, Qt::transparent);
    gradient.setColorAt(1, glow);
    painter.fillRect(QRectF(0, y, w, 44), gradient);

    // The line's glow: a few widening translucent strokes stand in for a blurred shadow.
    const QRectF line(0, y + 44, w, 2);
    for (int i = 4; i >= 1; --i) {
        QColor halo = accent;
        halo.setAlphaF(0.6 * 0.18 * (5 - i) / 4.0);
        painter.fillRect(line.adjusted(0, -2.0 * i, 0, 2.0 * i), halo);
    }
    painter.fillRect(line, accent);
}

} // namespace vmk::chrome
