#include "chrome/ChromeStyle.h"

#include "platform/icons/SymbolIcons.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace vmk::chrome {

namespace {

QFont scaled(double factor)
{
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else
        font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * factor))));
    return font;
}

} // namespace

QFont calloutFont()
{
    return scaled(0.95);
}

QFont captionFont()
{
    return scaled(0.85);
}

QFont titleFont(double scale)
{
    QFont font = scaled(scale);
    font.setWeight(QFont::DemiBold);
    return font;
}

QColor accentColor(const QPalette& palette)
{
    return palette.color(QPalette::Highlight);
}

QColor secondaryTextColor(const QPalette& palette)
{
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(0.6);
    return c;
}

QToolButton* makeSymbolButton(const QString& symbol, const QString& help, int iconSize, QWidget* parent,
                              const QColor& tint)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    const QColor color = tint.isValid() ? tint : button->palette().color(QPalette::WindowText);
    button->setIcon(platform::symbolIcon(symbol, color, QSize(iconSize, iconSize)));
    button->setIconSize(QSize(iconSize, iconSize));
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setCursor(Qt::ArrowCursor);
    return button;
}

QLabel* makeSymbolLabel(const QString& symbol, int size, const QColor& tint, QWidget* parent)
{
    auto* label = new QLabel(parent);
    const qreal dpr = parent ? parent->devicePixelRatioF() : qApp->devicePixelRatio();
    label->setPixmap(platform::symbolPixmap(symbol, size, tint, dpr));
    label->setFixedSize(size, size);
    label->setAccessibleName(symbol);
    return label;
}

} // namespace vmk::chrome
