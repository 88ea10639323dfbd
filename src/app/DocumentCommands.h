#pragma once

#include "app/Commands.h"

#include <QSet>
#include <QString>

namespace vmk::app {

// What the validation of a document window's commands looks at, taken from its editor and canvas.
struct DocumentCommandState {
    bool locked = false;
    int mode = 0;                 // editor mode raw value
    int tool = 0;                 // tool position 0…11
    int displayMode = 1;          // 0 single page, 1 continuous, 2 two pages, 3 two pages continuous
    bool hasTextSelection = false; // the canvas's current selection has text
    bool hasSearchHits = false;
    bool canGoBack = false;
    bool canGoForward = false;
    bool passwordProtected = false;
    bool progressShowing = false; // a long task shows progress
    bool sidebarOpen = false;
    bool inspectorOpen = false;
    bool hasSelectedAnnotation = false; // the canvas has an annotation selected
    bool hasOrganizerSelection = false; // pages are selected in the page grid
};

// The commands a document window controller answers to.
const QSet<QString>& documentWindowCommands();

// Enabled state and check mark of a document command. A locked document leaves only the Read mode and
// Find… among them; long tasks showing progress disable the commands that would start another.
CommandValidation validateDocumentCommand(const DocumentCommandState& state, const QString& action, int tag);

} // namespace vmk::app
