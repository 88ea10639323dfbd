#include "chrome/Motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vmk::chrome;

namespace {

// Reference: the Bézier solved independently by Newton steps on x(s).
double reference(const TimingCurve& c, double t)
{
    auto coord = [](double a, double b, double s) { return 3 * (1 - s) * (1 - s) * s * a + 3 * (1 - s) * s * s * b + s * s * s; };
    auto slope = [](double a, double b, double s) { return 3 * (1 - s) * (1 - s) * a + 6 * (1 - s) * s * (b - a) + 3 * s * s * (1 - b); };
    double s = t;
    for (int i = 0; i < 30; ++i) {
        const double d = slope(c.x1, c.x2, s);
        if (std::abs(d) < 1e-9)
            break;
        s -= (coord(c.x1, c.x2, s) - t) / d;
        s = std::clamp(s, 0.0, 1.0);
    }
    return coord(c.y1, c.y2, s);
}

} // namespace

TEST(MotionCurves, NamedCurvesHaveTheirControlPoints)
{
    EXPECT_EQ(overshootCurve.x1, 0.34); EXPECT_EQ(overshootCurve.y1, 1.56); EXPECT_EQ(overshootCurve.x2, 0.64); EXPECT_EQ(overshootCurve.y2, 1.0);
    EXPECT_EQ(smoothCurve.x1, 0.65); EXPECT_EQ(smoothCurve.y1, 0.0); EXPECT_EQ(smoothCurve.x2, 0.35); EXPECT_EQ(smoothCurve.y2, 1.0);
    EXPECT_EQ(sharpCurve.x1, 0.7); EXPECT_EQ(sharpCurve.y1, 0.0); EXPECT_EQ(sharpCurve.x2, 0.3); EXPECT_EQ(sharpCurve.y2, 1.0);
    EXPECT_EQ(gentleCurve.x1, 0.45); EXPECT_EQ(gentleCurve.y1, 0.05); EXPECT_EQ(gentleCurve.x2, 0.55); EXPECT_EQ(gentleCurve.y2, 0.95);
    EXPECT_EQ(glideCurve.x1, 0.16); EXPECT_EQ(glideCurve.y1, 1.0); EXPECT_EQ(glideCurve.x2, 0.3); EXPECT_EQ(glideCurve.y2, 1.0);
}

TEST(MotionCurves, EasingObjectsFollowTheCubicCurves)
{
    for (const TimingCurve& c : {overshootCurve, smoothCurve, sharpCurve, gentleCurve, glideCurve}) {
        const QEasingCurve easing = c.easing();
        EXPECT_NEAR(easing.valueForProgress(0.0), 0.0, 1e-6);
        EXPECT_NEAR(easing.valueForProgress(1.0), 1.0, 1e-6);
        for (double t = 0.05; t < 1.0; t += 0.1) {
            EXPECT_NEAR(c.valueAt(t), reference(c, t), 1e-4) << t;
            EXPECT_NEAR(easing.valueForProgress(t), reference(c, t), 2e-3) << t;
        }
    }
    // Symmetric curves pass the middle at one half; the overshoot curve goes past its end value.
    EXPECT_NEAR(smoothCurve.valueAt(0.5), 0.5, 1e-6);
    EXPECT_NEAR(sharpCurve.valueAt(0.5), 0.5, 1e-6);
    EXPECT_NEAR(gentleCurve.valueAt(0.5), 0.5, 1e-6);
    double peak = 0;
    for (double t = 0; t <= 1.0; t += 0.01)
        peak = std::max(peak, overshootTimingFunction().valueForProgress(t));
    EXPECT_GT(peak, 1.05);
    EXPECT_GT(glideCurve.valueAt(0.2), 0.7); // fast start, long landing
}

TEST(MotionCurves, SharedObjectsAreMadeOnce)
{
    EXPECT_EQ(&overshootTimingFunction(), &overshootTimingFunction());
    EXPECT_EQ(&smoothTimingFunction(), &smoothTimingFunction());
    EXPECT_EQ(&sharpTimingFunction(), &sharpTimingFunction());
    EXPECT_EQ(&gentleTimingFunction(), &gentleTimingFunction());
    EXPECT_NEAR(sharpTimingFunction().valueForProgress(0.25), reference(sharpCurve, 0.25), 2e-3);
}

TEST(MotionCurves, ReduceMotionBecomesShortEaseKeepingTheDelay)
{
    const MotionSpec normal = curveMotion(overshootCurve, 0.48, false, 0.2);
    EXPECT_EQ(normal.durationMs, 480);
    EXPECT_EQ(normal.delayMs, 200);
    EXPECT_EQ(normal.easing.type(), QEasingCurve::BezierSpline);

    const MotionSpec reduced = curveMotion(overshootCurve, 0.48, true, 0.2);
    EXPECT_EQ(reduced.durationMs, 200);
    EXPECT_EQ(reduced.delayMs, 200);
    EXPECT_EQ(reduced.easing.type(), QEasingCurve::InOutQuad);

    const MotionSpec spring = modeChangeMotion(false);
    EXPECT_GT(spring.durationMs, 400);
    EXPECT_NEAR(spring.easing.valueForProgress(1.0), 1.0, 1e-9);
    double peak = 0;
    for (double t = 0; t <= 1.0; t += 0.01)
        peak = std::max(peak, spring.easing.valueForProgress(t));
    EXPECT_GT(peak, 1.0); // underdamped: it passes the target and settles back
    EXPECT_EQ(modeChangeMotion(true).durationMs, 200);
    EXPECT_NEAR(springValue(0.42, 0.68, 0.7), 1.0, 2e-3);
}

TEST(DampedShake, OffsetsThroughTheKeyframes)
{
    for (double whole : {0.0, 1.0, 2.0, 17.0})
        EXPECT_DOUBLE_EQ(dampedShakeOffset(whole), 0.0);
    EXPECT_DOUBLE_EQ(dampedShakeOffset(0.5), -9.0);
    EXPECT_NEAR(dampedShakeOffset(2.25), -1.0, 1e-9);
    EXPECT_NEAR(dampedShakeOffset(1.0 / 6.0), -14.0, 1e-9);
    const double nearlyOne = dampedShakeOffset(0.999);
    EXPECT_LT(nearlyOne, 0.0);
    EXPECT_GT(nearlyOne, -0.1);
}

TEST(DampedShake, BadAmountsRest)
{
    EXPECT_DOUBLE_EQ(dampedShakeOffset(-0.5), 0.0);
    EXPECT_DOUBLE_EQ(dampedShakeOffset(-3.25), 0.0);
    EXPECT_DOUBLE_EQ(dampedShakeOffset(std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_DOUBLE_EQ(dampedShakeOffset(-std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_DOUBLE_EQ(dampedShakeOffset(std::numeric_limits<double>::quiet_NaN()), 0.0);
}
