#pragma once

#include <QString>

class QLabel;
class QMessageBox;

namespace vmk::platform {

// Text from outside the program (file names, a document's metadata, outline titles, page text) is shown
// exactly as written, never read as markup: a file named "<h1>Warning</h1>.pdf" must not draw a heading.

// Makes the message and the informative text of a box plain. Call after setting both.
void makePlain(QMessageBox& box);
// A label that shows its text literally.
void makePlain(QLabel& label);
// A tool tip that shows text literally (Qt guesses markup in tool tips and offers no switch).
QString plainToolTip(const QString& text);

} // namespace vmk::platform
