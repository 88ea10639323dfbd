#include "chrome/Glass.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace vmk::chrome {

QPainterPath GlassShape::pathIn(const QRectF& rect) const
{
    QPainterPath path;
    const double r = cornerRadiusIn(rect);
    path.addRoundedRect(rect, r, r);
    return path;
}

double GlassShape::cornerRadiusIn(const QRectF& rect) const
{
    const double half = std::min(rect.width(), rect.height()) / 2.0;
    return kind == Kind::capsule ? half : std::min(radius, half);
}

GlassLook glassLook(const QPalette& palette)
{
    GlassLook look;
    look.fill = palette.color(QPalette::Window);
    // A material lets some of what lies below show through; the light and dark windows both keep
    // enough opacity for text on it to stay readable.
    // Dense enough that the page's text cannot be read through it; a trace of the colours behind remains.
    look.fill.setAlphaF(0.96);
    look.edge = palette.color(QPalette::WindowText);
    look.edge.setAlphaF(0.08);
    look.shadow = QColor(0, 0, 0);
    look.shadow.setAlphaF(0.14);
    return look;
}

int glassShadowMargin()
{
    return 20;
}

void paintGlassBackground(QPainter& painter, const QRectF& rect, const GlassShape& shape, const QPalette& palette)
{
    const GlassLook look = glassLook(palette);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // A soft shadow: concentric fills that fade outwards approximate a blur of the given radius.
    const int steps = 7;
    for (int i = steps; i >= 1; --i) {
        const double grow = look.shadowRadius * i / steps;
        QColor c = look.shadow;
        c.setAlphaF(look.shadow.alphaF() * 2.0 / (steps + 1) * (1.0 - double(i - 1) / steps));
        const QRectF r = rect.translated(look.shadowOffset).adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2);
        painter.fillPath(shape.pathIn(r), c);
    }

    const QPainterPath path = shape.pathIn(rect);
    painter.fillPath(path, look.fill);
    QPen pen(look.edge, look.edgeWidth);
    painter.strokePath(path, pen);
    painter.restore();
}

GlassSurface::GlassSurface(GlassShape shape, QWidget* parent)
    : QWidget(parent), shape_(shape)
{
    const int m = glassShadowMargin();
    setContentsMargins(m, m, m, m);
    setAttribute(Qt::WA_TranslucentBackground);
}

void GlassSurface::setShape(GlassShape shape)
{
    shape_ = shape;
    update();
}

QRectF GlassSurface::surfaceRect() const
{
    return QRectF(contentsRect());
}

void GlassSurface::paintEvent(QPaintEvent*)
{
    const double ratio = devicePixelRatioF();
    const QRect surface = contentsRect();
    const QString key = QStringLiteral("%1x%2 %3,%4,%5x%6 %7 %8 %9 %10")
                            .arg(width())
                            .arg(height())
                            .arg(surface.x())
                            .arg(surface.y())
                            .arg(surface.width())
                            .arg(surface.height())
                            .arg(ratio)
                            .arg(int(shape_.kind))
                            .arg(shape_.radius)
                            .arg(palette().cacheKey());
    if (key != backgroundKey_) {
        background_ = QImage((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        background_.setDevicePixelRatio(ratio);
        background_.fill(Qt::transparent);
        QPainter made(&background_);
        paintGlassBackground(made, surfaceRect(), shape_, palette());
        backgroundKey_ = key;
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), background_);
}

void applyProminentButton(QAbstractButton* button)
{
    if (!button)
        return;
    const QPalette pal = button->palette();
    const QColor accent = pal.color(QPalette::Highlight);
    const QColor pressed = accent.darker(115);
    QColor disabled = pal.color(QPalette::WindowText);
    disabled.setAlphaF(0.15);
    QColor disabledText = pal.color(QPalette::WindowText);
    disabledText.setAlphaF(0.35);
    button->setStyleSheet(QStringLiteral(
        "QAbstractButton { background-color: %1; color: white; border: none; border-radius: 6px;"
        " padding: 5px 14px; font-weight: 600; }"
        "QAbstractButton:pressed { background-color: %2; }"
        "QAbstractButton:disabled { background-color: %3; color: %4; }")
                              .arg(accent.name(QColor::HexArgb), pressed.name(QColor::HexArgb),
                                   disabled.name(QColor::HexArgb), disabledText.name(QColor::HexArgb)));
}

} // namespace vmk::chrome
