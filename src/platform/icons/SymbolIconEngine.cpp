#include "platform/icons/SymbolIconEngine.h"

#include "platform/icons/SymbolIcons.h"
#include "platform/icons/SymbolRenderer.h"

#include <QPainter>

#include <cmath>

namespace vmk::platform::symbols {

SymbolIconEngine::SymbolIconEngine(const QString& name, const QColor& tint, const QSize& logicalSize)
    : m_name(name), m_tint(tint), m_logicalSize(logicalSize.isValid() ? logicalSize : QSize(16, 16))
{
}

QColor SymbolIconEngine::tintFor(const QColor& tint, QIcon::Mode mode)
{
    if (mode != QIcon::Disabled)
        return tint;
    QColor faded = tint;
    faded.setAlphaF(tint.alphaF() * 0.35f);
    return faded;
}

void SymbolIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    Q_UNUSED(state);
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, symbolPixmap(m_name, rect.size(), tintFor(m_tint, mode), dpr));
}

QPixmap SymbolIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

// QIcon passes the size in device pixels here, already multiplied by the scale.
QPixmap SymbolIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale)
{
    const qreal s = scale > 0 ? scale : 1.0;
    const QSize logical(int(std::lround(size.width() / s)), int(std::lround(size.height() / s)));
    return symbolPixmap(m_name, logical, tintFor(m_tint, mode), s);
}

QSize SymbolIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) { return size; }

QList<QSize> SymbolIconEngine::availableSizes(QIcon::Mode, QIcon::State) { return {m_logicalSize}; }

QString SymbolIconEngine::iconName() { return m_name; }

QString SymbolIconEngine::key() const { return QStringLiteral("vmk-symbol"); }

QIconEngine* SymbolIconEngine::clone() const { return new SymbolIconEngine(m_name, m_tint, m_logicalSize); }

} // namespace vmk::platform::symbols
