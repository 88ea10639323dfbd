#pragma once

#include "chrome/Motion.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QVariantAnimation>

class QWidget;

namespace vmk::chrome {

// Carries a widget laid out by its own layout from the size its content had to the size its new content
// asks for. Meanwhile the widget's size hint follows the motion (its parent places it at each step) and
// each child glides from where it stood to its new place; a child that comes in travels with the child
// before it and opens from its leading edge as the room is made; one that goes is gone at once. At rest the layout is in charge again and the hint is the layout's own.
//
// The widget reports its hint through sizeHint(); its layout must not pin the widget's minimum size (the
// morph sets it so), or a pill could not pass below its new size while it overshoots on the way down.
class SizeMorph : public QObject {
    Q_OBJECT
public:
    explicit SizeMorph(QWidget* widget);

    // Before the content changes: remembers the size and where the children are, as they show now.
    void capture();
    // After the change: moves toward what the content asks for now. No motion, nothing captured or a
    // widget that is not on screen takes its new size at once.
    void run(const MotionSpec& motion);
    // Jumps to the end of what runs.
    void finish();

    // The hint the widget should report: `natural` (its layout's) at rest, the motion's size meanwhile.
    QSize sizeHint(const QSize& natural) const;
    bool isRunning() const { return m_clock.state() != QAbstractAnimation::Stopped; }
    const QVariantAnimation& animation() const { return m_clock; }
    QSize targetSize() const { return m_to; }

    // Where a child is placed for an eased progress (0 at the start, 1 at the end, beyond while
    // overshooting).
    static QRect between(const QRect& from, const QRect& to, double eased);

private:
    struct Glide {
        QPointer<QWidget> child;
        QRect from;
        QRect to;
        bool opening = false; // came in with this change
    };

    QSize naturalSize() const;
    void tick();
    void apply(double eased);
    void settle();
    void unmask();

    QWidget* m_widget;
    QVariantAnimation m_clock;
    QEasingCurve m_easing;
    bool m_captured = false;
    QSize m_from;
    QSize m_to;
    QSize m_shown;
    QHash<QWidget*, QRect> m_before;
    QList<Glide> m_glides;
};

} // namespace vmk::chrome
