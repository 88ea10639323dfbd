#include "chrome/FeedbackMarks.h"

#include <QPainterPath>
#include <gtest/gtest.h>

#include <cmath>

using namespace vmk::chrome;

TEST(FeedbackMarkGeometry, StrokesRunAcrossAndStayInsideTheirRectanglesAtAnySize)
{
    for (const QRectF r : {QRectF(0, 0, 36, 16), QRectF(10, 5, 140, 60), QRectF(-4, 0, 20, 20)}) {
        // The handwriting runs from the left end to the right end, never past the rectangle.
        const QPainterPath stroke = signatureStrokePath(r);
        EXPECT_LT(stroke.pointAtPercent(0).x(), r.left() + 0.1 * r.width());
        EXPECT_GT(stroke.pointAtPercent(1).x(), r.right() - 0.1 * r.width());
        for (int k = 0; k <= 20; ++k)
            EXPECT_TRUE(r.contains(stroke.pointAtPercent(k / 20.0))) << k;

        // The check sits in the middle of the (round) mark, well inside its ring, rising to its top right.
        const QRectF mark(r.topLeft(), QSizeF(r.height(), r.height()));
        const QRectF check = successCheckRect(mark);
        EXPECT_NEAR((check.center() - mark.center()).manhattanLength(), 0, 1e-9);
        EXPECT_LT(check.width(), 0.6 * mark.width());
        EXPECT_GT(check.width(), 0.3 * mark.width());
        const QPainterPath tick = checkShapePath(check);
        EXPECT_NEAR(tick.pointAtPercent(1).x(), check.right(), 1e-9);
        EXPECT_LT(tick.pointAtPercent(1).y(), check.center().y());
        EXPECT_TRUE(check.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(tick.boundingRect()));

        // Trimming keeps the start and stops part way along.
        const QPainterPath half = trimmedPath(tick, 0.5);
        EXPECT_EQ(half.pointAtPercent(0), tick.pointAtPercent(0));
        EXPECT_NEAR(half.length(), tick.length() / 2, tick.length() * 0.02);
        EXPECT_TRUE(trimmedPath(tick, 0).isEmpty());
    }
}

TEST(FeedbackMarkGeometry, SuccessMarkTimeline)
{
    // No dots before the check begins at 0.55 s.
    for (double t : {0.0, 0.3, 0.54}) {
        const SuccessMarkState s = successMarkStateAt(t, false);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(successBurstDot(i, 20, s).opacity, 0.0) << t;
    }
    const SuccessMarkState early = successMarkStateAt(0.45, false);
    EXPECT_DOUBLE_EQ(early.ring, 1.0);
    EXPECT_GT(early.disc, 0.0);
    EXPECT_EQ(early.check, 0.0);
    // At rest: everything drawn, the dots flown out to 0.95 of the size and faded.
    const SuccessMarkState rest = successMarkStateAt(successMarkDuration(false), false);
    EXPECT_DOUBLE_EQ(rest.check, 1.0);
    const BurstDot far = successBurstDot(0, 20, rest);
    EXPECT_NEAR(std::hypot(far.centre.x(), far.centre.y()), 19.0, 1e-9);
    EXPECT_EQ(far.opacity, 0.0);

    // Reduced motion: ring, disc and check arrive together within 0.2 s and the dots stay on the ring.
    const SuccessMarkState mid = successMarkStateAt(0.1, true);
    EXPECT_DOUBLE_EQ(mid.ring, mid.check);
    EXPECT_DOUBLE_EQ(mid.disc, mid.check);
    const SuccessMarkState reduced = successMarkStateAt(0.2, true);
    EXPECT_DOUBLE_EQ(reduced.ring, 1.0);
    EXPECT_DOUBLE_EQ(reduced.disc, 1.0);
    EXPECT_EQ(reduced.burst, 0.0);
    for (int i = 0; i < 8; ++i) {
        const BurstDot dot = successBurstDot(i, 20, reduced);
        EXPECT_NEAR(std::hypot(dot.centre.x(), dot.centre.y()), 10.0, 1e-9);
        EXPECT_EQ(dot.opacity, 1.0);
    }
    // The first dot is turned 22° clockwise from straight up.
    const BurstDot first = successBurstDot(0, 20, reduced);
    EXPECT_GT(first.centre.x(), 0);
    EXPECT_LT(first.centre.y(), 0);
}

TEST(FeedbackMarkGeometry, MergeGathersAndSplitParts)
{
    const double end = mergeMarkDuration(false);
    // Merge at rest: one fan, turning and spreading left to right about its middle page.
    const double merged = mergeMarkTogether(false, mergeMarkProgressAt(end, false));
    for (int i = 0; i < 5; ++i) {
        const MergePage page = mergeMarkPage(i, merged), mirror = mergeMarkPage(4 - i, merged);
        EXPECT_NEAR(page.rotation, -mirror.rotation, 1e-9);
        EXPECT_NEAR(page.offset.x(), -mirror.offset.x(), 1e-9);
        if (i > 0) {
            EXPECT_GT(page.rotation, mergeMarkPage(i - 1, merged).rotation);
        }
    }
    // Split at rest: two piles, three accent pages at −9 and two grey ones at 9.
    const double split = mergeMarkTogether(true, mergeMarkProgressAt(end, false));
    for (int i = 0; i < 5; ++i) {
        const MergePage page = mergeMarkPage(i, split);
        EXPECT_EQ(page.offset, QPointF(i % 2 == 0 ? -9.0 : 9.0, 0.0));
        EXPECT_EQ(page.accentHeader, i % 2 == 0);
        EXPECT_EQ(page.rotation, 0.0);
    }
    // A merge starts from the piles; the overshoot carries it past the fan for a moment.
    EXPECT_EQ(mergeMarkTogether(false, mergeMarkProgressAt(0, false)), 0.0);
    double peak = 0;
    for (double t = 0; t <= end; t += 0.01)
        peak = std::max(peak, mergeMarkProgressAt(t, false));
    EXPECT_GT(peak, 1.0);
    EXPECT_DOUBLE_EQ(mergeMarkProgressAt(0.2, true), 1.0);
}

TEST(FeedbackMarks, WidgetsStartOnceAndHonourReducedMotion)
{
    SuccessMark success(20, true);
    EXPECT_EQ(success.size(), 20);
    EXPECT_FALSE(success.hasStarted());
    success.show();
    EXPECT_TRUE(success.hasStarted());
    success.showFinal();
    EXPECT_DOUBLE_EQ(success.state().check, 1.0);
    EXPECT_EQ(success.state().burst, 0.0);
    // States only move forward.
    success.setElapsed(0.0);
    EXPECT_DOUBLE_EQ(success.state().ring, 1.0);

    ProcessingStroke calm(true);
    calm.show();
    EXPECT_EQ(calm.penOpacity(), 0.0);
    EXPECT_EQ(calm.clock().state(), QAbstractAnimation::Stopped);
    calm.setElapsed(0.45);
    EXPECT_EQ(calm.trim(), 0.0);

    ProcessingStroke busy(false);
    busy.show();
    EXPECT_EQ(busy.clock().state(), QAbstractAnimation::Running);
    busy.setElapsed(0.9);
    EXPECT_NEAR(busy.trim(), 1.0, 1e-9);
    busy.setElapsed(1.8);
    EXPECT_NEAR(busy.trim(), 0.0, 1e-9);

    MergeMark split(true, false);
    EXPECT_EQ(split.size(), QSize(30, 18));
    EXPECT_DOUBLE_EQ(split.together(), 1.0);
    split.setElapsed(0.9);
    EXPECT_DOUBLE_EQ(split.together(), 0.0);
}
