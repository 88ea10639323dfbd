#pragma once

#include <QFont>
#include <QString>

namespace vmk::FreeTextLayout {

// The screen font standing in for a text box's PDF font name at a size in points. Names that no installed
// or built-in PDF font answers to fall back to the system font.
QFont font(const QString& fontName, double size);
// Whether a PDF font of that name can be used for a text box.
bool fontExists(const QString& fontName);

// Height of a text box of width boxWidth holding text: the wrapped text's height within boxWidth − 8,
// rounded up, plus 8.
double boxHeight(const QString& text, const QFont& font, double boxWidth);
// Width of one line of text set in the font, without wrapping.
double lineWidth(const QString& line, const QFont& font);

} // namespace vmk::FreeTextLayout
