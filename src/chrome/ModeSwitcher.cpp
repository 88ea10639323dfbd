#include "chrome/ModeSwitcher.h"

#include "chrome/Motion.h"
#include "chrome/Transition.h"
#include "platform/services/ReduceMotion.h"

#include "chrome/ModeSwitcherAccessible.h"

#include <QAccessible>
#include <QEvent>
#include <QKeyEvent>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <cmath>

namespace vmk::chrome {

namespace {
constexpr double kOuterPadding = 3.0;
constexpr double kLabelPadding = 11.0;
constexpr double kSegmentHeight = 24.0;
} // namespace

const std::vector<ModeSegmentInfo>& modeSegments()
{
    static const std::vector<ModeSegmentInfo> segments = [] {
        const char* titles[] = {"Read", "Annotate", "Edit", "Sign", "Pages", "Redact"};
        std::vector<ModeSegmentInfo> list;
        for (int i = 0; i < 6; ++i)
            list.push_back({i, QString::fromLatin1(titles[i]), QStringLiteral("%1 (Ctrl+%2)").arg(QLatin1String(titles[i])).arg(i + 1)});
        return list;
    }();
    return segments;
}

QFont modeSwitcherFont()
{
    QFont font;
    font.setPixelSize(12);
    font.setWeight(QFont::DemiBold);
    return font;
}

int modeSwitcherHostWidth(const QFont& font)
{
    const QFontMetricsF metrics(font);
    double width = 6;
    for (const auto& segment : modeSegments())
        width += std::ceil(metrics.horizontalAdvance(segment.title)) + 22 + 1;
    return int(width);
}

ModeSwitcher::ModeSwitcher(QWidget* parent)
    : QWidget((installModeSwitcherAccessibility(), parent))
{
    setFont(modeSwitcherFont());
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    // Reachable with Tab like any other control of the toolbar; read out as six labelled choices.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Mode"));
    setFixedSize(modeSwitcherHostWidth(font()), kModeSwitcherHostHeight);
    pillNow_ = segmentRect(0);
    connect(&pill_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        pillNow_ = value.toRectF();
        update();
    });
}

void ModeSwitcher::setMode(int mode)
{
    if (mode < 0 || mode > 5 || mode == mode_)
        return;
    const QRectF from = pillNow_;
    mode_ = mode;
    focused_ = mode;
    const bool reduce = reduceMotion_ ? reduceMotion_() : platform::reduceMotionEnabled();
    // The capsule slides on from wherever it is, so a quick second change turns it around smoothly.
    const MotionSpec motion = pieceMotion(curveMotion(overshootCurve, 0.48, false), reduce);
    pill_.stop();
    pill_.setStartValue(from);
    pill_.setEndValue(segmentRect(mode));
    pill_.setDuration(std::max(1, motion.durationMs));
    pill_.setEasingCurve(motion.easing);
    if (isVisible() && motion.durationMs > 0)
        pill_.start();
    else
        pillNow_ = segmentRect(mode);
    update();
}

void ModeSwitcher::setLocked(bool locked)
{
    if (locked_ == locked)
        return;
    locked_ = locked;
    update();
}

void ModeSwitcher::segmentHoverEntered(int mode)
{
    hovered_ = mode;
    update();
}

void ModeSwitcher::segmentHoverExited(int mode)
{
    if (hovered_ == mode) {
        hovered_.reset();
        update();
    }
}

bool ModeSwitcher::isSegmentEnabled(int mode) const
{
    return !locked_ || mode == 0;
}

void ModeSwitcher::clickSegment(int mode)
{
    if (mode < 0 || mode > 5 || !isSegmentEnabled(mode))
        return;
    if (select_)
        select_(mode);
}

double ModeSwitcher::contentWidth() const
{
    const QFontMetricsF metrics(font());
    double width = 2 * kOuterPadding;
    for (const auto& segment : modeSegments())
        width += std::ceil(metrics.horizontalAdvance(segment.title)) + 2 * kLabelPadding;
    return width;
}

QRectF ModeSwitcher::segmentRect(int mode) const
{
    const QFontMetricsF metrics(font());
    double x = (width() - contentWidth()) / 2.0 + kOuterPadding;
    const double y = (height() - kSegmentHeight) / 2.0;
    for (const auto& segment : modeSegments()) {
        const double w = std::ceil(metrics.horizontalAdvance(segment.title)) + 2 * kLabelPadding;
        if (segment.mode == mode)
            return QRectF(x, y, w, kSegmentHeight);
        x += w;
    }
    return {};
}

int ModeSwitcher::segmentAt(const QPointF& point) const
{
    for (const auto& segment : modeSegments())
        if (segmentRect(segment.mode).contains(point))
            return segment.mode;
    return -1;
}

QRectF ModeSwitcher::pillRect() const
{
    return pillNow_;
}

QSize ModeSwitcher::sizeHint() const
{
    return {modeSwitcherHostWidth(font()), kModeSwitcherHostHeight};
}

QColor ModeSwitcher::textColor(int mode) const
{
    if (mode == mode_)
        return Qt::white;
    QColor color = palette().color(QPalette::WindowText);
    if (!isSegmentEnabled(mode))
        color.setAlphaF(0.5);
    return color;
}

void ModeSwitcher::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (hovered_ && *hovered_ != mode_) {
        QColor hover = palette().color(QPalette::WindowText);
        hover.setAlphaF(0.07);
        const QRectF r = segmentRect(*hovered_);
        painter.setPen(Qt::NoPen);
        painter.setBrush(hover);
        painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }
    // The one accent capsule, with a soft shadow in its own colour.
    const QColor accent = palette().color(QPalette::Highlight);
    QColor glow = accent;
    glow.setAlphaF(0.45 / 3);
    painter.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        painter.setBrush(glow);
        const QRectF r = pillNow_.translated(0, 2).adjusted(-i, -i, i, i);
        painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }
    painter.setBrush(accent);
    painter.drawRoundedRect(pillNow_, pillNow_.height() / 2, pillNow_.height() / 2);

    for (const auto& segment : modeSegments()) {
        painter.setPen(textColor(segment.mode));
        painter.drawText(segmentRect(segment.mode), Qt::AlignCenter, segment.title);
    }
    if (hasFocus()) {
        // On the chosen mode the accent ring would vanish into the accent pill: there it is drawn
        // inside the pill in the pill's text colour.
        const bool onPill = focused_ == mode_;
        QColor ring = onPill ? palette().color(QPalette::HighlightedText) : accent;
        ring.setAlphaF(onPill ? 0.95 : 0.7);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(ring, onPill ? 1.5 : 2));
        const double inset = onPill ? 3.0 : 1.0;
        const QRectF r = segmentRect(focused_).adjusted(inset, inset, -inset, -inset);
        painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }
}

void ModeSwitcher::moveFocus(int step)
{
    for (int next = focused_ + step; next >= 0 && next < 6; next += step)
        if (isSegmentEnabled(next)) {
            focused_ = next;
            update();
            if (QAccessible::isActive()) {
                QAccessibleEvent focus(this, QAccessible::Focus);
                focus.setChild(next);
                QAccessible::updateAccessibility(&focus);
            }
            return;
        }
}

void ModeSwitcher::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        moveFocus(layoutDirection() == Qt::RightToLeft && event->key() == Qt::Key_Left ? 1 : -1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        moveFocus(layoutDirection() == Qt::RightToLeft && event->key() == Qt::Key_Right ? -1 : 1);
        break;
    case Qt::Key_Home:
        focused_ = 0;
        update();
        break;
    case Qt::Key_End:
        focused_ = locked_ ? 0 : 5;
        update();
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        clickSegment(focused_);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ModeSwitcher::focusInEvent(QFocusEvent* event)
{
    focused_ = mode_;
    QWidget::focusInEvent(event);
    update();
}

void ModeSwitcher::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void ModeSwitcher::mouseMoveEvent(QMouseEvent* event)
{
    const int at = segmentAt(event->position());
    if (hovered_ && *hovered_ != at)
        segmentHoverExited(*hovered_);
    if (at >= 0 && hovered_ != at)
        segmentHoverEntered(at);
}

void ModeSwitcher::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int at = segmentAt(event->position());
        if (at >= 0)
            clickSegment(at);
    }
}

void ModeSwitcher::leaveEvent(QEvent*)
{
    if (hovered_)
        segmentHoverExited(*hovered_);
}

bool ModeSwitcher::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int at = segmentAt(help->pos());
        if (at >= 0)
            QToolTip::showText(help->globalPos(), modeSegments()[at].helpText, this, segmentRect(at).toRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

} // namespace vmk::chrome
