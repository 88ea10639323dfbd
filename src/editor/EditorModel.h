#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

namespace vmk {

// The six working modes. Raw values are stable: the "VMKInitialMode" launch switch names them.
enum class EditorMode { read = 0, annotate = 1, edit = 2, sign = 3, pages = 4, redact = 5 };

std::optional<EditorMode> editorModeFromRaw(int raw);
int rawValue(EditorMode mode);
const QList<EditorMode>& allEditorModes();
// True for the modes whose clicks on the canvas place or pick annotations.
bool placesAnnotations(EditorMode mode);

// The twelve canvas tools, in palette order; the position is the "VMKInitialTool" index.
enum class Tool { select, highlight, underline, strikeOut, pen, rectangle, ellipse, line, arrow, note, text, crop };

const QList<Tool>& allTools();
// The raw value is the case name ("strikeOut"); nothing else is accepted.
QString rawValue(Tool tool);
std::optional<Tool> toolFromRaw(const QString& raw);
std::optional<Tool> toolFromIndex(int index);
int toolIndex(Tool tool);
// User-facing name; also the undo action name of markup and shape creation.
QString toolTitle(Tool tool);
// Symbol image name drawn for the tool in palettes and menus.
QString toolSymbol(Tool tool);
// One-letter key that selects the tool on the canvas and in the Tools menu.
QString toolShortcut(Tool tool);
// Rectangle, ellipse, line and arrow.
bool isShape(Tool tool);
QColor defaultToolColor(Tool tool);

enum class SidebarTab { thumbnails = 0, outline = 1, search = 2 };

std::optional<SidebarTab> sidebarTabFromRaw(int raw);
int rawValue(SidebarTab tab);
const QList<SidebarTab>& allSidebarTabs();

// The six preset colours offered by every colour palette.
namespace Swatch {
const QColor& yellow();
const QColor& green();
const QColor& blue();
const QColor& red();
const QColor& pink();
const QColor& ink();
// yellow, green, blue, red, pink, ink
const QList<QColor>& all();
} // namespace Swatch

// Whether two colours count as the same swatch: sRGB components each less than 0.03 apart, alpha ignored.
// An invalid colour matches nothing.
bool colorsMatch(const QColor& a, const QColor& b);

} // namespace vmk
