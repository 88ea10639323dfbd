#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPalette;
class QToolButton;
class QWidget;

namespace vmk::chrome {

// Text styles of the floating pieces, sized from the application font so they follow the desktop.
QFont calloutFont();          // a little under the body size: pills and the banner
QFont captionFont();          // small print
QFont titleFont(double scale); // headings: semibold at scale × the body size

QColor accentColor(const QPalette& palette);
QColor secondaryTextColor(const QPalette& palette);

// A borderless symbol button (tooltip and accessible name carry the help text).
// An invalid tint draws the symbol in the text colour.
QToolButton* makeSymbolButton(const QString& symbol, const QString& help, int iconSize, QWidget* parent = nullptr,
                              const QColor& tint = QColor());
// A label that shows a symbol tinted in a colour.
QLabel* makeSymbolLabel(const QString& symbol, int size, const QColor& tint, QWidget* parent = nullptr);

} // namespace vmk::chrome
