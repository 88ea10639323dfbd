#pragma once

#include "editor/EditorModel.h"
#include "platform/pdf/document/PdfTypes.h"

#include <QColor>
#include <QString>

namespace vmk::panels {

// The inspector's header for a mode: its own title, symbol and one-line tip.
struct ModeHeaderInfo {
    QString title;
    QString symbol;
    QString tip;
};
ModeHeaderInfo modeHeader(EditorMode mode);

// Which rows the tool style section shows for a tool, and the tip under them.
struct ToolStyleRows {
    bool color = false;
    bool lineWidth = false;
    bool fontSize = false;
    QString tip;
};
ToolStyleRows toolStyleRows(Tool tool);

// Which rows the selection section shows for an annotation.
struct SelectionRows {
    bool color = false;
    bool lineWidth = false;
    bool fontSize = false;
    bool text = false;
    QString textTitle; // "Add a comment" for text markup, "Text" for text boxes and notes
};
SelectionRows selectionRows(const pdf::Annotation& annotation);

// The colour the selection's swatch row marks: a text box's font colour (black without one), otherwise
// the annotation's colour made opaque.
QColor selectionColor(const pdf::Annotation& annotation);
// The border width, or 1 without a border.
double selectionLineWidth(const pdf::Annotation& annotation);
// The font's point size, or 16 without a font.
double selectionFontSize(const pdf::Annotation& annotation);

// Whole numbers with halves away from zero: what the width sliders store.
double roundedSliderValue(double value);
// A width or size as "<n> pt", the number truncated toward zero.
QString pointsText(double value);

inline constexpr double kMinLineWidth = 1;
inline constexpr double kMaxLineWidth = 12;
inline constexpr double kMinFontSize = 6;
inline constexpr double kMaxFontSize = 96;

} // namespace vmk::panels
