#include "PanelTestSupport.h"

#include "panels/AnnotateBar.h"
#include "panels/ColorControls.h"
#include "panels/ModeBars.h"
#include "panels/PaletteButton.h"
#include "panels/PaletteParts.h"
#include "panels/PaletteRules.h"
#include "panels/SignBar.h"
#include "panels/ToolPalette.h"
#include "platform/pdf/document/Annotation.h"
#include "signatures/SignatureStore.h"

#include <QMenu>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::panels;
using namespace vmk::panels::test;

namespace {

QList<SizeMenuItem> menuEntries(PaletteMenuButton* menu)
{
    QList<SizeMenuItem> entries;
    for (QAction* item : menu->menu()->actions())
        entries.append({item->data().toDouble(), item->text(), item->isChecked()});
    return entries;
}

int checkedCount(PaletteMenuButton* menu)
{
    int n = 0;
    for (QAction* item : menu->menu()->actions())
        n += item->isChecked();
    return n;
}

} // namespace

TEST(PaletteRules, BarsStyleGroupAndTexts)
{
    EXPECT_EQ(paletteBarForMode(EditorMode::read), PaletteBar::none);
    EXPECT_EQ(paletteBarForMode(EditorMode::redact), PaletteBar::redact);
    EXPECT_TRUE(showsCropBar(EditorMode::annotate, true));
    EXPECT_FALSE(showsCropBar(EditorMode::pages, true));

    // Select and crop with nothing selected end the bar at the crop button.
    EXPECT_FALSE(styleGroupLayout(Tool::select, false, {}).shown);
    EXPECT_FALSE(styleGroupLayout(Tool::crop, false, {}).shown);
    const StyleGroupLayout note = styleGroupLayout(Tool::note, false, {});
    EXPECT_TRUE(note.shown && !note.strokeWidth && !note.fontSize);
    EXPECT_TRUE(styleGroupLayout(Tool::ellipse, false, {}).strokeWidth);
    // The selection decides alone: a text box under the pen tool shows the font size only.
    const StyleGroupLayout textBox = styleGroupLayout(Tool::pen, true, QStringLiteral("FreeText"));
    EXPECT_TRUE(textBox.fontSize && !textBox.strokeWidth);
    const StyleGroupLayout highlight = styleGroupLayout(Tool::text, true, QStringLiteral("Highlight"));
    EXPECT_TRUE(highlight.shown && !highlight.fontSize && !highlight.strokeWidth);

    EXPECT_EQ(toolHelpText(Tool::highlight), QStringLiteral("Highlight (H)"));
    EXPECT_EQ(shapesControlTool(Tool::line, Tool::ellipse), Tool::line);
    EXPECT_EQ(shapesControlTool(Tool::pen, Tool::ellipse), Tool::ellipse);

    const QList<SizeMenuItem> items = sizeMenuItems(paletteLineWidths(), 3.0);
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[2].title, QStringLiteral("3 pt"));
    EXPECT_TRUE(items[2].checked);
    for (const SizeMenuItem& item : sizeMenuItems(paletteLineWidths(), 4.0))
        EXPECT_FALSE(item.checked);

    EXPECT_EQ(pagesCountText({2, 5}, 12), QStringLiteral("2 of 12 selected"));
    EXPECT_EQ(pagesCountText({}, 12), QStringLiteral("12 pages"));
    EXPECT_EQ(redactStatusText(0), QStringLiteral("Drag across anything you want gone."));
    EXPECT_EQ(redactStatusText(1), QStringLiteral("1 area marked."));
    EXPECT_EQ(redactStatusText(3), QStringLiteral("3 areas marked."));
}

TEST(ToolPalette, ShowsTheBarOfTheMode)
{
    PanelFixture f;
    QTemporaryDir storeDir;
    signatures::SignatureStore store(storeDir.path());
    ToolPalette palette(f.editor.get(), &store);
    EXPECT_EQ(palette.currentBar(), PaletteBar::none);
    EXPECT_EQ(palette.capsule(), nullptr);

    const std::pair<EditorMode, const char*> expectations[] = {
        {EditorMode::annotate, "AnnotateBar"}, {EditorMode::sign, "SignBar"},
        {EditorMode::pages, "PagesBar"}, {EditorMode::redact, "RedactBar"}};
    for (const auto& [mode, type] : expectations) {
        f.editor->setMode(mode);
        ASSERT_NE(palette.barWidget(), nullptr) << type;
        EXPECT_STREQ(palette.barWidget()->metaObject()->className(), (QByteArray("vmk::panels::") + type).constData());
    }
    // Edit mode shows the edit bar unless a provider makes another.
    f.editor->setMode(EditorMode::edit);
    ASSERT_NE(palette.barWidget(), nullptr);
    EXPECT_STREQ(palette.barWidget()->metaObject()->className(), "vmk::panels::EditBar");
    palette.setEditBarFactory([](Editor*) { return new QWidget; });
    ASSERT_NE(palette.barWidget(), nullptr);
    EXPECT_STREQ(palette.barWidget()->metaObject()->className(), "QWidget");

    // A pending crop adds the crop capsule in Annotate mode only.
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::crop);
    f.editor->setPendingCrop(PendingCrop{f.page(0), QRectF(50, 50, 200, 300)});
    EXPECT_NE(palette.cropCapsule(), nullptr);
    f.editor->setMode(EditorMode::pages);
    EXPECT_EQ(palette.cropCapsule(), nullptr);
    settle();
}

TEST(AnnotateBar, ToolButtonsShapesAndStyleGroup)
{
    PanelFixture f;
    f.editor->setMode(EditorMode::annotate);
    ToolPalette palette(f.editor.get());
    auto bar = [&] { return qobject_cast<AnnotateBar*>(palette.barWidget()); };
    ASSERT_NE(bar(), nullptr);
    EXPECT_EQ(bar()->colorRow(), nullptr); // select tool, nothing selected

    click(findByName<QAbstractButton>(bar(), QStringLiteral("Highlight (H)")));
    EXPECT_EQ(f.editor->tool(), Tool::highlight);
    EXPECT_TRUE(bar()->toolButton(Tool::highlight)->isSelected());
    ASSERT_NE(bar()->colorRow(), nullptr);
    EXPECT_EQ(bar()->colorRow()->selectedIndex(), 0); // the highlighter's yellow
    EXPECT_EQ(bar()->strokeWidthMenu(), nullptr);
    EXPECT_EQ(bar()->fontSizeMenu(), nullptr);

    // Shapes: the control shows the last shape until a shape is the tool.
    f.editor->setLastShape(Tool::ellipse);
    EXPECT_EQ(bar()->shapesButton()->shownSymbol(), QStringLiteral("circle"));
    EXPECT_FALSE(bar()->shapesButton()->isActive());
    EXPECT_EQ(bar()->shapesButton()->toolTip(), QStringLiteral("Shapes (R, O, L, A)"));
    bar()->shapesButton()->click();
    EXPECT_EQ(f.editor->tool(), Tool::ellipse);
    QList<QAction*> shapes = bar()->shapesButton()->menu()->actions();
    ASSERT_EQ(shapes.size(), 4);
    EXPECT_EQ(shapes[3]->text(), QStringLiteral("Arrow"));
    shapes[3]->trigger();
    EXPECT_EQ(f.editor->tool(), Tool::arrow);
    EXPECT_EQ(f.editor->lastShape(), Tool::arrow);
    f.editor->setTool(Tool::line);
    EXPECT_EQ(bar()->shapesButton()->shownSymbol(), QStringLiteral("line.diagonal"));
    EXPECT_TRUE(bar()->shapesButton()->isActive());

    // A shape draws with a width: the line-width menu ticks the Editor's width and sets a new one.
    ASSERT_NE(bar()->strokeWidthMenu(), nullptr);
    EXPECT_EQ(bar()->strokeWidthMenu()->toolTip(), QStringLiteral("Line width"));
    EXPECT_TRUE(menuEntries(bar()->strokeWidthMenu())[2].checked);
    bar()->strokeWidthMenu()->menu()->actions()[4]->trigger();
    EXPECT_DOUBLE_EQ(f.editor->strokeWidth(), 8.0);
    EXPECT_TRUE(menuEntries(bar()->strokeWidthMenu())[4].checked);
    f.editor->setStrokeWidth(4.0);
    EXPECT_EQ(checkedCount(bar()->strokeWidthMenu()), 0);

    // Swatches and the custom colour set the tool's colour (all four shapes share it).
    click(findByName<QAbstractButton>(bar()->colorRow(), QStringLiteral("Green")));
    EXPECT_TRUE(colorsMatch(f.editor->colorForTool(Tool::rectangle), Swatch::green()));
    bar()->colorRow()->pick()(QColor(0, 128, 128));
    EXPECT_EQ(bar()->colorRow()->selectedIndex(), 6);

    // The text tool offers font sizes.
    click(findByName<QAbstractButton>(bar(), QStringLiteral("Text Box (T)")));
    ASSERT_NE(bar()->fontSizeMenu(), nullptr);
    EXPECT_EQ(bar()->strokeWidthMenu(), nullptr);
    EXPECT_TRUE(menuEntries(bar()->fontSizeMenu())[3].checked); // 16 pt
    bar()->fontSizeMenu()->menu()->actions()[5]->trigger();
    EXPECT_DOUBLE_EQ(f.editor->fontSize(), 24.0);
    settle();
}

TEST(AnnotateBar, SelectionDecidesColourAndTicks)
{
    PanelFixture f;
    f.editor->setMode(EditorMode::annotate);
    ToolPalette palette(f.editor.get());
    auto bar = [&] { return qobject_cast<AnnotateBar*>(palette.barWidget()); };

    // A text box without a font colour shows black and its own size, not the Editor's default.
    pdf::AnnotationPtr box = f.editor->beginFreeText(f.page(0), QPointF(100, 600));
    ASSERT_TRUE(box);
    f.editor->commitFreeText(box, f.page(0), QStringLiteral("Hello"), true);
    box->setFontSize(14);
    f.editor->setSelectedAnnotation(box);
    f.editor->setTool(Tool::pen);
    ASSERT_NE(bar()->fontSizeMenu(), nullptr);
    EXPECT_EQ(bar()->strokeWidthMenu(), nullptr);
    EXPECT_TRUE(menuEntries(bar()->fontSizeMenu())[2].checked); // 14 pt, the box's own
    EXPECT_EQ(checkedCount(bar()->fontSizeMenu()), 1);
    EXPECT_TRUE(colorsMatch(bar()->colorRow()->current(), box->fontColor().isValid() ? box->fontColor() : Qt::black));

    // A highlight shows its colour opaque and no size menu.
    pdf::AnnotationPtr mark = pdf::Annotation::create(QStringLiteral("Highlight"), QRectF(72, 700, 100, 14));
    QColor half = Swatch::pink();
    half.setAlphaF(0.5);
    mark->setColor(half);
    f.editor->addAnnotation({{mark, f.page(0)}}, QStringLiteral("Highlight"));
    f.editor->setSelectedAnnotation(mark);
    EXPECT_EQ(bar()->colorRow()->selectedIndex(), 4);
    EXPECT_DOUBLE_EQ(bar()->colorRow()->current().alphaF(), 1.0);
    EXPECT_EQ(bar()->strokeWidthMenu(), nullptr);
    EXPECT_EQ(bar()->fontSizeMenu(), nullptr);

    // A rectangle of width 5 ticks 5 even though the Editor's width is 3; choosing 2 re-strokes it.
    pdf::AnnotationPtr square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(100, 100, 80, 60));
    square->setLineWidth(5.0);
    f.editor->addAnnotation({{square, f.page(0)}}, QStringLiteral("Rectangle"));
    f.editor->setSelectedAnnotation(square);
    ASSERT_NE(bar()->strokeWidthMenu(), nullptr);
    EXPECT_TRUE(menuEntries(bar()->strokeWidthMenu())[3].checked);
    EXPECT_EQ(checkedCount(bar()->strokeWidthMenu()), 1);
    f.undo().closeEventGroup();
    bar()->strokeWidthMenu()->menu()->actions()[1]->trigger();
    EXPECT_DOUBLE_EQ(square->lineWidth().value_or(0), 2.0);
    EXPECT_EQ(f.undo().undoActionName(), QStringLiteral("Change Line Width"));
    click(findByName<QAbstractButton>(bar()->colorRow(), QStringLiteral("Blue")));
    EXPECT_TRUE(colorsMatch(square->color(), Swatch::blue()));
    settle();
}

TEST(AnnotateBar, EndsAtTheCropButtonWithNothingToStyleAndFoldsToFitItsWidth)
{
    PanelFixture f;
    ToolPalette palette(f.editor.get());
    palette.show();
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::select);
    auto* bar = qobject_cast<AnnotateBar*>(palette.barWidget());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->fit(), AnnotateFit::full);
    settle();
    // Nothing to style: the crop button is the bar's last item, with only the capsule's padding after it.
    const auto endsAtCrop = [&](AnnotateBar* b, const char* state) {
        QWidget* crop = b->toolButton(Tool::crop);
        int rightmost = 0;
        for (QWidget* child : b->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isVisible())
                rightmost = std::max(rightmost, child->geometry().right());
        EXPECT_EQ(rightmost, crop->geometry().right()) << state;
        EXPECT_LE(b->width() - 1 - crop->geometry().right(), 6) << state;
        EXPECT_EQ(b->findChildren<PaletteDivider*>().size(), 3) << state;
    };
    endsAtCrop(bar, "select");
    const int narrow = palette.sizeHint().width();
    const QPoint crop = bar->toolButton(Tool::crop)->mapTo(&palette, QPoint());

    // A drawing tool adds the divider, the colours and its size menu after the crop button.
    f.editor->setTool(Tool::pen);
    bar = qobject_cast<AnnotateBar*>(palette.barWidget());
    ASSERT_TRUE(bar->colorRow());
    ASSERT_TRUE(bar->strokeWidthMenu());
    settle();
    const int full = palette.sizeHint().width();
    EXPECT_GT(full, narrow + 7 * 24);
    EXPECT_EQ(bar->toolButton(Tool::crop)->mapTo(&palette, QPoint()), crop);
    EXPECT_GT(bar->colorRow()->mapTo(bar, QPoint()).x(), bar->toolButton(Tool::crop)->geometry().right());

    // Back to select and on to crop: the palette shrinks to the tools again, leaving no empty room.
    for (Tool tool : {Tool::select, Tool::crop}) {
        f.editor->setTool(tool);
        settle();
        bar = qobject_cast<AnnotateBar*>(palette.barWidget());
        EXPECT_EQ(palette.sizeHint().width(), narrow);
        EXPECT_EQ(palette.width(), narrow);
        endsAtCrop(bar, tool == Tool::select ? "select again" : "crop");
    }
    // A selection brings the style group back even under the select tool.
    f.editor->setTool(Tool::select);
    f.editor->addShape(Tool::rectangle, f.page(0), {100, 100}, {200, 160});
    bar = qobject_cast<AnnotateBar*>(palette.barWidget());
    ASSERT_TRUE(f.editor->selectedAnnotation());
    EXPECT_TRUE(bar->colorRow());
    EXPECT_TRUE(bar->strokeWidthMenu());
    f.editor->setSelectedAnnotation(nullptr);
    f.editor->setTool(Tool::pen);
    settle();

    // Narrower: the colours fold into a menu; narrower still they go under the tools.
    palette.fitToWidth(full - 60);
    bar = qobject_cast<AnnotateBar*>(palette.barWidget());
    EXPECT_EQ(bar->fit(), AnnotateFit::condensed);
    ASSERT_TRUE(bar->colorMenu());
    EXPECT_LE(palette.sizeHint().width(), full - 60);
    palette.fitToWidth(360);
    bar = qobject_cast<AnnotateBar*>(palette.barWidget());
    EXPECT_EQ(bar->fit(), AnnotateFit::twoRows);
    EXPECT_LE(palette.sizeHint().width(), 360);
    ASSERT_TRUE(bar->colorMenu());
    EXPECT_GT(bar->colorMenu()->mapTo(bar, QPoint()).y(), bar->toolButton(Tool::pen)->mapTo(bar, QPoint()).y());
    // A colour picked from the folded row reaches the tool.
    bar->colorMenu()->row()->dots()[3]->click();
    EXPECT_EQ(f.editor->currentToolColor(), bar->colorMenu()->row()->dots()[3]->color());
    palette.fitToWidth(0);
    EXPECT_EQ(qobject_cast<AnnotateBar*>(palette.barWidget())->fit(), AnnotateFit::full);
}
