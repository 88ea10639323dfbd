#include "platform/icons/SymbolRenderer.h"

#include "platform/icons/SymbolIcons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>

namespace vmk::platform::symbols {

namespace {

QRectF centredSquare(const QSize& size)
{
    const qreal side = std::min(size.width(), size.height());
    return QRectF((size.width() - side) / 2.0, (size.height() - side) / 2.0, side, side);
}

QImage blank(const QSize& pixelSize)
{
    QImage image(pixelSize.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The icon file's text, read once per path (the files never change while the application runs).
QByteArray svgText(const QString& path)
{
    static QHash<QString, QByteArray> cache;
    if (auto it = cache.constFind(path); it != cache.cend())
        return *it;
    QFile file(path);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    cache.insert(path, text);
    return text;
}

} // namespace

QImage renderFallback(const QSize& pixelSize, const QColor& tint)
{
    QImage image = blank(pixelSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(tint.alphaF());
    QColor opaque = tint;
    opaque.setAlpha(255);
    const QRectF square = centredSquare(image.size());
    // Proportions of the line icons: a 2-unit stroke on a 24-unit grid, 3 units of margin.
    const qreal unit = square.width() / 24.0;
    QPen pen(opaque, std::max(1.0, 2.0 * unit));
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(square.adjusted(3 * unit, 3 * unit, -3 * unit, -3 * unit), 3 * unit, 3 * unit);
    p.setPen(Qt::NoPen);
    p.setBrush(opaque);
    p.drawEllipse(square.center(), 2 * unit, 2 * unit);
    return image;
}

QImage render(const QString& name, const QSize& pixelSize, const QColor& tint)
{
    const QString path = symbolIconPath(name);
    QByteArray svg = path.isEmpty() ? QByteArray() : svgText(path);
    if (svg.isEmpty())
        return renderFallback(pixelSize, tint);
    // The icons draw in "currentColor"; give them the tint, and its alpha through the painter.
    svg.replace("currentColor", tint.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return renderFallback(pixelSize, tint);
    QImage image = blank(pixelSize);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p, centredSquare(image.size()));
    }
    if (tint.alpha() == 255)
        return image;
    // Fade the finished glyph as a whole: fading each shape would darken where strokes overlap.
    QImage faded = blank(pixelSize);
    QPainter p(&faded);
    p.setOpacity(tint.alphaF());
    p.drawImage(0, 0, image);
    p.end();
    return faded;
}

} // namespace vmk::platform::symbols
