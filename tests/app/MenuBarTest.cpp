#include "app/Commands.h"
#include "app/DocumentCommands.h"
#include "app/KeyEquivalents.h"
#include "app/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <gtest/gtest.h>

#include <memory>

using namespace vmk::app;

namespace {

struct Item {
    const char* menu;
    const char* title;
    const char* action;
    int tag;
    const char* key; // "" for none
};

// Every command item, in menu order, with its shortcut.
const Item kItems[] = {
    {"Vellumark", "About Vellumark", "showAbout:", 0, ""},
    {"Vellumark", "Hide Vellumark", "hide:", 0, "Ctrl+H"},
    {"Vellumark", "Show All", "unhideAllApplications:", 0, ""},
    {"Vellumark", "Quit Vellumark", "terminate:", 0, "Ctrl+Q"},
    {"File", "Open…", "openDocument:", 0, "Ctrl+O"},
    {"Open Recent", "Clear Menu", "clearRecentDocuments:", 0, ""},
    {"File", "Combine PDFs…", "combinePDFs:", 0, "Ctrl+Alt+O"},
    {"File", "Close", "performClose:", 0, "Ctrl+W"},
    {"File", "Save…", "saveDocument:", 0, "Ctrl+S"},
    {"File", "Duplicate", "duplicateDocument:", 0, "Ctrl+Shift+S"},
    {"File", "Save As…", "saveDocumentAs:", 0, "Ctrl+Alt+Shift+S"},
    {"File", "Rename…", "renameDocument:", 0, ""},
    {"File", "Move To…", "moveDocument:", 0, ""},
    {"File", "Revert To Saved", "revertDocumentToSaved:", 0, ""},
    {"Export", "As Images…", "exportImages:", 0, "Ctrl+Shift+E"},
    {"Export", "As Text…", "exportText:", 0, ""},
    {"Export", "As PDF…", "saveDocumentTo:", 0, ""},
    {"File", "Export Compressed…", "exportCompressed:", 0, "Ctrl+Alt+E"},
    {"File", "Export Flattened…", "exportFlattened:", 0, ""},
    {"File", "Password Protect…", "protectDocument:", 0, "Ctrl+Shift+L"},
    {"File", "Remove Password…", "removeDocumentPassword:", 0, ""},
    {"File", "Page Setup…", "runPageLayout:", 0, "Ctrl+Shift+P"},
    {"File", "Print…", "printDocument:", 0, "Ctrl+P"},
    {"Edit", "Undo", "undo:", 0, "Ctrl+Z"},
    {"Edit", "Redo", "redo:", 0, "Ctrl+Shift+Z"},
    {"Edit", "Cut", "cut:", 0, "Ctrl+X"},
    {"Edit", "Copy", "copy:", 0, "Ctrl+C"},
    {"Edit", "Paste", "paste:", 0, "Ctrl+V"},
    {"Edit", "Delete", "delete:", 0, ""},
    {"Edit", "Select All", "selectAll:", 0, "Ctrl+A"},
    {"Find", "Find…", "findInDocument:", 0, "Ctrl+F"},
    {"Find", "Find Next", "findNextResult:", 0, "Ctrl+G"},
    {"Find", "Find Previous", "findPreviousResult:", 0, "Ctrl+Shift+G"},
    {"Find", "Use Selection for Find", "useSelectionForFind:", 0, "Ctrl+E"},
    {"View", "Show Sidebar", "toggleSidebar:", 0, "Ctrl+Alt+S"},
    {"View", "Show Inspector", "toggleInspector:", 0, "Ctrl+Alt+I"},
    {"View", "Thumbnails", "showSidebarTab:", 0, "Ctrl+Alt+2"},
    {"View", "Table of Contents", "showSidebarTab:", 1, "Ctrl+Alt+3"},
    {"View", "Search Results", "showSidebarTab:", 2, "Ctrl+Alt+4"},
    {"View", "Single Page", "setDisplayModeTag:", 0, ""},
    {"View", "Continuous Scroll", "setDisplayModeTag:", 1, ""},
    {"View", "Two Pages", "setDisplayModeTag:", 2, ""},
    {"View", "Two Pages Continuous", "setDisplayModeTag:", 3, ""},
    {"View", "Actual Size", "zoomActualSize:", 0, "Ctrl+0"},
    {"View", "Zoom to Fit", "zoomToFitPage:", 0, "Ctrl+9"},
    {"View", "Zoom to Width", "zoomToFitWidth:", 0, "Ctrl+8"},
    {"View", "Zoom In", "zoomInPDF:", 0, "Ctrl++"},
    {"View", "Zoom Out", "zoomOutPDF:", 0, "Ctrl+-"},
    {"View", "Rotate Left", "rotatePageLeft:", 0, "Ctrl+L"},
    {"View", "Rotate Right", "rotatePageRight:", 0, "Ctrl+R"},
    {"View", "Slideshow", "startSlideshow:", 0, "Ctrl+Shift+F"},
    {"View", "Enter Full Screen", "toggleFullScreen:", 0, "F11"},
    {"Go", "Previous Page", "previousPDFPage:", 0, "Ctrl+PgUp"},
    {"Go", "Next Page", "nextPDFPage:", 0, "Ctrl+PgDown"},
    {"Go", "First Page", "firstPDFPage:", 0, "Home"},
    {"Go", "Last Page", "lastPDFPage:", 0, "End"},
    {"Go", "Back", "navigateBack:", 0, "Ctrl+["},
    {"Go", "Forward", "navigateForward:", 0, "Ctrl+]"},
    {"Go", "Go to Page…", "goToPageNumber:", 0, "Ctrl+Alt+G"},
    {"Tools", "Read", "selectMode:", 0, "Ctrl+1"},
    {"Tools", "Annotate", "selectMode:", 1, "Ctrl+2"},
    {"Tools", "Edit", "selectMode:", 2, "Ctrl+3"},
    {"Tools", "Sign", "selectMode:", 3, "Ctrl+4"},
    {"Tools", "Pages", "selectMode:", 4, "Ctrl+5"},
    {"Tools", "Redact", "selectMode:", 5, "Ctrl+6"},
    {"Annotate", "Select", "selectTool:", 0, ""},
    {"Annotate", "Highlight", "selectTool:", 1, ""},
    {"Annotate", "Underline", "selectTool:", 2, ""},
    {"Annotate", "Strikethrough", "selectTool:", 3, ""},
    {"Annotate", "Pen", "selectTool:", 4, ""},
    {"Annotate", "Rectangle", "selectTool:", 5, ""},
    {"Annotate", "Ellipse", "selectTool:", 6, ""},
    {"Annotate", "Line", "selectTool:", 7, ""},
    {"Annotate", "Arrow", "selectTool:", 8, ""},
    {"Annotate", "Note", "selectTool:", 9, ""},
    {"Annotate", "Text Box", "selectTool:", 10, ""},
    {"Annotate", "Crop", "selectTool:", 11, ""},
    {"Tools", "Highlight Selection", "markupSelection:", 0, "Ctrl+Alt+H"},
    {"Tools", "Underline Selection", "markupSelection:", 1, "Ctrl+Alt+U"},
    {"Tools", "Strike Through Selection", "markupSelection:", 2, "Ctrl+Alt+K"},
    {"Tools", "Crop", "startCrop:", 0, "Ctrl+K"},
    {"Tools", "New Signature…", "newSignature:", 0, "Ctrl+Shift+N"},
    {"Tools", "Insert Blank Page", "insertBlankPage:", 0, "Ctrl+Alt+N"},
    {"Tools", "Insert Pages from File…", "insertPagesFromFile:", 0, "Ctrl+Shift+I"},
    {"Tools", "Make Searchable (OCR)", "makeSearchable:", 0, "Ctrl+Alt+R"},
    {"Tools", "Apply Redactions…", "applyRedactions:", 0, ""},
    {"Window", "Minimize", "performMiniaturize:", 0, "Ctrl+M"},
    {"Window", "Zoom", "performZoom:", 0, ""},
    {"Window", "Welcome to Vellumark", "showWelcome:", 0, "Ctrl+Shift+1"},
    {"Window", "Bring All to Front", "arrangeInFront:", 0, ""},
    {"Help", "Vellumark Help", "openSupport:", 0, "F1"},
    {"Help", "Privacy Policy", "openPrivacy:", 0, ""},
    {"Help", "Acknowledgements", "showAcknowledgements:", 0, ""},
};

QString menuTitleOf(QAction* action)
{
    for (QObject* p = action->parent(); p; p = p->parent())
        if (auto* menu = qobject_cast<QMenu*>(p))
            return menu->title();
    // Items are owned by their menu; QMenu::addAction parents the action to the menu.
    return {};
}

// A document window stand-in driven by a command state.
class FakeDocumentResponder : public CommandResponder {
public:
    DocumentCommandState state;
    QStringList performed;
    bool respondsToCommand(const QString& action) const override { return documentWindowCommands().contains(action); }
    CommandValidation validateCommand(const QString& action, int tag) const override
    {
        return validateDocumentCommand(state, action, tag);
    }
    void performCommand(const QString& action, int tag) override { performed << action + QString::number(tag); }
};

} // namespace

TEST(MenuBar, EveryItemExistsWithItsShortcut)
{
    std::unique_ptr<QMenuBar> bar(buildMainMenu());
    const QStringList tops = [&] {
        QStringList t;
        for (QAction* a : bar->actions())
            t << a->text();
        return t;
    }();
    EXPECT_EQ(tops, (QStringList{"Vellumark", "File", "Edit", "View", "Go", "Tools", "Window", "Help"}));

    const QList<QAction*> actions = commandActions(bar.get());
    ASSERT_EQ(actions.size(), int(std::size(kItems)));
    for (int i = 0; i < actions.size(); ++i) {
        const Item& want = kItems[i];
        QAction* got = actions[i];
        const auto command = commandOf(got);
        SCOPED_TRACE(want.title);
        EXPECT_EQ(got->text(), QString::fromUtf8(want.title));
        EXPECT_EQ(menuTitleOf(got), QString::fromUtf8(want.menu));
        EXPECT_EQ(command->action, QString::fromLatin1(want.action));
        EXPECT_EQ(command->tag, want.tag);
        EXPECT_EQ(got->shortcut(), QKeySequence(QString::fromLatin1(want.key)));
    }
    // Both Ctrl++ and Ctrl+= zoom in, from the one visible item.
    const QList<QAction*> zoomIn = [&] {
        QList<QAction*> z;
        for (QAction* a : actions)
            if (commandOf(a)->action == "zoomInPDF:")
                z << a;
        return z;
    }();
    ASSERT_EQ(zoomIn.size(), 1);
    EXPECT_TRUE(zoomIn[0]->shortcuts().contains(QKeySequence("Ctrl+=")));
}

TEST(MenuBar, ShortcutsNeverCollide)
{
    QHash<QKeySequence, QString> seen;
    for (const auto& k : keyEquivalentTable()) {
        for (const auto& key : k.keys) {
            EXPECT_FALSE(key.isEmpty()) << k.action.toStdString();
            const QString who = k.action + QString::number(k.tag);
            EXPECT_FALSE(seen.contains(key)) << key.toString().toStdString() << " used by " << seen.value(key).toStdString()
                                             << " and " << who.toStdString();
            seen.insert(key, who);
        }
    }
    // The tools carry their canvas letters as hints, not as shortcuts.
    std::unique_ptr<QMenuBar> bar(buildMainMenu());
    for (QAction* a : commandActions(bar.get())) {
        if (commandOf(a)->action == "selectTool:") {
            EXPECT_TRUE(a->toolTip().startsWith("Shortcut on the page: "));
        }
    }
}

TEST(MenuBar, ValidationFollowsTheDocumentState)
{
    FakeDocumentResponder doc;
    auto& router = CommandRouter::shared();
    QWidget window;
    router.setWindowResponder(&window, &doc);
    router.setKeyWindowOverride(&window);
    std::unique_ptr<QMenuBar> bar(buildMainMenu());
    auto find = [&](const char* action, int tag) -> QAction* {
        for (QAction* a : commandActions(bar.get()))
            if (commandOf(a)->action == action && commandOf(a)->tag == tag)
                return a;
        return nullptr;
    };

    doc.state.mode = 1;
    doc.state.tool = 4;
    doc.state.displayMode = 2;
    router.invalidate();
    EXPECT_TRUE(find("selectMode:", 1)->isChecked());
    EXPECT_FALSE(find("selectMode:", 0)->isChecked());
    EXPECT_TRUE(find("selectTool:", 4)->isChecked());
    EXPECT_TRUE(find("setDisplayModeTag:", 2)->isChecked());
    EXPECT_FALSE(find("findNextResult:", 0)->isEnabled()); // no hits yet
    EXPECT_FALSE(find("markupSelection:", 0)->isEnabled());
    EXPECT_FALSE(find("removeDocumentPassword:", 0)->isEnabled());
    EXPECT_TRUE(find("zoomInPDF:", 0)->isEnabled());

    // The tool's check mark shows only in Annotate mode.
    doc.state.mode = 0;
    router.invalidate();
    EXPECT_FALSE(find("selectTool:", 4)->isChecked());

    // Locked: Read is the only mode, Find… stays, the rest of the document's commands go.
    doc.state.locked = true;
    doc.state.hasTextSelection = true;
    router.invalidate();
    for (int tag = 0; tag < 6; ++tag)
        EXPECT_EQ(find("selectMode:", tag)->isEnabled(), tag == 0) << tag;
    EXPECT_TRUE(find("findInDocument:", 0)->isEnabled());
    EXPECT_TRUE(find("useSelectionForFind:", 0)->isEnabled());
    for (const char* a : {"zoomInPDF:", "setDisplayModeTag:", "nextPDFPage:", "showSidebarTab:", "exportText:",
                          "rotatePageLeft:", "selectTool:", "goToPageNumber:", "protectDocument:"})
        EXPECT_FALSE(find(a, 0)->isEnabled()) << a;

    // A long task showing progress disables the commands that would start another; zoom stays.
    doc.state.locked = false;
    doc.state.progressShowing = true;
    router.invalidate();
    for (const char* a : {"makeSearchable:", "applyRedactions:", "exportImages:", "startSlideshow:",
                          "insertBlankPage:", "rotatePageRight:", "startCrop:", "newSignature:", "exportCompressed:"})
        EXPECT_FALSE(find(a, 0)->isEnabled()) << a;
    EXPECT_TRUE(find("zoomInPDF:", 0)->isEnabled());
    EXPECT_TRUE(find("nextPDFPage:", 0)->isEnabled());

    // Markup needs selected text and is off in Pages mode.
    doc.state.progressShowing = false;
    doc.state.mode = 4;
    router.invalidate();
    EXPECT_FALSE(find("markupSelection:", 0)->isEnabled());

    // A command runs only while enabled, and only through a responder.
    doc.state.locked = true;
    EXPECT_FALSE(router.perform("selectMode:", 3));
    EXPECT_TRUE(router.perform("selectMode:", 0));
    EXPECT_EQ(doc.performed, QStringList{"selectMode:0"});
    EXPECT_FALSE(router.validate("noSuchCommand:", 0).enabled);

    router.removeWindowResponder(&window);
    router.setKeyWindowOverride(nullptr);
}

TEST(MenuBar, OpenRecentListsNewestFirstWithClearMenu)
{
    QStringList recents;
    QStringList opened;
    RecentMenuDelegate::shared().setSource([&] { return recents; }, [&](const QString& p) { opened << p; });
    QMenu menu;
    RecentMenuDelegate::shared().menuNeedsUpdate(&menu);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions()[0]->text(), "Clear Menu");
    EXPECT_EQ(commandOf(menu.actions()[0])->action, "clearRecentDocuments:");

    recents = {"/tmp/b/Report.pdf", "/tmp/a/Report.pdf", "/tmp/a/older.pdf"};
    RecentMenuDelegate::shared().menuNeedsUpdate(&menu);
    const auto items = menu.actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), "Report.pdf");
    EXPECT_EQ(items[1]->text(), "Report.pdf");
    EXPECT_EQ(items[2]->text(), "older.pdf");
    EXPECT_TRUE(items[3]->isSeparator());
    EXPECT_EQ(items[4]->text(), "Clear Menu");
    items[1]->trigger();
    EXPECT_EQ(opened, QStringList{"/tmp/a/Report.pdf"});
    RecentMenuDelegate::shared().setSource({}, {});
}

TEST(MenuBar, WindowMenuListsTheOpenWindowsAndBringsOneForward)
{
    std::unique_ptr<QMenuBar> bar(buildMainMenu());
    QMenu* windowMenu = nullptr;
    for (QAction* top : bar->actions())
        if (top->menu() && top->menu()->title() == "Window")
            windowMenu = top->menu();
    ASSERT_TRUE(windowMenu);
    QWidget report, letter;
    report.setWindowTitle("Report.pdf");
    letter.setWindowTitle("Letter.pdf[*]");
    letter.setWindowModified(true);
    report.show();
    letter.show();
    auto listed = [&] {
        QStringList titles;
        for (QAction* a : windowMenu->actions())
            if (a->property("openWindowItem").toBool() && !a->isSeparator())
                titles << a->text();
        return titles;
    };
    emit windowMenu->aboutToShow();
    EXPECT_TRUE(listed().contains("Report.pdf"));
    EXPECT_TRUE(listed().contains("Letter.pdf*"));
    // Opening the menu again lists each window once; a closed one is gone.
    letter.close();
    emit windowMenu->aboutToShow();
    EXPECT_EQ(listed().count("Report.pdf"), 1);
    EXPECT_FALSE(listed().contains("Letter.pdf*"));
    for (QAction* a : windowMenu->actions())
        if (a->text() == "Report.pdf")
            a->trigger();
    EXPECT_FALSE(report.isMinimized());
}

TEST(MenuBar, NoShortcutUsesTheSuperKeyOrKeysTheDesktopTakes)
{
    // Ctrl+Alt+arrows switch workspaces, Ctrl+Alt+L/T/D/Delete lock, open a terminal, show the desktop or
    // log out, and Ctrl+Shift+U starts Unicode input on common desktops.
    const QList<QKeySequence> taken{QKeySequence("Ctrl+Alt+Up"), QKeySequence("Ctrl+Alt+Down"),
                                    QKeySequence("Ctrl+Alt+Left"), QKeySequence("Ctrl+Alt+Right"),
                                    QKeySequence("Ctrl+Alt+L"), QKeySequence("Ctrl+Alt+T"), QKeySequence("Ctrl+Alt+D"),
                                    QKeySequence("Ctrl+Alt+Del"), QKeySequence("Ctrl+Shift+U")};
    for (const auto& k : keyEquivalentTable())
        for (const QKeySequence& key : k.keys) {
            EXPECT_FALSE(key[0].keyboardModifiers() & Qt::MetaModifier) << k.action.toStdString();
            EXPECT_FALSE(taken.contains(key)) << k.action.toStdString() << " " << key.toString().toStdString();
        }
}
