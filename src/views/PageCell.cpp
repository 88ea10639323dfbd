#include "views/PageCell.h"

#include "platform/services/ReduceMotion.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace vmk::views {

namespace {

constexpr double kSpringOmega = 10.0; // sqrt(stiffness / mass)
constexpr double kSpringZeta = 0.5;   // damping / (2 sqrt(stiffness × mass))

double springEasing(qreal progress)
{
    return defaultSpringValue(progress * defaultSpringSettlingDuration());
}

QColor mix(const QColor& a, const QColor& b, double t)
{
    auto lerp = [t](double x, double y) { return x + (y - x) * t; };
    return QColor::fromRgbF(float(lerp(a.redF(), b.redF())), float(lerp(a.greenF(), b.greenF())),
                            float(lerp(a.blueF(), b.blueF())), float(lerp(a.alphaF(), b.alphaF())));
}

} // namespace

double defaultSpringValue(double t)
{
    if (t <= 0)
        return 0;
    const double wd = kSpringOmega * std::sqrt(1 - kSpringZeta * kSpringZeta);
    const double decay = std::exp(-kSpringZeta * kSpringOmega * t);
    return 1 - decay * (std::cos(wd * t) + (kSpringZeta * kSpringOmega / wd) * std::sin(wd * t));
}

double defaultSpringSettlingDuration()
{
    // Until the envelope of the oscillation falls below a thousandth of the distance.
    return std::log(1000.0) / (kSpringZeta * kSpringOmega);
}

PageCell::PageCell(QObject* parent) : QObject(parent)
{
    m_shadowSpring.setStartValue(kRestRadius);
    m_shadowSpring.setEndValue(kRestRadius);
    m_activeFade.setStartValue(0.0);
    m_activeFade.setEndValue(0.0);
    connect(&m_shadowSpring, &QVariantAnimation::valueChanged, this, [this] { changed(); });
    connect(&m_activeFade, &QVariantAnimation::valueChanged, this, [this] { changed(); });
}

PageCell::~PageCell() = default;

QFont PageCell::labelFont()
{
    QFont font;
    font.setPixelSize(11);
    font.setWeight(QFont::DemiBold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

PageCellGeometry PageCell::layoutCard(QSizeF bounds, double aspect, double labelWidth)
{
    PageCellGeometry g;
    const QRectF area(6, 6, bounds.width() - 12, bounds.height() - 32);
    if (aspect > 0 && area.width() > 0 && area.height() > 0) {
        double width = area.width();
        double height = width / aspect;
        if (height > area.height()) {
            height = area.height();
            width = aspect * height;
        }
        // Centred across, standing on the area's bottom: a short (turned) page keeps its number badge
        // right under it, and the badges of a row stay in line.
        const double x = area.left() + (area.width() - width) / 2;
        const double y = area.bottom() - height;
        const double left = std::floor(x), top = std::floor(y);
        g.card = QRectF(left, top, std::ceil(x + width) - left, std::ceil(y + height) - top);
    }
    const double badgeWidth = std::max(labelWidth + 14, 26.0);
    const double badgeX = (bounds.width() - badgeWidth) / 2;
    g.badge = QRectF(badgeX, bounds.height() - 4 - 18, badgeWidth, 18);
    g.label = QRectF(badgeX, bounds.height() - 5 - 15, badgeWidth, 15);
    return g;
}

double PageCell::aspect() const
{
    if (thumbnail && thumbnail->pointSize.height() > 0)
        return double(thumbnail->pointSize.width()) / thumbnail->pointSize.height();
    return placeholderAspect;
}

PageCellGeometry PageCell::geometry(QSizeF bounds) const
{
    const QString text = QString::number(pageNumber);
    return layoutCard(bounds, aspect(), QFontMetricsF(labelFont()).horizontalAdvance(text));
}

void PageCell::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    const double from = activeAmount();
    m_activeFade.stop();
    m_activeFade.setStartValue(from);
    m_activeFade.setEndValue(selected ? 1.0 : 0.0);
    m_activeFade.setDuration(180);
    m_activeFade.setEasingCurve(QEasingCurve::InOutQuad);
    m_activeFade.start();
    changed();
}

double PageCell::activeAmount() const
{
    if (m_activeFade.state() == QAbstractAnimation::Running)
        return m_activeFade.currentValue().toDouble();
    return m_selected ? 1.0 : 0.0;
}

void PageCell::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    animateShadow(hovering ? kHoverRadius : kRestRadius, hovering ? kHoverOpacity : kRestOpacity);
}

void PageCell::animateShadow(double radius, double opacity)
{
    const double from = displayedShadowRadius();
    m_shadowSpring.stop();
    m_shadowSpring.setStartValue(from);
    m_shadowSpring.setEndValue(radius);
    if (platform::reduceMotionEnabled()) {
        m_shadowSpring.setDuration(200);
        m_shadowSpring.setEasingCurve(QEasingCurve::InOutQuad);
    } else {
        QEasingCurve spring;
        spring.setCustomType(&springEasing);
        m_shadowSpring.setDuration(int(std::lround(defaultSpringSettlingDuration() * 1000)));
        m_shadowSpring.setEasingCurve(spring);
    }
    m_shadowRadius = radius;
    m_shadowOpacity = opacity;
    m_shadowSpring.start();
    changed();
}

double PageCell::displayedShadowRadius() const
{
    if (m_shadowSpring.state() == QAbstractAnimation::Running)
        return std::max(0.0, m_shadowSpring.currentValue().toDouble());
    return m_shadowRadius;
}

void PageCell::setAlpha(double alpha)
{
    if (alpha == m_alpha)
        return;
    m_alpha = alpha;
    changed();
}

void PageCell::changed() const
{
    if (m_update)
        m_update();
}

void PageCell::paint(QPainter& painter, const QRectF& itemRect, const QPalette& palette) const
{
    const PageCellGeometry g = geometry(itemRect.size());
    const QRectF card = g.card.translated(itemRect.topLeft());
    const double active = activeAmount();
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor secondary = [&] {
        QColor c = palette.color(QPalette::WindowText);
        c.setAlphaF(0.55f);
        return c;
    }();

    painter.save();
    painter.setOpacity(painter.opacity() * m_alpha);
    painter.setRenderHint(QPainter::Antialiasing);

    if (!card.isEmpty()) {
        // A soft shadow below the card: rings fading outward, shifted 2 points down.
        const double radius = displayedShadowRadius();
        const int steps = std::max(1, int(std::ceil(radius)));
        for (int i = steps; i >= 1; --i) {
            const double spread = radius * i / steps;
            const double strength = m_shadowOpacity * (1.0 - double(i) / (steps + 1)) / steps * 1.6;
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor::fromRgbF(0, 0, 0, float(std::clamp(strength, 0.0, 1.0))));
            painter.drawRoundedRect(card.translated(0, 2).adjusted(-spread / 2, -spread / 2, spread / 2, spread / 2),
                                    3 + spread / 2, 3 + spread / 2);
        }
        QPainterPath shape;
        shape.addRoundedRect(card, 3, 3);
        painter.fillPath(shape, Qt::white);
        if (thumbnail && !thumbnail->image.isNull()) {
            painter.save();
            painter.setClipPath(shape);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(card, thumbnail->image);
            painter.restore();
        }
        const double borderWidth = 0.5 + (3.0 - 0.5) * active;
        QPen border(mix(QColor::fromRgbF(0, 0, 0, 0.08f), accent, active), borderWidth);
        border.setJoinStyle(Qt::RoundJoin);
        painter.setPen(border);
        painter.setBrush(Qt::NoBrush);
        const double inset = borderWidth / 2;
        painter.drawRoundedRect(card.adjusted(inset, inset, -inset, -inset), 3, 3);
    }

    if (active > 0) {
        QColor badge = accent;
        badge.setAlphaF(float(accent.alphaF() * active));
        painter.setPen(Qt::NoPen);
        painter.setBrush(badge);
        painter.drawRoundedRect(g.badge.translated(itemRect.topLeft()), 9, 9);
    }
    painter.setFont(labelFont());
    painter.setPen(mix(secondary, Qt::white, active));
    painter.drawText(g.label.translated(itemRect.topLeft()), Qt::AlignCenter, QString::number(pageNumber));
    painter.restore();
}

} // namespace vmk::views
