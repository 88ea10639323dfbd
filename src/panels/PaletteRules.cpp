#include "panels/PaletteRules.h"

#include "platform/pdf/document/Annotation.h"

#include <QCoreApplication>

#include <cmath>

namespace vmk::panels {

PaletteBar paletteBarForMode(EditorMode mode)
{
    switch (mode) {
    case EditorMode::read: return PaletteBar::none;
    case EditorMode::annotate: return PaletteBar::annotate;
    case EditorMode::edit: return PaletteBar::edit;
    case EditorMode::sign: return PaletteBar::sign;
    case EditorMode::pages: return PaletteBar::pages;
    case EditorMode::redact: return PaletteBar::redact;
    }
    return PaletteBar::none;
}

bool showsCropBar(EditorMode mode, bool hasPendingCrop)
{
    return hasPendingCrop && mode == EditorMode::annotate;
}

const QList<double>& paletteLineWidths()
{
    static const QList<double> widths{1, 2, 3, 5, 8, 12};
    return widths;
}

const QList<double>& paletteFontSizes()
{
    static const QList<double> sizes{10, 12, 14, 16, 18, 24, 32, 48};
    return sizes;
}

const QList<Tool>& paletteShapes()
{
    static const QList<Tool> shapes{Tool::rectangle, Tool::ellipse, Tool::line, Tool::arrow};
    return shapes;
}

StyleGroupLayout styleGroupLayout(Tool tool, bool hasSelection, const QString& selectedType)
{
    StyleGroupLayout layout;
    layout.shown = hasSelection || (tool != Tool::select && tool != Tool::crop);
    if (!layout.shown)
        return layout;
    if (hasSelection) {
        static const QStringList stroked{QStringLiteral("Ink"), QStringLiteral("Line"), QStringLiteral("Square"),
                                         QStringLiteral("Circle")};
        layout.strokeWidth = stroked.contains(selectedType);
        layout.fontSize = selectedType == QLatin1String("FreeText");
    } else {
        layout.strokeWidth = tool == Tool::pen || isShape(tool);
        layout.fontSize = tool == Tool::text;
    }
    return layout;
}

QString toolHelpText(Tool tool)
{
    const QString key = toolShortcut(tool).toUpper();
    return QStringLiteral("%1 (%2)").arg(toolTitle(tool), key);
}

Tool shapesControlTool(Tool tool, Tool lastShape)
{
    return isShape(tool) ? tool : lastShape;
}

QColor paletteCurrentColor(const pdf::AnnotationPtr& selected, const QColor& toolColor)
{
    if (!selected)
        return toolColor;
    if (selected->type() == QLatin1String("FreeText")) {
        const QColor font = selected->fontColor();
        return font.isValid() ? font : QColor(Qt::black);
    }
    QColor color = selected->color();
    if (color.isValid())
        color.setAlphaF(1.0);
    return color;
}

double shownStrokeWidth(const pdf::AnnotationPtr& selected, double editorWidth)
{
    if (selected) {
        if (const std::optional<double> width = selected->lineWidth())
            return *width;
    }
    return editorWidth;
}

double shownFontSize(const pdf::AnnotationPtr& selected, double editorSize)
{
    if (selected && selected->type() == QLatin1String("FreeText") && selected->fontSize() > 0)
        return selected->fontSize();
    return editorSize;
}

QList<SizeMenuItem> sizeMenuItems(const QList<double>& values, double current)
{
    QList<SizeMenuItem> items;
    for (double value : values) {
        const long long n = std::llround(value);
        items.append({value, QCoreApplication::translate("ToolPalette", "%1 pt").arg(n),
                      std::abs(current - value) < 0.01});
    }
    return items;
}

QString pagesCountText(const IndexSet& selection, int pageCount)
{
    if (selection.empty())
        return QCoreApplication::translate("ToolPalette", "%1 pages").arg(pageCount);
    return QCoreApplication::translate("ToolPalette", "%1 of %2 selected").arg(qlonglong(selection.size())).arg(pageCount);
}

QString redactStatusText(int marks)
{
    if (marks <= 0)
        return QCoreApplication::translate("ToolPalette", "Drag across anything you want gone.");
    return QStringLiteral("%1 area%2 marked.").arg(marks).arg(marks == 1 ? QString() : QStringLiteral("s"));
}

} // namespace vmk::panels
