#include "views/PageCell.h"

#include "platform/services/ReduceMotion.h"

#include <QFontMetricsF>
#include <QCache>
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

// The thin border every card has at rest, inside its edge.
void drawRestingBorder(QPainter& p, const QRectF& card)
{
    QPen border(QColor::fromRgbF(0, 0, 0, 0.08f), 0.5);
    border.setJoinStyle(Qt::RoundJoin);
    p.setPen(border);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(card.adjusted(0.25, 0.25, -0.25, -0.25), 3, 3);
}

// The resting border alone, for cards whose thumbnail covers the one under it; cached like the shadows.
const QImage& cardRim(QSize cardSize, double pixelRatio)
{
    const QString key = QStringLiteral("%1x%2 %3").arg(cardSize.width()).arg(cardSize.height()).arg(pixelRatio);
    thread_local QCache<QString, QImage> cache(16);
    if (const QImage* found = cache.object(key))
        return *found;
    auto* rim = new QImage((QSizeF(cardSize) * pixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    rim->setDevicePixelRatio(pixelRatio);
    rim->fill(Qt::transparent);
    QPainter p(rim);
    p.setRenderHint(QPainter::Antialiasing);
    drawRestingBorder(p, QRectF(QPointF(0, 0), QSizeF(cardSize)));
    p.end();
    cache.insert(key, rim);
    return *cache.object(key);
}

// The shadow below a card and the card's white face with its resting border; `origin` is where the card's top
// left lies in the picture.
struct CardUnderlay {
    QImage image;
    QPointF origin;
};

// Rings fading outward, shifted 2 points down, then the card. Radii are kept to quarter points and
// opacities to hundredths, so that a spring's frames share their pictures; the few distinct looks
// (cards of a grid share one size) stay cached on the painting thread.
const CardUnderlay& cardUnderlay(QSize cardSize, double radius, double opacity, double pixelRatio)
{
    radius = std::round(std::max(0.0, radius) * 4) / 4;
    opacity = std::round(opacity * 100) / 100;
    const QString key = QStringLiteral("%1x%2 %3 %4 %5")
                            .arg(cardSize.width())
                            .arg(cardSize.height())
                            .arg(radius)
                            .arg(opacity)
                            .arg(pixelRatio);
    thread_local QCache<QString, CardUnderlay> cache(64);
    if (const CardUnderlay* found = cache.object(key))
        return *found;
    const double pad = std::ceil(radius / 2) + 3;
    const QRectF card(pad, pad, cardSize.width(), cardSize.height());
    const QSizeF size(cardSize.width() + 2 * pad, cardSize.height() + 2 * pad);
    auto* made = new CardUnderlay{QImage((size * pixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied),
                                  QPointF(pad, pad)};
    made->image.setDevicePixelRatio(pixelRatio);
    made->image.fill(Qt::transparent);
    QPainter p(&made->image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int steps = std::max(1, int(std::ceil(radius)));
    for (int i = steps; i >= 1 && radius > 0; --i) {
        const double spread = radius * i / steps;
        const double strength = opacity * (1.0 - double(i) / (steps + 1)) / steps * 1.6;
        p.setBrush(QColor::fromRgbF(0, 0, 0, float(std::clamp(strength, 0.0, 1.0))));
        p.drawRoundedRect(card.translated(0, 2).adjusted(-spread / 2, -spread / 2, spread / 2, spread / 2),
                          3 + spread / 2, 3 + spread / 2);
    }
    QPainterPath shape;
    shape.addRoundedRect(card, 3, 3);
    p.fillPath(shape, Qt::white);
    drawRestingBorder(p, card);
    p.end();
    cache.insert(key, made);
    return *cache.object(key);
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
    if (m_measuredNumber != pageNumber) {
        // One font and its metrics for every label: each card measuring afresh on every frame of the
        // grid's entrance cost more than drawing its label.
        static const QFontMetricsF metrics(labelFont());
        const QString text = QString::number(pageNumber);
        m_labelWidth = metrics.horizontalAdvance(text);
        m_label = QStaticText(text);
        m_label.setTextFormat(Qt::PlainText);
        m_label.prepare(QTransform(), labelFont());
        m_measuredNumber = pageNumber;
    }
    return layoutCard(bounds, aspect(), m_labelWidth);
}

QSize PageCell::cardSize(QSizeF itemSize, QSize thumbnailPointSize)
{
    if (thumbnailPointSize.height() <= 0)
        return QSize();
    const double aspect = double(thumbnailPointSize.width()) / thumbnailPointSize.height();
    return layoutCard(itemSize, aspect, 0).card.size().toSize();
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

QImage PageCell::makeFace(const QImage& thumbnail, QSize cardSize, double pixelRatio)
{
    const QSize pixels = (QSizeF(cardSize) * pixelRatio).toSize();
    if (thumbnail.isNull() || pixels.isEmpty())
        return QImage();
    QImage face(pixels, QImage::Format_ARGB32_Premultiplied);
    face.setDevicePixelRatio(pixelRatio);
    face.fill(Qt::transparent);
    QPainter p(&face);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(QPointF(0, 0), QSizeF(cardSize));
    // Scaled once here rather than on every paint; the border comes stamped, as stroking it cost a third
    // of making the face.
    QPainterPath shape;
    shape.addRoundedRect(card, 3, 3);
    p.setClipPath(shape);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(card, thumbnail);
    p.setClipping(false);
    p.drawImage(QPointF(0, 0), cardRim(cardSize, pixelRatio));
    p.end();
    return face;
}

const QImage& PageCell::face(QSize cardSize, double pixelRatio) const
{
    const QSize pixels = (QSizeF(cardSize) * pixelRatio).toSize();
    // The face made with the thumbnail serves while the card keeps the size it was made for.
    const QImage& made = thumbnail->face;
    if (made.size() == pixels && made.devicePixelRatio() == pixelRatio)
        return made;
    const qint64 imageKey = thumbnail->image.cacheKey();
    if (m_face.size() == pixels && m_face.devicePixelRatio() == pixelRatio && m_faceImageKey == imageKey)
        return m_face;
    m_faceImageKey = imageKey;
    m_face = makeFace(thumbnail->image, cardSize, pixelRatio);
    return m_face;
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
        // The shadow and the white card under it, drawn once per look and stamped: path fills for every
        // ring of every card on every frame held the window for tens of milliseconds per frame.
        const CardUnderlay& underlay =
            cardUnderlay(card.size().toSize(), displayedShadowRadius(), m_shadowOpacity, painter.device()->devicePixelRatioF());
        painter.drawImage(card.topLeft() - underlay.origin, underlay.image);
        if (thumbnail && !thumbnail->image.isNull())
            painter.drawImage(card.topLeft(), face(card.size().toSize(), painter.device()->devicePixelRatioF()));
        if (active > 0) {
            const double borderWidth = 0.5 + (3.0 - 0.5) * active;
            QPen border(mix(QColor::fromRgbF(0, 0, 0, 0.08f), accent, active), borderWidth);
            border.setJoinStyle(Qt::RoundJoin);
            painter.setPen(border);
            painter.setBrush(Qt::NoBrush);
            const double inset = borderWidth / 2;
            painter.drawRoundedRect(card.adjusted(inset, inset, -inset, -inset), 3, 3);
        }
    }

    if (active > 0) {
        QColor badge = accent;
        badge.setAlphaF(float(accent.alphaF() * active));
        painter.setPen(Qt::NoPen);
        painter.setBrush(badge);
        painter.drawRoundedRect(g.badge.translated(itemRect.topLeft()), 9, 9);
    }
    static const QFont font = labelFont();
    painter.setFont(font);
    painter.setPen(mix(secondary, Qt::white, active));
    // Laid out once per number, centred in the label's place.
    const QRectF label = g.label.translated(itemRect.topLeft());
    const QSizeF text = m_label.size();
    painter.drawStaticText(QPointF(label.center().x() - text.width() / 2, label.center().y() - text.height() / 2), m_label);
    painter.restore();
}

} // namespace vmk::views
