#include "app/DocumentCommands.h"

namespace vmk::app {

const QSet<QString>& documentWindowCommands()
{
    static const QSet<QString> commands = {
        "selectMode:", "selectTool:", "zoomInPDF:", "zoomOutPDF:", "zoomActualSize:", "zoomToFitPage:",
        "zoomToFitWidth:", "setDisplayModeTag:", "rotatePageLeft:", "rotatePageRight:", "goToPageNumber:",
        "nextPDFPage:", "previousPDFPage:", "firstPDFPage:", "lastPDFPage:", "navigateBack:", "navigateForward:",
        "findInDocument:", "findNextResult:", "findPreviousResult:", "useSelectionForFind:", "showSidebarTab:",
        "startSlideshow:", "exportImages:", "exportText:", "exportCompressed:", "exportFlattened:",
        "protectDocument:", "removeDocumentPassword:", "makeSearchable:", "applyRedactions:", "newSignature:",
        "markupSelection:", "insertPagesFromFile:", "insertBlankPage:", "startCrop:", "toggleSidebar:",
        "toggleInspector:", "delete:",
    };
    return commands;
}

CommandValidation validateDocumentCommand(const DocumentCommandState& s, const QString& action, int tag)
{
    const bool L = s.locked;
    CommandValidation v;
    if (action == QLatin1String("selectMode:")) {
        v.checked = tag == s.mode;
        v.enabled = !L || tag == 0;
        return v;
    }
    if (action == QLatin1String("selectTool:")) {
        v.checked = s.mode == 1 && tag >= 0 && tag <= 11 && tag == s.tool;
        v.enabled = !L;
        return v;
    }
    if (action == QLatin1String("setDisplayModeTag:")) {
        v.checked = tag >= 0 && tag <= 3 && tag == s.displayMode;
        v.enabled = !L;
        return v;
    }
    if (action == QLatin1String("markupSelection:")) {
        v.enabled = !L && s.hasTextSelection && s.mode != 4;
        return v;
    }
    if (action == QLatin1String("useSelectionForFind:")) {
        v.enabled = s.hasTextSelection;
        return v;
    }
    if (action == QLatin1String("findNextResult:") || action == QLatin1String("findPreviousResult:")) {
        v.enabled = s.hasSearchHits;
        return v;
    }
    // Delete removes the selected pages in Pages mode and the selected annotation elsewhere.
    if (action == QLatin1String("delete:")) {
        v.enabled = !L && (s.mode == 4 ? s.hasOrganizerSelection : s.hasSelectedAnnotation);
        return v;
    }
    if (action == QLatin1String("navigateBack:")) {
        v.enabled = s.canGoBack;
        return v;
    }
    if (action == QLatin1String("navigateForward:")) {
        v.enabled = s.canGoForward;
        return v;
    }
    if (action == QLatin1String("protectDocument:")) {
        v.enabled = !L;
        return v;
    }
    if (action == QLatin1String("removeDocumentPassword:")) {
        v.enabled = !L && s.passwordProtected;
        return v;
    }
    static const QSet<QString> taskCommands = {
        "makeSearchable:", "applyRedactions:", "exportCompressed:", "exportImages:", "exportText:",
        "exportFlattened:", "startSlideshow:", "insertBlankPage:", "insertPagesFromFile:", "rotatePageLeft:",
        "rotatePageRight:", "startCrop:", "newSignature:",
    };
    if (taskCommands.contains(action)) {
        v.enabled = !L && !s.progressShowing;
        return v;
    }
    // The panes can be shown or hidden whatever the document's state; the title says which.
    if (action == QLatin1String("toggleSidebar:")) {
        v.title = s.sidebarOpen ? QStringLiteral("Hide Sidebar") : QStringLiteral("Show Sidebar");
        return v;
    }
    if (action == QLatin1String("toggleInspector:")) {
        v.title = s.inspectorOpen ? QStringLiteral("Hide Inspector") : QStringLiteral("Show Inspector");
        return v;
    }
    v.enabled = !L || action == QLatin1String("findInDocument:");
    return v;
}

} // namespace vmk::app
