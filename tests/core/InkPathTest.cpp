#include "core/InkPath.h"

#include <gtest/gtest.h>

using vmk::core::smoothedInkPath;
using vmk::core::thinInkPoints;

namespace {

void expectPoint(const QPointF& actual, qreal x, qreal y)
{
    EXPECT_NEAR(actual.x(), x, 1e-9);
    EXPECT_NEAR(actual.y(), y, 1e-9);
}

} // namespace

TEST(InkThinning, DropsPointsTooCloseToTheLastKeptOne)
{
    const auto kept = thinInkPoints({{0, 0}, {0.2, 0}, {0.4, 0}, {1, 0}}, 0.6);
    ASSERT_EQ(kept.size(), 2);
    EXPECT_EQ(kept[0], QPointF(0, 0));
    EXPECT_EQ(kept[1], QPointF(1, 0));
}

TEST(InkThinning, KeepsAPointExactlyAtTheDistanceAndMeasuresFromTheLastKeptPoint)
{
    // (0.5,0) is dropped; (1,0) is exactly 1.0 from (0,0) and kept; (1.5,0) is 0.5 from (1,0), dropped,
    // but as the end of the stroke it comes back.
    const auto kept = thinInkPoints({{0, 0}, {0.5, 0}, {1, 0}, {1.5, 0}}, 1.0);
    ASSERT_EQ(kept.size(), 3);
    EXPECT_EQ(kept[1], QPointF(1, 0));
    EXPECT_EQ(kept[2], QPointF(1.5, 0));
}

TEST(InkThinning, EdgeListsKeepTheirEnds)
{
    EXPECT_TRUE(thinInkPoints({}, 1.0).isEmpty());
    EXPECT_EQ(thinInkPoints({{3, 4}}, 1.0), QList<QPointF>({{3, 4}}));
    // Every later point too close: the first and the last survive.
    EXPECT_EQ(thinInkPoints({{0, 0}, {0.1, 0}, {0.2, 0.1}}, 5.0), QList<QPointF>({{0, 0}, {0.2, 0.1}}));
    // A stroke that returns to its start keeps no duplicate end point.
    EXPECT_EQ(thinInkPoints({{0, 0}, {0.1, 0}, {0, 0}}, 5.0), QList<QPointF>({{0, 0}}));
}

TEST(InkSmoothing, ThreePointsBecomeTwoCatmullRomCurves)
{
    const QPainterPath path = smoothedInkPath({{0, 0}, {6, 6}, {12, 0}});
    // moveTo + 2 × (curveTo + 2 control elements)
    ASSERT_EQ(path.elementCount(), 7);
    EXPECT_TRUE(path.elementAt(0).isMoveTo());
    expectPoint(path.elementAt(0), 0, 0);
    EXPECT_TRUE(path.elementAt(1).isCurveTo());
    expectPoint(path.elementAt(1), 1, 1);
    expectPoint(path.elementAt(2), 4, 6);
    expectPoint(path.elementAt(3), 6, 6);
    expectPoint(path.elementAt(4), 8, 6);
    expectPoint(path.elementAt(5), 11, 1);
    expectPoint(path.elementAt(6), 12, 0);
}

TEST(InkSmoothing, ShortStrokesBecomeLinesOrADot)
{
    EXPECT_TRUE(smoothedInkPath({}).isEmpty());

    const QPainterPath line = smoothedInkPath({{1, 2}, {5, 7}});
    ASSERT_EQ(line.elementCount(), 2);
    EXPECT_TRUE(line.elementAt(1).isLineTo());
    expectPoint(line.elementAt(1), 5, 7);

    const QPainterPath dot = smoothedInkPath({{10, 10}});
    ASSERT_EQ(dot.elementCount(), 2);
    EXPECT_TRUE(dot.elementAt(1).isLineTo());
    expectPoint(dot.elementAt(1), 10.1, 10.1);
}
