#include "chrome/RollingLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace vmk::chrome {

RollingLabel::RollingLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    m_roll.setParent(this);
    m_roll.setStartValue(0.0);
    m_roll.setEndValue(1.0);
    connect(&m_roll, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_phase = v.toDouble();
        update();
    });
    connect(&m_roll, &QVariantAnimation::finished, this, [this] {
        m_phase = 1.0;
        m_from.clear();
        update();
    });
}

RollingLabel::Change RollingLabel::changeBetween(const QString& from, const QString& to)
{
    const int shortest = int(std::min(from.size(), to.size()));
    int prefix = 0;
    while (prefix < shortest && from[prefix] == to[prefix])
        ++prefix;
    int suffix = 0;
    while (suffix < shortest - prefix && from[from.size() - 1 - suffix] == to[to.size() - 1 - suffix])
        ++suffix;
    return {prefix, int(from.size()) - prefix - suffix, int(to.size()) - prefix - suffix};
}

void RollingLabel::rollTo(const QString& text, bool upward, const MotionSpec& motion)
{
    if (text == QLabel::text())
        return;
    // A roll under way is overtaken: the newest text rolls in from what shows now.
    const QString from = QLabel::text();
    m_roll.stop();
    setText(text);
    // Off screen (hidden itself, or in a page or window not showing) there is nothing to watch roll.
    if (motion.durationMs <= 0 || !isVisible() || from.isEmpty()) {
        m_from.clear();
        m_phase = 1.0;
        return;
    }
    m_from = from;
    m_upward = upward;
    m_phase = 0.0;
    m_roll.setDuration(motion.durationMs);
    m_roll.setEasingCurve(motion.easing);
    m_roll.start();
}

void RollingLabel::paintEvent(QPaintEvent* event)
{
    if (!isRolling() || m_from.isEmpty()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    const QFontMetricsF metrics(font());
    const QString to = text();
    const Change change = changeBetween(m_from, to);
    const QRectF box = QRectF(contentsRect()).adjusted(margin(), margin(), -margin(), -margin());
    // The new text sits where the label would draw it; the old part rolls out from the same start.
    const double width = metrics.horizontalAdvance(to);
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    double x = box.left();
    if (align & Qt::AlignHCenter)
        x = box.left() + (box.width() - width) / 2;
    else if (align & Qt::AlignRight)
        x = box.right() - width;
    const double baseline = box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent();
    const double travel = metrics.height();
    const double t = m_phase;
    const double direction = m_upward ? -1.0 : 1.0;
    const QColor ink = palette().color(foregroundRole());

    const QString prefix = to.left(change.start);
    const QString incoming = to.mid(change.start, change.toLength);
    const QString outgoing = m_from.mid(change.start, change.fromLength);
    const QString suffix = to.mid(change.start + change.toLength);
    const double changeX = x + metrics.horizontalAdvance(prefix);
    painter.setPen(ink);
    painter.drawText(QPointF(x, baseline), prefix);
    painter.drawText(QPointF(changeX + metrics.horizontalAdvance(incoming), baseline), suffix);
    painter.setOpacity(std::clamp(1.0 - t, 0.0, 1.0));
    painter.drawText(QPointF(changeX, baseline + direction * travel * t), outgoing);
    painter.setOpacity(std::clamp(t, 0.0, 1.0));
    painter.drawText(QPointF(changeX, baseline - direction * travel * (1.0 - t)), incoming);
}

void countTo(QLabel* label, const QString& text, const MotionSpec& motion)
{
    if (auto* rolling = qobject_cast<RollingLabel*>(label))
        rolling->rollTo(text, true, motion);
    else
        label->setText(text);
}

} // namespace vmk::chrome
