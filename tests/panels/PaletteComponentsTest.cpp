#include "PanelTestSupport.h"

#include "editor/EditorModel.h"
#include "panels/ColorControls.h"
#include "panels/ColorPanelBridge.h"
#include "panels/PaletteButton.h"
#include "panels/AnnotateBar.h"
#include "panels/PaletteParts.h"
#include "panels/ToolPalette.h"
#include "support/Appearances.h"

#include <QApplication>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QTest>

#include <cmath>

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

namespace {

// How well the edge of the dot centred at `centre` stands out from `background`: along each of sixteen
// radii, the pixel of the dot's outer ring that differs most from the background; the weakest radius counts.
double edgeContrast(const QImage& image, QPointF centre, const QColor& background)
{
    double weakest = 21.0;
    for (int i = 0; i < 16; ++i) {
        const double angle = i * M_PI / 8;
        double best = 1.0;
        for (double r = 6.0; r <= 7.9; r += 0.25) {
            const QPoint p(int(std::floor(centre.x() + r * std::cos(angle))), int(std::floor(centre.y() + r * std::sin(angle))));
            best = std::max(best, contrastRatio(image.pixelColor(p), background));
        }
        weakest = std::min(weakest, best);
    }
    return weakest;
}

} // namespace

// A colour that is hard to tell from the glass it stands on gets a ring that stands out from it by at
// least 3:1 (the measure for parts of an interface): the default ink in the dark appearance, yellow and
// white in the light one, in the annotate bar's two-row colour button and in the colour row's swatches.
// Colours that stand out by themselves keep the plain hairline edge.
TEST(ColorDots, ColoursCloseToTheGlassGetARingThatStandsOutInBothAppearances)
{
    PanelFixture f(1);
    for (const bool dark : {false, true}) {
        const QPalette pal = vmk::test::appearancePalette(dark);
        const QColor window = pal.color(QPalette::Window);
        const QColor lowContrast = dark ? Swatch::ink() : Swatch::yellow();
        SCOPED_TRACE(dark ? "dark" : "light");

        // The two-row annotate bar's colour button on its glass, showing the tool's own colour: ink for
        // text boxes, yellow for highlights.
        ToolPalette palette(f.editor.get());
        palette.setPalette(pal);
        palette.setReduceMotionProvider([] { return true; });
        f.editor->setMode(EditorMode::annotate);
        f.editor->setTool(dark ? Tool::text : Tool::highlight);
        ASSERT_TRUE(colorsMatch(f.editor->currentToolColor(), lowContrast));
        palette.fitToWidth(360);
        settle();
        auto* bar = qobject_cast<AnnotateBar*>(palette.barWidget());
        ASSERT_TRUE(bar && bar->fit() == AnnotateFit::twoRows && bar->colorMenu());
        QWidget backdrop;
        backdrop.setPalette(pal);
        backdrop.setAutoFillBackground(true);
        palette.setParent(&backdrop);
        palette.move(10, 10);
        backdrop.resize(palette.sizeHint() + QSize(20, 20));
        palette.resize(palette.sizeHint());
        backdrop.show();
        settle();
        const QImage shot = backdrop.grab().toImage();
        const QPointF centre = QPointF(bar->colorMenu()->mapTo(&backdrop, QPoint(0, 0))) + QPointF(15, 15);
        EXPECT_GE(edgeContrast(shot, centre, window), 3.0) << "colour button";
        palette.setParent(nullptr);

        // The colour row's swatches: the low-contrast one is ringed, a vivid one keeps the hairline.
        QWidget rowBackdrop;
        rowBackdrop.setPalette(pal);
        rowBackdrop.setAutoFillBackground(true);
        auto* row = new SwatchRow(Swatch::blue(), [](const QColor&) {}, f.editor.get(), &rowBackdrop);
        rowBackdrop.resize(row->sizeHint());
        rowBackdrop.show();
        settle();
        const QImage rowShot = rowBackdrop.grab().toImage();
        const int lowIndex = int(Swatch::all().indexOf(lowContrast));
        const QPointF lowCentre = QPointF(row->dots()[lowIndex]->mapTo(&rowBackdrop, QPoint(0, 0))) + QPointF(12, 12);
        EXPECT_GE(edgeContrast(rowShot, lowCentre, window), 3.0) << "swatch " << lowIndex;
        EXPECT_TRUE(dotEdge(lowContrast, pal).contrastRing);
        EXPECT_TRUE(dotEdge(dark ? QColor(Qt::black) : QColor(Qt::white), pal).contrastRing);
        const DotEdge vivid = dotEdge(Swatch::blue(), pal);
        EXPECT_FALSE(vivid.contrastRing);
        EXPECT_DOUBLE_EQ(vivid.width, 0.75);
        EXPECT_NEAR(vivid.color.alphaF(), 0.35, 0.01);
        EXPECT_EQ(vivid.color.rgb(), pal.color(QPalette::WindowText).rgb());
    }
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_DOUBLE_EQ(contrastRatio(Swatch::red(), Swatch::red()), 1.0);
}
