#include "editor/EditorModel.h"

#include <cmath>

namespace vmk {

namespace {

struct ToolInfo {
    Tool tool;
    const char* raw;
    const char* title;
    const char* symbol;
    const char* shortcut;
};

constexpr ToolInfo kTools[] = {
    {Tool::select, "select", "Select", "cursorarrow", "v"},
    {Tool::highlight, "highlight", "Highlight", "highlighter", "h"},
    {Tool::underline, "underline", "Underline", "underline", "u"},
    {Tool::strikeOut, "strikeOut", "Strikethrough", "strikethrough", "k"},
    {Tool::pen, "pen", "Pen", "scribble", "p"},
    {Tool::rectangle, "rectangle", "Rectangle", "rectangle", "r"},
    {Tool::ellipse, "ellipse", "Ellipse", "circle", "o"},
    {Tool::line, "line", "Line", "line.diagonal", "l"},
    {Tool::arrow, "arrow", "Arrow", "arrow.up.right", "a"},
    {Tool::note, "note", "Note", "note.text", "n"},
    {Tool::text, "text", "Text Box", "character.textbox", "t"},
    {Tool::crop, "crop", "Crop", "crop", "c"},
};

const ToolInfo& info(Tool tool) { return kTools[static_cast<int>(tool)]; }

QColor srgb(double r, double g, double b) { return QColor::fromRgbF(float(r), float(g), float(b), 1.0f); }

} // namespace

std::optional<EditorMode> editorModeFromRaw(int raw)
{
    if (raw < 0 || raw > 5)
        return std::nullopt;
    return static_cast<EditorMode>(raw);
}

int rawValue(EditorMode mode) { return static_cast<int>(mode); }

const QList<EditorMode>& allEditorModes()
{
    static const QList<EditorMode> modes = {EditorMode::read,  EditorMode::annotate, EditorMode::edit,
                                            EditorMode::sign,  EditorMode::pages,    EditorMode::redact};
    return modes;
}

bool placesAnnotations(EditorMode mode)
{
    const int raw = rawValue(mode);
    return raw % 2 == 1 && raw < 6;
}

const QList<Tool>& allTools()
{
    static const QList<Tool> tools = [] {
        QList<Tool> list;
        for (const ToolInfo& t : kTools)
            list.append(t.tool);
        return list;
    }();
    return tools;
}

QString rawValue(Tool tool) { return QString::fromLatin1(info(tool).raw); }

std::optional<Tool> toolFromRaw(const QString& raw)
{
    for (const ToolInfo& t : kTools)
        if (raw == QLatin1String(t.raw))
            return t.tool;
    return std::nullopt;
}

std::optional<Tool> toolFromIndex(int index)
{
    if (index < 0 || index >= int(std::size(kTools)))
        return std::nullopt;
    return kTools[index].tool;
}

int toolIndex(Tool tool) { return static_cast<int>(tool); }
QString toolTitle(Tool tool) { return QString::fromLatin1(info(tool).title); }
QString toolSymbol(Tool tool) { return QString::fromLatin1(info(tool).symbol); }
QString toolShortcut(Tool tool) { return QString::fromLatin1(info(tool).shortcut); }

bool isShape(Tool tool)
{
    return tool == Tool::rectangle || tool == Tool::ellipse || tool == Tool::line || tool == Tool::arrow;
}

QColor defaultToolColor(Tool tool)
{
    switch (tool) {
    case Tool::highlight:
    case Tool::note:
        return Swatch::yellow();
    case Tool::underline:
    case Tool::strikeOut:
    case Tool::rectangle:
    case Tool::ellipse:
    case Tool::line:
    case Tool::arrow:
        return Swatch::red();
    case Tool::pen:
        return Swatch::blue();
    case Tool::select:
    case Tool::text:
    case Tool::crop:
        break;
    }
    return Swatch::ink();
}

std::optional<SidebarTab> sidebarTabFromRaw(int raw)
{
    if (raw < 0 || raw > 2)
        return std::nullopt;
    return static_cast<SidebarTab>(raw);
}

int rawValue(SidebarTab tab) { return static_cast<int>(tab); }

const QList<SidebarTab>& allSidebarTabs()
{
    static const QList<SidebarTab> tabs = {SidebarTab::thumbnails, SidebarTab::outline, SidebarTab::search};
    return tabs;
}

namespace Swatch {
const QColor& yellow() { static const QColor c = srgb(1.0, 0.84, 0.04); return c; }
const QColor& green() { static const QColor c = srgb(0.19, 0.82, 0.35); return c; }
const QColor& blue() { static const QColor c = srgb(0.0, 0.48, 1.0); return c; }
const QColor& red() { static const QColor c = srgb(1.0, 0.23, 0.19); return c; }
const QColor& pink() { static const QColor c = srgb(1.0, 0.42, 0.75); return c; }
const QColor& ink() { static const QColor c = srgb(0.1, 0.1, 0.1); return c; }
const QList<QColor>& all()
{
    static const QList<QColor> list = {yellow(), green(), blue(), red(), pink(), ink()};
    return list;
}
} // namespace Swatch

bool colorsMatch(const QColor& a, const QColor& b)
{
    if (!a.isValid() || !b.isValid())
        return false;
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    // QColor keeps 16-bit components; without the half-step allowance two colours exactly 0.03 apart
    // would come out a hair closer and match.
    const double limit = 0.03 - 0.5 / 65535.0;
    return std::abs(double(x.redF()) - y.redF()) < limit && std::abs(double(x.greenF()) - y.greenF()) < limit
        && std::abs(double(x.blueF()) - y.blueF()) < limit;
}

} // namespace vmk
