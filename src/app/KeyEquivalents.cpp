#include "app/KeyEquivalents.h"

namespace vmk::app {

namespace {

KeyEquivalent key(const char* action, int tag, std::initializer_list<const char*> keys, const char* note = "")
{
    KeyEquivalent k;
    k.action = QString::fromLatin1(action);
    k.tag = tag;
    for (const char* s : keys)
        k.keys << QKeySequence(QString::fromLatin1(s));
    k.note = QString::fromLatin1(note);
    return k;
}

} // namespace

const QList<KeyEquivalent>& keyEquivalentTable()
{
    static const QList<KeyEquivalent> table = {
        // Application
        key("hide:", 0, {"Ctrl+H"}),
        key("terminate:", 0, {"Ctrl+Q"}),
        // File
        key("openDocument:", 0, {"Ctrl+O"}),
        key("combinePDFs:", 0, {"Ctrl+Alt+O"}),
        key("performClose:", 0, {"Ctrl+W"}),
        key("saveDocument:", 0, {"Ctrl+S"}),
        key("duplicateDocument:", 0, {"Ctrl+Shift+S"}),
        key("saveDocumentAs:", 0, {"Ctrl+Alt+Shift+S"}),
        key("exportCompressed:", 0, {"Ctrl+Alt+E"}),
        key("exportImages:", 0, {"Ctrl+Shift+E"}),
        key("protectDocument:", 0, {"Ctrl+Shift+L"}, "Ctrl+Alt+L locks the screen on common desktops"),
        key("runPageLayout:", 0, {"Ctrl+Shift+P"}),
        key("printDocument:", 0, {"Ctrl+P"}),
        // Edit
        key("undo:", 0, {"Ctrl+Z"}),
        key("redo:", 0, {"Ctrl+Shift+Z"}),
        key("cut:", 0, {"Ctrl+X"}),
        key("copy:", 0, {"Ctrl+C"}),
        key("paste:", 0, {"Ctrl+V"}),
        key("selectAll:", 0, {"Ctrl+A"}),
        key("findInDocument:", 0, {"Ctrl+F"}),
        key("findNextResult:", 0, {"Ctrl+G"}),
        key("findPreviousResult:", 0, {"Ctrl+Shift+G"}),
        key("useSelectionForFind:", 0, {"Ctrl+E"}),
        // View
        key("toggleSidebar:", 0, {"Ctrl+Alt+S"}, "desktops keep the Super key for themselves"),
        key("toggleInspector:", 0, {"Ctrl+Alt+I"}),
        key("showSidebarTab:", 0, {"Ctrl+Alt+2"}),
        key("showSidebarTab:", 1, {"Ctrl+Alt+3"}),
        key("showSidebarTab:", 2, {"Ctrl+Alt+4"}),
        key("zoomActualSize:", 0, {"Ctrl+0"}),
        key("zoomToFitPage:", 0, {"Ctrl+9"}),
        key("zoomToFitWidth:", 0, {"Ctrl+8"}),
        // Both Ctrl++ and Ctrl+= zoom in, from the one visible item.
        key("zoomInPDF:", 0, {"Ctrl++", "Ctrl+="}),
        key("zoomOutPDF:", 0, {"Ctrl+-"}),
        key("rotatePageLeft:", 0, {"Ctrl+L"}),
        key("rotatePageRight:", 0, {"Ctrl+R"}),
        key("startSlideshow:", 0, {"Ctrl+Shift+F"}),
        key("toggleFullScreen:", 0, {"F11"}, "F11 is the desktop's full-screen key"),
        // Go
        key("previousPDFPage:", 0, {"Ctrl+PgUp"}, "Ctrl+Alt+arrows switch workspaces on common desktops"),
        key("nextPDFPage:", 0, {"Ctrl+PgDown"}, "Ctrl+Alt+arrows switch workspaces on common desktops"),
        key("firstPDFPage:", 0, {"Home"}),
        key("lastPDFPage:", 0, {"End"}),
        key("navigateBack:", 0, {"Ctrl+["}),
        key("navigateForward:", 0, {"Ctrl+]"}),
        key("goToPageNumber:", 0, {"Ctrl+Alt+G"}),
        // Tools
        key("selectMode:", 0, {"Ctrl+1"}),
        key("selectMode:", 1, {"Ctrl+2"}),
        key("selectMode:", 2, {"Ctrl+3"}),
        key("selectMode:", 3, {"Ctrl+4"}),
        key("selectMode:", 4, {"Ctrl+5"}),
        key("selectMode:", 5, {"Ctrl+6"}),
        key("markupSelection:", 0, {"Ctrl+Alt+H"}, "desktops keep the Super key for themselves"),
        key("markupSelection:", 1, {"Ctrl+Alt+U"}, "desktops keep the Super key for themselves"),
        key("markupSelection:", 2, {"Ctrl+Alt+K"}, "desktops keep the Super key for themselves"),
        key("startCrop:", 0, {"Ctrl+K"}),
        key("newSignature:", 0, {"Ctrl+Shift+N"}, "desktops keep the Super key for themselves"),
        key("insertBlankPage:", 0, {"Ctrl+Alt+N"}),
        key("insertPagesFromFile:", 0, {"Ctrl+Shift+I"}),
        key("makeSearchable:", 0, {"Ctrl+Alt+R"}),
        // Window
        key("performMiniaturize:", 0, {"Ctrl+M"}),
        key("showWelcome:", 0, {"Ctrl+Shift+1"}),
        // Help
        key("openSupport:", 0, {"F1"}, "F1 is the desktop's help key"),
    };
    return table;
}

QList<QKeySequence> keyEquivalentsFor(const QString& action, int tag)
{
    for (const auto& k : keyEquivalentTable())
        if (k.action == action && k.tag == tag)
            return k.keys;
    return {};
}

} // namespace vmk::app
