#include "chrome/Motion.h"

#include <array>
#include <cmath>

namespace vmk::chrome {

namespace {

double bezier(double a, double b, double t)
{
    // One coordinate of a cubic from 0 to 1 with inner control values a and b.
    const double u = 1.0 - t;
    return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
}

constexpr double kSpringResponse = 0.42;
constexpr double kSpringDamping = 0.68;
// Long enough for the spring's envelope to fall below a thousandth of its travel.
constexpr double kSpringSeconds = 0.7;

qreal modeSpringEasing(qreal progress)
{
    if (progress >= 1.0)
        return 1.0;
    return springValue(kSpringResponse, kSpringDamping, progress * kSpringSeconds);
}

} // namespace

QEasingCurve TimingCurve::easing() const
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1.0, 1.0));
    return curve;
}

double TimingCurve::valueAt(double t) const
{
    if (t <= 0.0)
        return 0.0;
    if (t >= 1.0)
        return 1.0;
    // x(s) is monotonic for control x values within 0…1, so bisection finds the parameter.
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (bezier(x1, x2, mid) < t ? lo : hi) = mid;
    }
    return bezier(y1, y2, (lo + hi) / 2);
}

const QEasingCurve& overshootTimingFunction()
{
    static const QEasingCurve curve = overshootCurve.easing();
    return curve;
}

const QEasingCurve& smoothTimingFunction()
{
    static const QEasingCurve curve = smoothCurve.easing();
    return curve;
}

const QEasingCurve& sharpTimingFunction()
{
    static const QEasingCurve curve = sharpCurve.easing();
    return curve;
}

const QEasingCurve& gentleTimingFunction()
{
    static const QEasingCurve curve = gentleCurve.easing();
    return curve;
}

MotionSpec easeInOutMotion(double seconds, double delaySeconds)
{
    return {QEasingCurve(QEasingCurve::InOutQuad), int(std::lround(seconds * 1000)), int(std::lround(delaySeconds * 1000))};
}

MotionSpec curveMotion(const TimingCurve& curve, double seconds, bool reduceMotion, double delaySeconds)
{
    if (reduceMotion)
        return easeInOutMotion(0.2, delaySeconds);
    return {curve.easing(), int(std::lround(seconds * 1000)), int(std::lround(delaySeconds * 1000))};
}

MotionSpec modeChangeMotion(bool reduceMotion)
{
    if (reduceMotion)
        return easeInOutMotion(0.2);
    QEasingCurve spring;
    spring.setCustomType(&modeSpringEasing);
    return {spring, int(std::lround(kSpringSeconds * 1000)), 0};
}

double springValue(double response, double dampingFraction, double seconds)
{
    if (seconds <= 0.0)
        return 0.0;
    const double omega = 2 * M_PI / response;
    const double zeta = dampingFraction;
    if (zeta >= 1.0) {
        // Critically damped is the limit; heavier damping is not used by the windows.
        return 1.0 - std::exp(-omega * seconds) * (1.0 + omega * seconds);
    }
    const double omegaD = omega * std::sqrt(1.0 - zeta * zeta);
    const double envelope = std::exp(-zeta * omega * seconds);
    return 1.0 - envelope * (std::cos(omegaD * seconds) + zeta * omega / omegaD * std::sin(omegaD * seconds));
}

double dampedShakeOffset(double amount)
{
    static constexpr std::array<double, 7> keyframes{0, -14, 12, -9, 6, -3, 0};
    if (!std::isfinite(amount) || amount <= 0.0)
        return 0.0;
    const double fraction = amount - std::trunc(amount);
    const double p = 6.0 * fraction;
    const int i = std::min(int(p), 5);
    const double t = p - i;
    return keyframes[i] + t * (keyframes[i + 1] - keyframes[i]);
}

} // namespace vmk::chrome
