#include "signatures/SignaturePadModel.h"
#include "signatures/SignaturePadView.h"

#include <QApplication>
#include <QPointingDevice>
#include <QSignalSpy>
#include <QTabletEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk::signatures;

namespace {

QList<double> widths(const InkStroke& stroke)
{
    QList<double> out;
    for (const InkPoint& p : stroke)
        out.append(p.width);
    return out;
}

TEST(SignaturePadTargetWidth, SpeedWithoutPressureAndPressureWhateverTheSpeed)
{
    EXPECT_DOUBLE_EQ(targetWidth(0, std::nullopt), 4.2);
    EXPECT_DOUBLE_EQ(targetWidth(800, std::nullopt), 2.75);
    EXPECT_DOUBLE_EQ(targetWidth(1600, std::nullopt), 1.3);
    EXPECT_DOUBLE_EQ(targetWidth(50000, std::nullopt), 1.3);
    EXPECT_DOUBLE_EQ(targetWidth(0, 1.0), 4.2);
    EXPECT_DOUBLE_EQ(targetWidth(50000, 1.0), 4.2);
    EXPECT_DOUBLE_EQ(targetWidth(0, 0.5), 1.3 + 2.9 * 0.5);
    EXPECT_DOUBLE_EQ(targetWidth(1600, 0.0), 1.3); // no pressure reported: speed decides
}

TEST(SignaturePadModel, ClickMakesADotAndReportsInk)
{
    SignaturePadModel pad;
    QSignalSpy hasInk(&pad, &SignaturePadModel::hasInkChanged);
    pad.beginStroke({10, 10}, 1.0);
    pad.endStroke();
    ASSERT_EQ(pad.strokes().size(), 1);
    EXPECT_EQ(pad.strokes()[0], InkStroke({{QPointF(10, 10), 4.2}}));
    EXPECT_TRUE(pad.hasInk());
    ASSERT_EQ(hasInk.count(), 1);
    EXPECT_TRUE(hasInk.at(0).at(0).toBool());

    pad.clear();
    EXPECT_FALSE(pad.hasInk());
    EXPECT_TRUE(pad.strokes().isEmpty());
    EXPECT_FALSE(hasInk.last().at(0).toBool());
}

TEST(SignaturePadModel, WidthsFollowTheirTargetBySmoothing)
{
    SignaturePadModel pad;
    pad.beginStroke({0, 0}, 1.0);
    pad.extendStroke({1, 0}, 2.0); // 1 pt/s: practically at rest, target 4.2
    ASSERT_EQ(pad.strokes()[0].size(), 2);
    EXPECT_DOUBLE_EQ(pad.strokes()[0][0].width, 4.2); // the first sample is not smoothed
    EXPECT_NEAR(pad.strokes()[0][1].width, 3.5175, 1e-3);
    // Same timestamp: the time step is 1 ms, so 2 points are 2000 pt/s, the thinnest target.
    pad.extendStroke({3, 0}, 2.0);
    const double previous = pad.strokes()[0][1].width;
    EXPECT_NEAR(pad.strokes()[0][2].width, previous + (1.3 - previous) * 0.35, 1e-9);
    // 0.8 points in 1 ms targets 2.75.
    pad.extendStroke({3.8, 0}, 2.0);
    const double third = pad.strokes()[0][2].width;
    EXPECT_NEAR(pad.strokes()[0][3].width, third + (2.75 - third) * 0.35, 1e-9);
}

TEST(SignaturePadModel, JitterIsIgnoredUntilItExceedsTheThreshold)
{
    SignaturePadModel pad;
    pad.beginStroke({0, 0}, 0.0);
    pad.extendStroke({0.6, 0}, 0.1);
    pad.extendStroke({0, 0.5}, 0.2);
    EXPECT_EQ(pad.strokes()[0].size(), 1);
    pad.extendStroke({0.61, 0}, 0.3);
    EXPECT_EQ(pad.strokes()[0].size(), 2);
}

TEST(SignaturePadModel, ReleaseTapersOnlyStrokesOfFourOrMoreSamples)
{
    SignaturePadModel pad;
    pad.beginStroke({0, 0}, 0.0);
    pad.extendStroke({5, 0}, 1.0);
    pad.extendStroke({10, 0}, 2.0);
    const QList<double> three = widths(pad.strokes()[0]);
    pad.endStroke();
    EXPECT_EQ(widths(pad.strokes()[0]), three);

    pad.beginStroke({0, 20}, 3.0);
    for (int i = 1; i <= 4; ++i)
        pad.extendStroke({5.0 * i, 20}, 3.0 + i);
    const QList<double> before = widths(pad.strokes()[1]);
    pad.endStroke();
    const QList<double> after = widths(pad.strokes()[1]);
    ASSERT_EQ(after.size(), 5);
    EXPECT_DOUBLE_EQ(after[0], before[0]);
    EXPECT_DOUBLE_EQ(after[1], before[1]);
    EXPECT_DOUBLE_EQ(after[2], before[2] * 0.9);
    EXPECT_DOUBLE_EQ(after[3], before[3] * 0.75);
    EXPECT_DOUBLE_EQ(after[4], before[4] * 0.55);
    // A second release (no stroke open) must not taper again.
    pad.endStroke();
    EXPECT_EQ(widths(pad.strokes()[1]), after);
}

TEST(SignaturePadModel, DragsWithoutAStartedStrokeAreIgnored)
{
    SignaturePadModel pad;
    pad.extendStroke({10, 10}, 1.0);
    pad.endStroke();
    EXPECT_TRUE(pad.strokes().isEmpty());
    EXPECT_FALSE(pad.hasInk());

    // Clearing in the middle of a stroke ends it: the rest of that drag draws nothing.
    pad.beginStroke({0, 0}, 0.0);
    pad.clear();
    pad.extendStroke({20, 20}, 1.0);
    EXPECT_TRUE(pad.strokes().isEmpty());

    // After a finished stroke a stray drag does not extend it.
    pad.beginStroke({0, 0}, 0.0);
    pad.extendStroke({5, 0}, 1.0);
    pad.endStroke();
    pad.extendStroke({50, 50}, 2.0);
    EXPECT_EQ(pad.strokes()[0].size(), 2);
}

TEST(SignaturePadView, MouseInputBecomesStrokesWithYUp)
{
    SignaturePadModel pad;
    SignaturePadView view(&pad);
    view.resize(300, 150);
    view.show();
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(20, 130));
    QTest::mouseMove(&view, QPoint(60, 100));
    QTest::mouseMove(&view, QPoint(100, 90));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(100, 90));
    ASSERT_EQ(pad.strokes().size(), 1);
    const InkStroke& stroke = pad.strokes()[0];
    ASSERT_EQ(stroke.size(), 3);
    EXPECT_EQ(stroke[0].location, QPointF(20, 20));
    EXPECT_EQ(stroke[2].location, QPointF(100, 60));
    EXPECT_TRUE(pad.hasInk());
    // Moves with no button held draw nothing.
    QTest::mouseMove(&view, QPoint(200, 10));
    EXPECT_EQ(pad.strokes().size(), 1);
}

TEST(SignaturePadView, TabletPressureSetsTheWidthWhateverTheSpeed)
{
    SignaturePadModel pad;
    SignaturePadView view(&pad);
    view.resize(300, 150);
    const auto send = [&](QEvent::Type type, QPointF at, double pressure, ulong ms, Qt::MouseButtons buttons) {
        QTabletEvent event(type, QPointingDevice::primaryPointingDevice(), at, view.mapToGlobal(at), pressure, 0, 0,
                           0, 0, 0, Qt::NoModifier, Qt::LeftButton, buttons);
        event.setTimestamp(ms);
        QApplication::sendEvent(&view, &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(send(QEvent::TabletPress, {10, 140}, 0.25, 1000, Qt::LeftButton));
    // 200 points in 1 ms would be the thinnest line by speed; full pressure asks for the widest.
    send(QEvent::TabletMove, {210, 140}, 1.0, 1001, Qt::LeftButton);
    send(QEvent::TabletRelease, {210, 140}, 0.0, 1002, Qt::NoButton);
    ASSERT_EQ(pad.strokes().size(), 1);
    const InkStroke& stroke = pad.strokes()[0];
    ASSERT_EQ(stroke.size(), 2);
    EXPECT_DOUBLE_EQ(stroke[0].width, 1.3 + 2.9 * 0.25);
    EXPECT_NEAR(stroke[1].width, 3.15 + (4.2 - 3.15) * 0.35, 1e-9);
    EXPECT_EQ(stroke[0].location, QPointF(10, 10));
}

} // namespace
