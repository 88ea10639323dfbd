#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

namespace vmk::pdf { class Page; }

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

// Text boxes read upright as the page is shown, also on a turned page: their width and height are the
// ones on screen. Without a page, page space is taken as shown.
// The size a page-space box shows with.
QSizeF shownSize(const pdf::Page* page, const QRectF& bounds);
// The page-space box showing with `shown` size whose shown top-left corner stays where old's is.
QRectF keepingShownTop(const pdf::Page* page, const QRectF& old, const QSizeF& shown);
// The page-space box showing with `shown` size whose shown top-left corner is at point (page space).
QRectF shownFrom(const pdf::Page* page, const QPointF& point, const QSizeF& shown);

} // namespace vmk::FreeTextLayout
