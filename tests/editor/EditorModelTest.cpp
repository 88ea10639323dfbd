#include "editor/EditorModel.h"
#include "editor/Toast.h"

#include <gtest/gtest.h>

using namespace vmk;

TEST(EditorModel, RawValuesAcceptOnlyTheirRanges)
{
    EXPECT_EQ(editorModeFromRaw(4), EditorMode::pages);
    EXPECT_FALSE(editorModeFromRaw(6).has_value());
    EXPECT_FALSE(editorModeFromRaw(-1).has_value());
    EXPECT_EQ(sidebarTabFromRaw(2), SidebarTab::search);
    EXPECT_FALSE(sidebarTabFromRaw(3).has_value());
    EXPECT_EQ(toolFromRaw(QStringLiteral("strikeOut")), Tool::strikeOut);
    EXPECT_FALSE(toolFromRaw(QStringLiteral("Select")).has_value());
    EXPECT_FALSE(toolFromRaw(QStringLiteral("strikeout")).has_value());
    EXPECT_EQ(toolFromIndex(11), Tool::crop);
    EXPECT_FALSE(toolFromIndex(12).has_value());
}

TEST(EditorModel, ModesThatPlaceAnnotationsAreAnnotateSignAndRedact)
{
    QList<EditorMode> placing;
    for (EditorMode mode : allEditorModes())
        if (placesAnnotations(mode))
            placing.append(mode);
    EXPECT_EQ(placing, (QList<EditorMode>{EditorMode::annotate, EditorMode::sign, EditorMode::redact}));
}

TEST(EditorModel, ToolTableRoundTripsAndNamesMatch)
{
    ASSERT_EQ(allTools().size(), 12);
    QString shortcuts;
    for (int i = 0; i < allTools().size(); ++i) {
        const Tool tool = allTools()[i];
        EXPECT_EQ(toolIndex(tool), i);
        EXPECT_EQ(toolFromRaw(rawValue(tool)), tool);
        shortcuts += toolShortcut(tool);
    }
    EXPECT_EQ(shortcuts, QStringLiteral("vhukprolantc"));
    EXPECT_EQ(toolTitle(Tool::strikeOut), QStringLiteral("Strikethrough"));
    EXPECT_EQ(toolTitle(Tool::text), QStringLiteral("Text Box"));
    EXPECT_EQ(toolSymbol(Tool::arrow), QStringLiteral("arrow.up.right"));
    int shapes = 0;
    for (Tool tool : allTools())
        shapes += isShape(tool) ? 1 : 0;
    EXPECT_EQ(shapes, 4);
    EXPECT_TRUE(isShape(Tool::line));
    EXPECT_FALSE(isShape(Tool::pen));
}

TEST(EditorModel, SwatchesMatchWithinThreeHundredths)
{
    ASSERT_EQ(Swatch::all().size(), 6);
    EXPECT_TRUE(colorsMatch(QColor::fromRgbF(1.0f, 0.84f, 0.04f), Swatch::yellow()));
    EXPECT_TRUE(colorsMatch(QColor::fromRgbF(0.98f, 0.86f, 0.06f), Swatch::yellow()));
    EXPECT_FALSE(colorsMatch(QColor::fromRgbF(1.0f, 0.84f, 0.07f), Swatch::yellow()));
    EXPECT_TRUE(colorsMatch(QColor::fromRgbF(1.0f, 0.84f, 0.04f, 0.5f), Swatch::yellow()));
    EXPECT_FALSE(colorsMatch(QColor(), Swatch::yellow()));
    // Colours made in another model are compared in RGB.
    EXPECT_TRUE(colorsMatch(Swatch::blue().toHsv(), Swatch::blue()));
    EXPECT_EQ(defaultToolColor(Tool::pen), Swatch::blue());
    EXPECT_EQ(defaultToolColor(Tool::note), Swatch::yellow());
    EXPECT_EQ(defaultToolColor(Tool::arrow), Swatch::red());
    EXPECT_EQ(defaultToolColor(Tool::crop), Swatch::ink());
}

TEST(EditorModel, ToastsDifferByIdAndStyleSetsTheTime)
{
    const Toast a{QUuid::createUuid(), QStringLiteral("crop"), QStringLiteral("Cropped."), Toast::Style::info};
    Toast b = a;
    EXPECT_EQ(a, b);
    b.id = QUuid::createUuid();
    EXPECT_FALSE(a == b);
    EXPECT_DOUBLE_EQ(Toast::displaySeconds(Toast::Style::info), 2.8);
    EXPECT_DOUBLE_EQ(Toast::displaySeconds(Toast::Style::merge), 3.2);
    EXPECT_DOUBLE_EQ(Toast::displaySeconds(Toast::Style::success), 3.2);
}
