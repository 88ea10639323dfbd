#pragma once

#include <QString>

class QLabel;
class QMessageBox;

namespace vmk::platform {

// Text from outside the program (file names, a document's metadata, outline titles, page text) is shown
// exactly as written, never read as markup: a file named "<h1>Warning</h1>.pdf" must not draw a heading.

// Makes the message and the informative text of a box plain, and lets both wrap. Call after setting both.
void makePlain(QMessageBox& box);
// The text with invisible break points inside runs that hold no place to break a line (paths, long file
// names), so a wrapping label never grows past its room or cuts them off. Ordinary words stay whole.
QString breakableText(const QString& text);
// A label that shows its text literally.
void makePlain(QLabel& label);
// A tool tip that shows text literally (Qt guesses markup in tool tips and offers no switch).
QString plainToolTip(const QString& text);

} // namespace vmk::platform
