#pragma once

#include <QEasingCurve>
#include <QPointF>

namespace vmk::chrome {

// A cubic timing curve from (0, 0) to (1, 1) given by its two inner control points.
struct TimingCurve {
    double x1, y1, x2, y2;

    QEasingCurve easing() const;
    // The curve's output for an input time in 0…1, solved on the Bézier itself.
    double valueAt(double t) const;
};

// The named curves every eased motion of the windows is built from.
inline constexpr TimingCurve overshootCurve{0.34, 1.56, 0.64, 1.0};
inline constexpr TimingCurve smoothCurve{0.65, 0.0, 0.35, 1.0};
inline constexpr TimingCurve sharpCurve{0.7, 0.0, 0.3, 1.0};
inline constexpr TimingCurve gentleCurve{0.45, 0.05, 0.55, 0.95};
inline constexpr TimingCurve glideCurve{0.16, 1.0, 0.3, 1.0};

// Shared easing objects for the canvas's effects; each is built once and the same object is returned
// on every call. They know nothing of reduced motion: callers decide before using them.
const QEasingCurve& overshootTimingFunction();
const QEasingCurve& smoothTimingFunction();
const QEasingCurve& sharpTimingFunction();
const QEasingCurve& gentleTimingFunction();

// What an animation will do once the reduce-motion rule has been applied.
struct MotionSpec {
    QEasingCurve easing;
    int durationMs = 0;
    int delayMs = 0;
};

// With reduced motion every named-curve animation becomes a 0.2 s ease-in-out; the delay stays.
MotionSpec curveMotion(const TimingCurve& curve, double seconds, bool reduceMotion, double delaySeconds = 0.0);
MotionSpec easeInOutMotion(double seconds, double delaySeconds = 0.0);

// The spring of a mode change (response 0.42 s, damping fraction 0.68), or the 0.2 s ease under
// reduced motion.
MotionSpec modeChangeMotion(bool reduceMotion);

// A damped spring from 0 to 1 as a function of time in seconds (mass 1).
double springValue(double response, double dampingFraction, double seconds);

// Seconds until a spring from rest has settled within 1 % of its travel.
double springSettleSeconds(double response, double dampingFraction);

// A spring of the given response (seconds) and damping fraction as a motion from 0 to 1, lasting until
// it has settled; it ends exactly on 1.
template <double Response, double Damping>
MotionSpec springMotion()
{
    QEasingCurve curve;
    curve.setCustomType(+[](qreal progress) -> qreal {
        return progress >= 1.0 ? 1.0 : springValue(Response, Damping, progress * springSettleSeconds(Response, Damping));
    });
    return {curve, int(springSettleSeconds(Response, Damping) * 1000 + 0.5), 0};
}

// The spring without overshoot (response 0.5 s, damping fraction 1) that resizes the progress pill and
// rolls its title as the pages go by.
inline MotionSpec settlingSpringMotion()
{
    return springMotion<0.5, 1.0>();
}

// Horizontal offset in points of the damped shake for a counter value: one whole left-right shake
// through 0, −14, 12, −9, 6, −3, 0 as the counter's fraction runs from 0 to 1; at rest on whole numbers.
// Negative or non-finite counters rest too, rather than indexing before the keyframes.
double dampedShakeOffset(double amount);

} // namespace vmk::chrome
