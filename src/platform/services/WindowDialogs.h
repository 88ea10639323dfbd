#pragma once

#include <QString>

class QDialog;
class QFileDialog;
class QWidget;

namespace vmk::platform {

// Dialogs that belong to one window: the window manager keeps them over it and groups them with it, they
// block that window alone and offer no minimise or maximise button. Their title is a few words; what they
// have to say is inside them.

// Makes `dialog` (already a child of its window) such a dialog.
void belongToWindow(QDialog* dialog);

// Where a file dialog about a document starts: the document's folder, or for a document not yet saved
// (an empty path) the user's documents folder, else the home folder. Never the folder the program was
// started from.
QString startFolderFor(const QString& documentPath);

// A file dialog on `window`, starting in `folder`, deleted once closed. A `message` shows above the files, in Qt's own dialog
// (a desktop's dialog has no room for one).
QFileDialog* windowFileDialog(QWidget* window, const QString& title, const QString& message, const QString& folder);

} // namespace vmk::platform
