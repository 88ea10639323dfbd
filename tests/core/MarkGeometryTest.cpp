#include "core/MarkGeometry.h"

#include <gtest/gtest.h>

using namespace vmk::core;

TEST(MarkGeometry, HatchOfAWideMarkStartsOneHeightLeftAndRisesAt45Degrees)
{
    const QRectF box(100, 50, 100, 20);
    const auto lines = redactionHatchLines(box);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_DOUBLE_EQ(lines.first().x1(), 80.0);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_DOUBLE_EQ(lines[i].x1(), 80.0 + 6.0 * i);
        EXPECT_DOUBLE_EQ(lines[i].y1(), 50.0);
        EXPECT_DOUBLE_EQ(lines[i].dx(), 20.0);
        EXPECT_DOUBLE_EQ(lines[i].dy(), 20.0);
    }
    // Lines start while x < maxX: 80, 86, ... 194 → 20 lines.
    EXPECT_EQ(lines.size(), 20);
    EXPECT_LT(lines.last().x1(), 200.0);
}

TEST(MarkGeometry, ZeroHeightMarkHatchesOnlyPointsOnItsBottomEdge)
{
    const auto lines = redactionHatchLines(QRectF(0, 10, 12, 0));
    ASSERT_EQ(lines.size(), 2);
    for (const auto& l : lines)
        EXPECT_EQ(l.p1(), l.p2());
}

TEST(MarkGeometry, SignatureArtworkIsCentredAndAspectFitted)
{
    // 3:1 artwork in a square box: full width, vertically centred.
    const auto t = signatureArtworkTransform(QRectF(0, 0, 90, 90), QRectF(10, 20, 300, 100));
    ASSERT_TRUE(t.has_value());
    const QRectF mapped = t->mapRect(QRectF(10, 20, 300, 100));
    EXPECT_NEAR(mapped.left(), 0, 1e-9);
    EXPECT_NEAR(mapped.width(), 90, 1e-9);
    EXPECT_NEAR(mapped.height(), 30, 1e-9);
    EXPECT_NEAR(mapped.top(), 30, 1e-9);

    EXPECT_FALSE(signatureArtworkTransform(QRectF(0, 0, 90, 90), QRectF(0, 0, 0, 100)).has_value());
    EXPECT_FALSE(signatureArtworkTransform(QRectF(0, 0, 90, 90), QRectF(0, 0, 100, -1)).has_value());
}
