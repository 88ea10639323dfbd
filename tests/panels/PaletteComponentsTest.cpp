#include "PanelTestSupport.h"

#include "editor/EditorModel.h"
#include "panels/ColorControls.h"
#include "panels/ColorPanelBridge.h"
#include "panels/PaletteButton.h"
#include "panels/PaletteParts.h"

#include <QApplication>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QTest>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

TEST(PaletteButton, LookHelpAndRoundHitArea)
{
    const QPalette pal = QApplication::palette();
    const PaletteButtonLook selectedHover = paletteButtonLook(true, true, pal);
    EXPECT_NEAR(selectedHover.background.alphaF(), 0.18, 0.01);
    EXPECT_EQ(selectedHover.background.rgb(), pal.color(QPalette::Highlight).rgb());
    EXPECT_DOUBLE_EQ(selectedHover.scale, 1.06);
    const PaletteButtonLook hover = paletteButtonLook(false, true, pal);
    EXPECT_NEAR(hover.background.alphaF(), 0.07, 0.01);
    EXPECT_DOUBLE_EQ(hover.scale, 1.0);
    EXPECT_EQ(paletteButtonLook(false, false, pal).background.alpha(), 0);

    int runs = 0;
    PaletteButton button(QStringLiteral("trash"), QStringLiteral("Delete (Backspace)"), false, ButtonRole::destructive,
                         [&runs] { ++runs; });
    EXPECT_EQ(button.toolTip(), QStringLiteral("Delete (Backspace)"));
    EXPECT_EQ(button.accessibleName(), QStringLiteral("Delete (Backspace)"));
    EXPECT_EQ(button.size(), QSize(30, 30));
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
    EXPECT_EQ(runs, 1);
    // A corner of the frame lies outside the circle.
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(runs, 1);

    // Selecting springs towards 1.06 rather than jumping.
    button.setSelected(true);
    EXPECT_EQ(button.scaleAnimation().state(), QAbstractAnimation::Running);
    EXPECT_DOUBLE_EQ(button.scaleAnimation().endValue().toDouble(), 1.06);
}

TEST(PaletteParts, DividerAndGlassGroup)
{
    PaletteDivider divider;
    EXPECT_EQ(divider.size(), QSize(9, 18));
    GlassGroup group(12);
    auto* child = new QWidget;
    group.row()->addWidget(child);
    EXPECT_EQ(child->parentWidget(), &group);
    EXPECT_DOUBLE_EQ(group.spacing(), 12);
}

TEST(ColorControls, MatchingSelectsExactlyOneControl)
{
    const QColor red = Swatch::red();
    EXPECT_FALSE(isCustomColor(QColor::fromRgbF(red.redF() + 0.029, red.greenF() - 0.029, red.blueF())));
    EXPECT_TRUE(isCustomColor(QColor::fromRgbF(red.redF() - 0.03, red.greenF(), red.blueF())));
    EXPECT_TRUE(isCustomColor(QColor()));
    EXPECT_TRUE(isCustomColor(red, {}));
    EXPECT_EQ(swatchNames(), (QStringList{"Yellow", "Green", "Blue", "Red", "Pink", "Black"}));

    QList<QColor> picked;
    QObject context;
    QColor halfBlue = Swatch::blue();
    halfBlue.setAlphaF(0.5);
    SwatchRow row(halfBlue, [&picked](const QColor& c) { picked << c; }, &context);
    EXPECT_EQ(row.sizeHint().width(), 168);
    EXPECT_EQ(row.selectedIndex(), 2); // alpha is ignored
    EXPECT_EQ(row.dots()[5]->toolTip(), QStringLiteral("Black"));
    EXPECT_EQ(row.ring()->toolTip(), QStringLiteral("Custom Color…"));
    EXPECT_EQ(row.ring()->accessibleName(), QStringLiteral("Custom Color"));
    EXPECT_EQ(row.ring()->discColor().alphaF() < 0.1, true); // faint grey while a swatch is chosen

    click(findByName<QAbstractButton>(&row, QStringLiteral("Pink")));
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0], Swatch::pink());

    const QColor teal(0, 128, 128);
    row.setCurrent(teal);
    EXPECT_EQ(row.selectedIndex(), 6);
    EXPECT_EQ(row.ring()->discColor(), teal);
}

TEST(ColorPanelBridge, FollowsLastOpenerAndForgetsGoneEditors)
{
    platform::ManualScheduler clock;
    ColorPanelBridge bridge(&clock);
    QList<QColor> first, second;
    auto firstEditor = std::make_unique<QObject>();
    auto secondEditor = std::make_unique<QObject>();

    bridge.openColorPanel(Swatch::red(), [&first](const QColor& c) { first << c; }, firstEditor.get());
    ASSERT_NE(bridge.panel(), nullptr);
    EXPECT_FALSE(bridge.panel()->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_TRUE(colorsMatch(bridge.panel()->currentColor(), Swatch::red()));
    EXPECT_TRUE(first.isEmpty()); // showing the start colour is no choice

    bridge.openColorPanel(Swatch::blue(), [&second](const QColor& c) { second << c; }, secondEditor.get());
    bridge.changed(Qt::green);
    EXPECT_TRUE(first.isEmpty());
    EXPECT_EQ(second.size(), 1);

    // Dragging through the panel reports only once the colour settles.
    bridge.panel()->setCurrentColor(QColor(10, 20, 30));
    bridge.panel()->setCurrentColor(QColor(40, 50, 60));
    EXPECT_EQ(second.size(), 1);
    clock.advance(ColorPanelBridge::kSettleSeconds);
    ASSERT_EQ(second.size(), 2);
    EXPECT_EQ(second[1], QColor(40, 50, 60));

    // The window closes: its Editor goes, and nothing reaches it afterwards.
    bridge.panel()->setCurrentColor(QColor(70, 80, 90));
    secondEditor.reset();
    EXPECT_FALSE(bridge.hasTarget());
    clock.advance(1);
    bridge.changed(Qt::yellow);
    EXPECT_EQ(second.size(), 2);
    bridge.panel()->hide();
}

TEST(ColorPanelBridge, RetargetsToTheRowOfTheActivatedWindow)
{
    platform::ManualScheduler clock;
    ColorPanelBridge bridge(&clock);
    QObject editorA, editorB;
    QList<QColor> a, b;
    QWidget windowA, windowB;
    auto* rowA = new SwatchRow(Swatch::red(), [&a](const QColor& c) { a << c; }, &editorA, &windowA);
    auto* rowB = new SwatchRow(Swatch::red(), [&b](const QColor& c) { b << c; }, &editorB, &windowB);
    bridge.track(rowA);
    bridge.track(rowB);
    windowA.show();
    windowB.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windowB));

    bridge.openColorPanel(Swatch::red(), rowA->pick(), &editorA);
    bridge.windowActivated(windowB.windowHandle());
    EXPECT_EQ(bridge.targetContext(), &editorB);
    bridge.changed(Qt::cyan);
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(b.size(), 1);
    // The panel's own window coming forward changes nothing.
    bridge.windowActivated(bridge.panel()->windowHandle());
    EXPECT_EQ(bridge.targetContext(), &editorB);
    bridge.panel()->hide();
}
