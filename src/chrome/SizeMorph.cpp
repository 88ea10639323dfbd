#include "chrome/SizeMorph.h"

#include <QLayout>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vmk::chrome {

namespace {

int lerp(int from, int to, double t)
{
    return int(std::lround(from + (to - from) * t));
}

QList<QWidget*> shownChildren(const QWidget* widget)
{
    QList<QWidget*> children;
    for (QWidget* child : widget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!child->isHidden() && !child->isWindow())
            children << child;
    return children;
}

// The shown children in the order of the widget's layout, then any others.
QList<QWidget*> rowOrder(const QWidget* widget)
{
    QList<QWidget*> order;
    if (const QLayout* layout = widget->layout())
        for (int i = 0; i < layout->count(); ++i)
            if (QWidget* child = layout->itemAt(i)->widget(); child && !child->isHidden() && !child->isWindow())
                order << child;
    for (QWidget* child : shownChildren(widget))
        if (!order.contains(child))
            order << child;
    return order;
}

} // namespace

SizeMorph::SizeMorph(QWidget* widget) : QObject(widget), m_widget(widget)
{
    setObjectName(QStringLiteral("sizeMorph"));
    m_clock.setParent(this);
    m_clock.setStartValue(0.0);
    m_clock.setEndValue(1.0);
    connect(&m_clock, &QVariantAnimation::valueChanged, this, [this] { tick(); });
    connect(&m_clock, &QVariantAnimation::finished, this, [this] { settle(); });
    // The widget's hint drives its size while it morphs; a minimum pinned by the layout would stop an
    // overshoot on the way down, so the layout leaves the minimum alone.
    if (QLayout* layout = widget->layout())
        layout->setSizeConstraint(QLayout::SetNoConstraint);
}

QRect SizeMorph::between(const QRect& from, const QRect& to, double eased)
{
    return {lerp(from.x(), to.x(), eased), lerp(from.y(), to.y(), eased),
            std::max(0, lerp(from.width(), to.width(), eased)), std::max(0, lerp(from.height(), to.height(), eased))};
}

QSize SizeMorph::naturalSize() const
{
    const QLayout* layout = m_widget->layout();
    return layout ? layout->totalSizeHint() : m_widget->size();
}

QSize SizeMorph::sizeHint(const QSize& natural) const
{
    return isRunning() ? m_shown : natural;
}

void SizeMorph::capture()
{
    m_before.clear();
    m_captured = m_widget->isVisible() && m_widget->layout();
    if (!m_captured)
        return;
    if (!isRunning()) {
        // What shows at rest is what the layout makes of the widget's present size.
        m_widget->layout()->activate();
        m_shown = m_widget->size();
    }
    for (QWidget* child : shownChildren(m_widget))
        m_before.insert(child, child->geometry());
}

void SizeMorph::run(const MotionSpec& motion)
{
    QLayout* layout = m_widget->layout();
    const bool moving = m_captured && motion.durationMs > 0 && m_widget->isVisible() && layout;
    m_captured = false;
    m_clock.stop();
    if (!moving) {
        settle();
        return;
    }
    // Where the new content puts each child at the new size is where it glides to.
    const QSize target = naturalSize();
    const QRect inside = m_widget->testAttribute(Qt::WA_LayoutOnEntireRect)
                             ? QRect(QPoint(), target)
                             : QRect(QPoint(), target).marginsRemoved(m_widget->contentsMargins());
    layout->setGeometry(inside);
    // A child still opening from a motion overtaken now shows whole; from here it glides like the rest.
    unmask();
    m_glides.clear();
    bool changes = m_shown != target;
    // A child that comes in travels with the child before it in the row, the way content pushed along
    // by a neighbour does.
    QPoint carried;
    for (QWidget* child : rowOrder(m_widget)) {
        const QRect to = child->geometry();
        const bool opening = !m_before.contains(child);
        const QRect from = opening ? to.translated(carried) : m_before.value(child);
        if (!opening)
            carried = from.topLeft() - to.topLeft();
        changes = changes || from != to || opening;
        m_glides.append({child, from, to, opening});
    }
    m_before.clear();
    if (!changes) {
        settle();
        return;
    }
    layout->setEnabled(false);
    m_from = m_shown;
    m_to = target;
    m_easing = motion.easing;
    m_clock.setDuration(motion.durationMs);
    apply(0.0);
    m_clock.start();
}

void SizeMorph::unmask()
{
    for (const Glide& glide : std::as_const(m_glides))
        if (glide.opening && glide.child)
            glide.child->clearMask();
}

void SizeMorph::finish()
{
    if (isRunning())
        settle();
}

void SizeMorph::tick()
{
    const double t = m_clock.duration() > 0 ? double(m_clock.currentTime()) / m_clock.duration() : 1.0;
    apply(m_easing.valueForProgress(std::clamp(t, 0.0, 1.0)));
}

void SizeMorph::apply(double eased)
{
    m_shown = QSize(std::max(0, lerp(m_from.width(), m_to.width(), eased)), std::max(0, lerp(m_from.height(), m_to.height(), eased)));
    for (const Glide& glide : std::as_const(m_glides)) {
        if (!glide.child || glide.child->isHidden())
            continue;
        glide.child->setGeometry(between(glide.from, glide.to, eased));
        // A child that comes in opens from its leading edge as the room is made for it (a mask, not a
        // size: many children have a fixed one).
        if (glide.opening) {
            const int shown = int(std::lround(glide.to.width() * std::clamp(eased, 0.0, 1.0)));
            glide.child->setMask(shown > 0 ? QRegion(0, 0, shown, glide.to.height()) : QRegion(-1, -1, 1, 1));
        }
    }
    m_widget->updateGeometry();
}

void SizeMorph::settle()
{
    // Stopping from here is harmless when the clock has just finished.
    m_clock.stop();
    unmask();
    m_glides.clear();
    m_shown = m_to = naturalSize();
    if (QLayout* layout = m_widget->layout()) {
        layout->setEnabled(true);
        layout->invalidate();
        layout->activate();
    }
    m_widget->updateGeometry();
}

} // namespace vmk::chrome
