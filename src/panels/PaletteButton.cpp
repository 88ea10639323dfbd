#include "panels/PaletteButton.h"

#include "chrome/Motion.h"
#include "platform/icons/SymbolIcons.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPalette>

namespace vmk::panels {

namespace {
constexpr double kSelectedScale = 1.06;
// Long enough for a spring of response 0.3 s and damping 0.6 to settle within a hair of its target.
constexpr int kSpringMs = 600;

qreal paletteSpring(qreal progress)
{
    return chrome::springValue(0.3, 0.6, progress * kSpringMs / 1000.0);
}
} // namespace

PaletteButtonLook paletteButtonLook(bool selected, bool hovering, const QPalette& palette)
{
    PaletteButtonLook look;
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor primary = palette.color(QPalette::WindowText);
    if (selected) {
        look.background = accent;
        look.background.setAlphaF(0.18);
        look.foreground = accent;
        look.scale = kSelectedScale;
    } else {
        look.background = hovering ? primary : QColor(Qt::transparent);
        if (hovering)
            look.background.setAlphaF(0.07);
        look.foreground = primary;
        look.scale = 1.0;
    }
    return look;
}

bool insideCircle(const QRectF& rect, const QPointF& point)
{
    const double r = std::min(rect.width(), rect.height()) / 2.0;
    const QPointF d = point - rect.center();
    return d.x() * d.x() + d.y() * d.y() <= r * r;
}

PaletteButton::PaletteButton(const QString& symbol, const QString& help, bool isSelected, ButtonRole role,
                             std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_help(help), m_selected(isSelected), m_role(role),
      m_action(std::move(action))
{
    setFixedSize(kPaletteButtonSide, kPaletteButtonSide);
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    m_scale = m_selected ? kSelectedScale : 1.0;
    QEasingCurve spring;
    spring.setCustomType(&paletteSpring);
    m_scaleAnimation.setEasingCurve(spring);
    m_scaleAnimation.setDuration(kSpringMs);
    connect(&m_scaleAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_scale = v.toDouble();
        update();
    });
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_action)
            m_action();
    });
}

void PaletteButton::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    m_scaleAnimation.stop();
    m_scaleAnimation.setStartValue(m_scale);
    m_scaleAnimation.setEndValue(selected ? kSelectedScale : 1.0);
    m_scaleAnimation.start();
    update();
}

bool PaletteButton::hitButton(const QPoint& pos) const
{
    return insideCircle(QRectF(rect()), QPointF(pos) + QPointF(0.5, 0.5));
}

void PaletteButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    m_hovering = true;
    update();
}

void PaletteButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    m_hovering = false;
    update();
}

void PaletteButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const PaletteButtonLook look = paletteButtonLook(m_selected, m_hovering, palette());
    const QRectF frame(rect());
    painter.translate(frame.center());
    painter.scale(m_scale, m_scale);
    painter.translate(-frame.center());
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.background);
    painter.drawEllipse(frame);
    QColor tint = look.foreground;
    if (!isEnabled())
        tint.setAlphaF(0.3);
    const int side = 17;
    const QPixmap pixmap = platform::symbolPixmap(m_symbol, side, tint, devicePixelRatioF());
    painter.drawPixmap(QPointF(frame.center().x() - side / 2.0, frame.center().y() - side / 2.0), pixmap);
}

} // namespace vmk::panels
