#pragma once

#include "editor/EditorModel.h"
#include "editor/EditorTypes.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QColor>
#include <QList>
#include <QString>

namespace vmk::panels {

// Which bar the palette shows for a mode (none in Read mode).
enum class PaletteBar { none, annotate, edit, sign, pages, redact };

PaletteBar paletteBarForMode(EditorMode mode);
// The crop bar stands beside the annotate bar while a crop waits to be applied.
bool showsCropBar(EditorMode mode, bool hasPendingCrop);

const QList<double>& paletteLineWidths();
const QList<double>& paletteFontSizes();
// The shapes of the shapes menu, in menu order.
const QList<Tool>& paletteShapes();

// What follows the crop button in the annotate bar. The selection decides alone when there is one.
struct StyleGroupLayout {
    bool shown = false;
    bool strokeWidth = false;
    bool fontSize = false;
};

// selectedType: the selected annotation's subtype ("Ink", "FreeText"...), empty with nothing selected.
StyleGroupLayout styleGroupLayout(Tool tool, bool hasSelection, const QString& selectedType);

// "Highlight (H)": the tool's title and its key upper-cased.
QString toolHelpText(Tool tool);
// The tool whose symbol the shapes control shows: the current tool when it is a shape, else the last.
Tool shapesControlTool(Tool tool, Tool lastShape);

// The colour the palette's colour row shows: a text box's font colour (black without one); another
// selected annotation's colour made opaque; else the current tool's colour.
QColor paletteCurrentColor(const pdf::AnnotationPtr& selected, const QColor& toolColor);
// The values the size menus tick. With an annotation selected they are its own, so the palette agrees
// with the inspector; otherwise the Editor's defaults.
double shownStrokeWidth(const pdf::AnnotationPtr& selected, double editorWidth);
double shownFontSize(const pdf::AnnotationPtr& selected, double editorSize);

struct SizeMenuItem {
    double value = 0;
    QString title; // "12 pt"
    bool checked = false;
};
QList<SizeMenuItem> sizeMenuItems(const QList<double>& values, double current);

// "2 of 12 selected", or "12 pages" with nothing selected.
QString pagesCountText(const IndexSet& selection, int pageCount);
// "Drag across anything you want gone." or "3 areas marked."
QString redactStatusText(int marks);

// The sign bar shows at most this many of the newest signatures.
inline constexpr int kSignBarChipLimit = 5;

} // namespace vmk::panels
