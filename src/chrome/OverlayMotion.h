#pragma once

#include "chrome/Motion.h"

#include <QVariantAnimation>

namespace vmk::chrome {

// Animates one number from where it stands to a target along a damped spring, as a retargetable
// value (a new target starts from the current value, as a spring does).
class SpringValue : public QObject {
    Q_OBJECT
public:
    explicit SpringValue(QObject* parent = nullptr);

    double value() const { return m_value; }
    double target() const { return m_to; }
    // Jumps without animation.
    void set(double value);
    void animateTo(double target, double response, double dampingFraction);
    bool isRunning() const { return m_clock.state() == QAbstractAnimation::Running; }

signals:
    void valueChanged(double value);

private:
    QVariantAnimation m_clock;
    double m_value = 0;
    double m_from = 0;
    double m_to = 0;
    double m_response = 0.3;
    double m_damping = 1.0;
};

} // namespace vmk::chrome
