#pragma once

#include "chrome/Motion.h"

#include <QLabel>
#include <QVariantAnimation>

namespace vmk::chrome {

// A label whose changed characters roll, like the wheels of a counter: when its text changes, the part
// that differs slides out of the line while the new part slides in (upward when counting up, downward
// when counting down) and fades across; what the two texts share stays put. At rest it is a plain label.
class RollingLabel : public QLabel {
    Q_OBJECT
public:
    explicit RollingLabel(QWidget* parent = nullptr);

    // Shows `text`, rolling the changed part with `motion`; no motion, or a label not on screen, shows it at once.
    void rollTo(const QString& text, bool upward, const MotionSpec& motion);
    bool isRolling() const { return m_roll.state() != QAbstractAnimation::Stopped; }
    const QVariantAnimation& rollAnimation() const { return m_roll; }
    // The text being rolled away (empty at rest).
    QString leavingText() const { return isRolling() ? m_from : QString(); }

    // Where the changed part of each text begins and how long it is (shared prefix and suffix kept).
    struct Change {
        int start = 0;
        int fromLength = 0;
        int toLength = 0;
    };
    static Change changeBetween(const QString& from, const QString& to);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_from;
    double m_phase = 1.0;
    bool m_upward = true;
    QVariantAnimation m_roll;
};

// Counts `label` on to `text`, as counters do: a rolling label rolls the changed digits upward with
// `motion`; any other label simply shows the text.
void countTo(QLabel* label, const QString& text, const MotionSpec& motion);

} // namespace vmk::chrome
