#include "core/MarkGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vmk::core;

TEST(MarkGeometry, HatchLinesAt45DegreesCoverTheWholeMarkEvenlyAndNoMore)
{
    for (const QRectF box : {QRectF(100, 50, 100, 20), QRectF(0, 0, 10, 80), QRectF(30, 40, -20, -10), QRectF(0, 10, 12, 0)}) {
        SCOPED_TRACE(testing::Message() << box.x() << "," << box.y() << " " << box.width() << "×" << box.height());
        const QRectF r = box.normalized();
        const auto lines = redactionHatchLines(box);
        ASSERT_GE(lines.size(), 2);
        const double spacing = lines[1].x1() - lines[0].x1();
        EXPECT_GT(spacing, 0);
        EXPECT_LE(spacing, 10); // a hatch, not a few strokes
        for (const QLineF& line : lines) {
            // Edge to edge at 45°, each one crossing the mark, evenly spaced.
            EXPECT_EQ(line.y1(), r.top());
            EXPECT_EQ(line.dy(), r.height());
            EXPECT_EQ(line.dx(), r.height());
            EXPECT_GE(line.x2(), r.left());
            EXPECT_LT(line.x1(), r.right());
            EXPECT_NEAR(std::fmod(line.x1() - lines[0].x1(), spacing), 0, 1e-9);
        }
        // No corner is left bare: the first line reaches one, the last comes within a spacing of the other.
        EXPECT_LE(lines.first().x1(), r.left() - r.height());
        EXPECT_GE(lines.last().x1(), r.right() - spacing);
    }
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
