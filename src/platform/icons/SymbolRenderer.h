#pragma once

// Private to the symbol icons: drawing one symbol into an image.

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace vmk::platform::symbols {

// The symbol drawn in the tint (its alpha included) into a transparent image of pixelSize, centred and
// kept square. Names without an icon file get the fallback glyph.
QImage render(const QString& name, const QSize& pixelSize, const QColor& tint);

// The neutral glyph for names without an icon: a rounded square outline with a dot in its middle.
QImage renderFallback(const QSize& pixelSize, const QColor& tint);

} // namespace vmk::platform::symbols
