#include "chrome/Motion.h"

#include <QList>
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
    // Eases in and out start and land slowly; the sharp one crosses the middle faster than the smooth one.
    for (const TimingCurve& c : {smoothCurve, sharpCurve, gentleCurve}) {
        EXPECT_LT(c.valueAt(0.1), 0.1);
        EXPECT_GT(c.valueAt(0.9), 0.9);
    }
    EXPECT_GT(sharpCurve.valueAt(0.55) - sharpCurve.valueAt(0.45), smoothCurve.valueAt(0.55) - smoothCurve.valueAt(0.45));
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

TEST(DampedShake, EachShakeSwingsLeftFirstThenBothWaysSmallerEachTimeAndComesToRest)
{
    for (double whole : {0.0, 1.0, 2.0, 17.0})
        EXPECT_DOUBLE_EQ(dampedShakeOffset(whole), 0.0);
    // The turning points of one shake, found by stepping through it.
    QList<double> swings;
    double previous = 0, direction = 0;
    for (int k = 1; k <= 600; ++k) {
        const double now = dampedShakeOffset(2.0 + k / 601.0);
        EXPECT_LT(std::abs(now - previous), 0.5) << k; // no jumps
        const double step = now - previous;
        if (direction != 0 && step * direction < 0)
            swings << previous;
        if (step != 0)
            direction = step;
        previous = now;
    }
    ASSERT_GE(swings.size(), 3);
    EXPECT_LT(swings.first(), 0);
    EXPECT_LE(std::abs(swings.first()), 20); // a shake, not a throw
    for (qsizetype i = 1; i < swings.size(); ++i) {
        EXPECT_LT(swings[i] * swings[i - 1], 0) << i;
        EXPECT_LT(std::abs(swings[i]), std::abs(swings[i - 1])) << i;
    }
    EXPECT_NEAR(previous, 0.0, 0.1);
    // Amounts that are no shake at all rest.
    for (double bad : {-0.5, -3.25, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN()})
        EXPECT_DOUBLE_EQ(dampedShakeOffset(bad), 0.0) << bad;
}
