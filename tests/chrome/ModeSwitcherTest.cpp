#include "chrome/Glass.h"
#include "chrome/ModeSwitcher.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

using namespace vmk::chrome;

TEST(ModeSwitcher, SegmentsTitlesAndHelp)
{
    const auto& segments = modeSegments();
    ASSERT_EQ(segments.size(), 6u);
    const QStringList titles{"Read", "Annotate", "Edit", "Sign", "Pages", "Redact"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(segments[i].mode, i);
        EXPECT_EQ(segments[i].title, titles[i]);
        EXPECT_EQ(segments[i].helpText, QStringLiteral("%1 (Ctrl+%2)").arg(titles[i]).arg(i + 1));
    }
    // Segments sit side by side inside the host, none overlapping, each with room around its title.
    ModeSwitcher switcher;
    EXPECT_EQ(switcher.width(), modeSwitcherHostWidth());
    for (int i = 0; i < 6; ++i)
        EXPECT_GE(switcher.segmentRect(i).width(), QFontMetricsF(modeSwitcherFont()).horizontalAdvance(titles[i]) + 16);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(switcher.segmentRect(i).right(), switcher.segmentRect(i + 1).left(), 1e-6);
    EXPECT_GE(switcher.segmentRect(0).left(), 0);
    EXPECT_LE(switcher.segmentRect(5).right(), switcher.width());
    EXPECT_EQ(switcher.segmentAt(switcher.segmentRect(3).center()), 3);
    EXPECT_EQ(switcher.segmentAt(QPointF(-5, 5)), -1);
}

TEST(ModeSwitcher, LockedAllowsOnlyRead)
{
    ModeSwitcher switcher;
    QList<int> chosen;
    switcher.setSelectAction([&](int m) { chosen << m; });
    switcher.clickSegment(4);
    switcher.clickSegment(0); // the current mode is still sent
    EXPECT_EQ(chosen, (QList<int>{4, 0}));

    switcher.setLocked(true);
    for (int m = 1; m < 6; ++m)
        EXPECT_FALSE(switcher.isSegmentEnabled(m));
    EXPECT_TRUE(switcher.isSegmentEnabled(0));
    chosen.clear();
    switcher.clickSegment(2);
    switcher.clickSegment(0);
    EXPECT_EQ(chosen, QList<int>{0});

    // A click with the mouse goes through the same rule.
    switcher.setLocked(false);
    chosen.clear();
    switcher.show();
    QTest::mouseClick(&switcher, Qt::LeftButton, {}, switcher.segmentRect(5).center().toPoint());
    EXPECT_EQ(chosen, QList<int>{5});
}

TEST(ModeSwitcher, HoverKeepsTheNewestSegment)
{
    ModeSwitcher switcher;
    EXPECT_FALSE(switcher.hoveredMode().has_value());
    switcher.segmentHoverEntered(1);
    switcher.segmentHoverEntered(2); // the neighbour's enter arrives first
    switcher.segmentHoverExited(1);
    EXPECT_EQ(switcher.hoveredMode(), 2);
    switcher.segmentHoverExited(2);
    EXPECT_FALSE(switcher.hoveredMode().has_value());
}

TEST(ModeSwitcher, CapsuleSlidesWithOvershootOrJumpsUnderReducedMotion)
{
    bool reduce = false;
    ModeSwitcher switcher;
    switcher.setReduceMotionProvider([&] { return reduce; });
    switcher.show();
    EXPECT_EQ(switcher.pillRect(), switcher.segmentRect(0));

    switcher.setMode(4);
    const QVariantAnimation& a = switcher.pillAnimation();
    EXPECT_EQ(a.duration(), 480);
    EXPECT_EQ(a.easingCurve().type(), QEasingCurve::BezierSpline);
    EXPECT_EQ(a.endValue().toRectF(), switcher.segmentRect(4));
    EXPECT_EQ(a.startValue().toRectF(), switcher.segmentRect(0));
    // Drive the animation's clock by hand: it overshoots past segment 4 before it settles.
    auto& anim = const_cast<QVariantAnimation&>(a);
    anim.pause();
    double furthest = 0;
    for (int t = 0; t <= 480; t += 10) {
        anim.setCurrentTime(t);
        furthest = std::max(furthest, switcher.pillRect().left());
    }
    EXPECT_GT(furthest, switcher.segmentRect(4).left());
    EXPECT_EQ(switcher.pillRect(), switcher.segmentRect(4));
    EXPECT_NE(a.state(), QAbstractAnimation::Running); // nothing ticks at rest

    // Turned around half-way: the capsule starts back from where it stood and ends on the new segment.
    switcher.setMode(0);
    anim.pause();
    anim.setCurrentTime(120);
    const QRectF midway = switcher.pillRect();
    EXPECT_GT(midway.left(), switcher.segmentRect(0).left());
    switcher.setMode(5);
    EXPECT_EQ(a.startValue().toRectF(), midway);
    anim.setCurrentTime(a.duration());
    EXPECT_EQ(switcher.pillRect(), switcher.segmentRect(5));
    EXPECT_NE(a.state(), QAbstractAnimation::Running);

    // Under reduced motion the capsule takes a short, calm ease to the new segment, with no overshoot.
    reduce = true;
    switcher.setMode(1);
    EXPECT_EQ(a.duration(), 200);
    anim.pause();
    const double from = switcher.segmentRect(5).left(), to = switcher.segmentRect(1).left();
    for (int t = 0; t <= 200; t += 10) {
        anim.setCurrentTime(t);
        EXPECT_GE(switcher.pillRect().left(), to - 0.5);
        EXPECT_LE(switcher.pillRect().left(), from + 0.5);
    }
    EXPECT_NE(a.state(), QAbstractAnimation::Running);
    EXPECT_EQ(switcher.pillRect(), switcher.segmentRect(1));
    EXPECT_EQ(switcher.mode(), 1);
    switcher.setMode(9); // out of range: ignored
    EXPECT_EQ(switcher.mode(), 1);
}

TEST(GlassSurface, ShapesAndLook)
{
    // Ends are half-rounds at most, however short the surface.
    EXPECT_DOUBLE_EQ(GlassShape::capsule().cornerRadiusIn(QRectF(0, 0, 200, 40)), 20.0);
    EXPECT_DOUBLE_EQ(GlassShape::roundedRect(26).cornerRadiusIn(QRectF(0, 0, 300, 200)), 26.0);
    EXPECT_DOUBLE_EQ(GlassShape::roundedRect(26).cornerRadiusIn(QRectF(0, 0, 300, 30)), 15.0);

    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Window, Qt::white);
    EXPECT_LT(glassLook(palette).fill.alphaF(), 1.0); // what lies under it shows through

    // Painted on a dark ground: the surface is light, the corners outside the capsule stay dark
    // apart from the shadow, and the shadow falls below rather than above.
    QImage image(240, 100, QImage::Format_ARGB32);
    image.fill(QColor(40, 40, 40));
    QPainter painter(&image);
    paintGlassBackground(painter, QRectF(20, 30, 200, 40), GlassShape::capsule(), palette);
    painter.end();
    EXPECT_GT(qGray(image.pixel(120, 50)), 200);
    EXPECT_LT(qGray(image.pixel(21, 31)), 80);
    EXPECT_LE(qGray(image.pixel(120, 78)), qGray(image.pixel(120, 22)));
}

TEST(ModeSwitcher, KeyboardFocusShowsOnTheChosenModeToo)
{
    ModeSwitcher switcher;
    switcher.setMode(0);
    switcher.show();
    switcher.activateWindow();
    QTest::qWait(450); // the capsule settles on the chosen mode
    const QRect segment = switcher.segmentRect(0).toAlignedRect();
    switcher.clearFocus();
    ASSERT_FALSE(switcher.hasFocus());
    const QImage before = switcher.grab().toImage().copy(segment);
    switcher.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(switcher.hasFocus());
    const QImage focused = switcher.grab().toImage().copy(segment);
    // The ring changes a visible number of the pill's pixels.
    int changed = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QColor a = before.pixelColor(x, y), b = focused.pixelColor(x, y);
            if (std::abs(a.lightness() - b.lightness()) > 60)
                ++changed;
        }
    EXPECT_GT(changed, 2 * (segment.width() + segment.height()) / 2);
}
