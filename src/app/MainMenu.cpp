#include "app/MainMenu.h"

#include "app/Commands.h"
#include "app/KeyEquivalents.h"

#include <QAction>
#include <QFileInfo>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include "platform/icons/SymbolIcons.h"

namespace vmk::app {

namespace {

QAction* addItem(QMenu* menu, const QString& title, const QString& action, int tag = 0)
{
    auto* item = menu->addAction(title);
    if (!action.isEmpty()) {
        setCommandOf(item, action, tag);
        const QList<QKeySequence> keys = keyEquivalentsFor(action, tag);
        if (!keys.isEmpty())
            item->setShortcuts(keys);
        QObject::connect(item, &QAction::triggered, item, [action, tag] { CommandRouter::shared().perform(action, tag); });
    }
    return item;
}

QMenu* addSubmenu(QMenu* parent, const QString& title)
{
    auto* sub = new QMenu(title, parent);
    sub->setObjectName(title);
    parent->addMenu(sub);
    return sub;
}

QMenu* topMenu(QMenuBar* bar, const QString& title)
{
    auto* menu = new QMenu(title, bar);
    menu->setObjectName(title);
    bar->addMenu(menu);
    return menu;
}

void buildAppMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("Vellumark"));
    addItem(m, QStringLiteral("About Vellumark"), QStringLiteral("showAbout:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Hide Vellumark"), QStringLiteral("hide:"));
    addItem(m, QStringLiteral("Show All"), QStringLiteral("unhideAllApplications:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Quit Vellumark"), QStringLiteral("terminate:"));
}

void buildFileMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("File"));
    addItem(m, QStringLiteral("Open…"), QStringLiteral("openDocument:"));
    QMenu* recent = addSubmenu(m, QStringLiteral("Open Recent"));
    QObject::connect(recent, &QMenu::aboutToShow, recent, [recent] { RecentMenuDelegate::shared().menuNeedsUpdate(recent); });
    RecentMenuDelegate::shared().menuNeedsUpdate(recent);
    addItem(m, QStringLiteral("Combine PDFs…"), QStringLiteral("combinePDFs:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Close"), QStringLiteral("performClose:"));
    addItem(m, QStringLiteral("Save…"), QStringLiteral("saveDocument:"));
    addItem(m, QStringLiteral("Duplicate"), QStringLiteral("duplicateDocument:"));
    // Menus here have no alternates shown while a modifier is held, so Save As… is an item of its own.
    addItem(m, QStringLiteral("Save As…"), QStringLiteral("saveDocumentAs:"));
    addItem(m, QStringLiteral("Rename…"), QStringLiteral("renameDocument:"));
    addItem(m, QStringLiteral("Move To…"), QStringLiteral("moveDocument:"));
    addItem(m, QStringLiteral("Revert To Saved"), QStringLiteral("revertDocumentToSaved:"));
    m->addSeparator();
    QMenu* exportMenu = addSubmenu(m, QStringLiteral("Export"));
    addItem(exportMenu, QStringLiteral("As Images…"), QStringLiteral("exportImages:"));
    addItem(exportMenu, QStringLiteral("As Text…"), QStringLiteral("exportText:"));
    addItem(exportMenu, QStringLiteral("As PDF…"), QStringLiteral("saveDocumentTo:"));
    addItem(m, QStringLiteral("Export Compressed…"), QStringLiteral("exportCompressed:"));
    addItem(m, QStringLiteral("Export Flattened…"), QStringLiteral("exportFlattened:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Password Protect…"), QStringLiteral("protectDocument:"));
    addItem(m, QStringLiteral("Remove Password…"), QStringLiteral("removeDocumentPassword:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Page Setup…"), QStringLiteral("runPageLayout:"));
    addItem(m, QStringLiteral("Print…"), QStringLiteral("printDocument:"));
}

void buildEditMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("Edit"));
    addItem(m, QStringLiteral("Undo"), QStringLiteral("undo:"));
    addItem(m, QStringLiteral("Redo"), QStringLiteral("redo:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Cut"), QStringLiteral("cut:"));
    addItem(m, QStringLiteral("Copy"), QStringLiteral("copy:"));
    addItem(m, QStringLiteral("Paste"), QStringLiteral("paste:"));
    addItem(m, QStringLiteral("Delete"), QStringLiteral("delete:"));
    addItem(m, QStringLiteral("Select All"), QStringLiteral("selectAll:"));
    m->addSeparator();
    QMenu* find = addSubmenu(m, QStringLiteral("Find"));
    addItem(find, QStringLiteral("Find…"), QStringLiteral("findInDocument:"));
    addItem(find, QStringLiteral("Find Next"), QStringLiteral("findNextResult:"));
    addItem(find, QStringLiteral("Find Previous"), QStringLiteral("findPreviousResult:"));
    addItem(find, QStringLiteral("Use Selection for Find"), QStringLiteral("useSelectionForFind:"));
}

void buildViewMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("View"));
    addItem(m, QStringLiteral("Show Sidebar"), QStringLiteral("toggleSidebar:"));
    addItem(m, QStringLiteral("Show Inspector"), QStringLiteral("toggleInspector:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Thumbnails"), QStringLiteral("showSidebarTab:"), 0);
    addItem(m, QStringLiteral("Table of Contents"), QStringLiteral("showSidebarTab:"), 1);
    addItem(m, QStringLiteral("Search Results"), QStringLiteral("showSidebarTab:"), 2);
    m->addSeparator();
    const char* displayTitles[] = {"Single Page", "Continuous Scroll", "Two Pages", "Two Pages Continuous"};
    for (int tag = 0; tag < 4; ++tag)
        addItem(m, QString::fromUtf8(displayTitles[tag]), QStringLiteral("setDisplayModeTag:"), tag)->setCheckable(true);
    m->addSeparator();
    addItem(m, QStringLiteral("Actual Size"), QStringLiteral("zoomActualSize:"));
    addItem(m, QStringLiteral("Zoom to Fit"), QStringLiteral("zoomToFitPage:"));
    addItem(m, QStringLiteral("Zoom to Width"), QStringLiteral("zoomToFitWidth:"));
    addItem(m, QStringLiteral("Zoom In"), QStringLiteral("zoomInPDF:"));
    addItem(m, QStringLiteral("Zoom Out"), QStringLiteral("zoomOutPDF:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Rotate Left"), QStringLiteral("rotatePageLeft:"));
    addItem(m, QStringLiteral("Rotate Right"), QStringLiteral("rotatePageRight:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Slideshow"), QStringLiteral("startSlideshow:"));
    addItem(m, QStringLiteral("Enter Full Screen"), QStringLiteral("toggleFullScreen:"));
}

void buildGoMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("Go"));
    addItem(m, QStringLiteral("Previous Page"), QStringLiteral("previousPDFPage:"));
    addItem(m, QStringLiteral("Next Page"), QStringLiteral("nextPDFPage:"));
    addItem(m, QStringLiteral("First Page"), QStringLiteral("firstPDFPage:"));
    addItem(m, QStringLiteral("Last Page"), QStringLiteral("lastPDFPage:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Back"), QStringLiteral("navigateBack:"));
    addItem(m, QStringLiteral("Forward"), QStringLiteral("navigateForward:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Go to Page…"), QStringLiteral("goToPageNumber:"));
}

void buildToolsMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("Tools"));
    const char* modes[] = {"Read", "Annotate", "Edit", "Sign", "Pages", "Redact"};
    for (int tag = 0; tag < 6; ++tag)
        addItem(m, QString::fromLatin1(modes[tag]), QStringLiteral("selectMode:"), tag)->setCheckable(true);
    m->addSeparator();
    QMenu* tools = addSubmenu(m, QStringLiteral("Annotate"));
    const char* titles[] = {"Select", "Highlight", "Underline", "Strikethrough", "Pen", "Rectangle",
                            "Ellipse", "Line", "Arrow", "Note", "Text Box", "Crop"};
    const char* letters = "VHUKPROLANTC";
    for (int tag = 0; tag < 12; ++tag) {
        QAction* item = addItem(tools, QString::fromLatin1(titles[tag]), QStringLiteral("selectTool:"), tag);
        item->setCheckable(true);
        item->setToolTip(QStringLiteral("Shortcut on the page: ") + QLatin1Char(letters[tag]));
    }
    tools->setToolTipsVisible(true);
    addItem(m, QStringLiteral("Highlight Selection"), QStringLiteral("markupSelection:"), 0);
    addItem(m, QStringLiteral("Underline Selection"), QStringLiteral("markupSelection:"), 1);
    addItem(m, QStringLiteral("Strike Through Selection"), QStringLiteral("markupSelection:"), 2);
    addItem(m, QStringLiteral("Crop"), QStringLiteral("startCrop:"));
    m->addSeparator();
    addItem(m, QStringLiteral("New Signature…"), QStringLiteral("newSignature:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Insert Blank Page"), QStringLiteral("insertBlankPage:"));
    addItem(m, QStringLiteral("Insert Pages from File…"), QStringLiteral("insertPagesFromFile:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Make Searchable (OCR)"), QStringLiteral("makeSearchable:"));
    addItem(m, QStringLiteral("Apply Redactions…"), QStringLiteral("applyRedactions:"));
}

void buildWindowMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("Window"));
    addItem(m, QStringLiteral("Minimize"), QStringLiteral("performMiniaturize:"));
    addItem(m, QStringLiteral("Zoom"), QStringLiteral("performZoom:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Welcome to Vellumark"), QStringLiteral("showWelcome:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Bring All to Front"), QStringLiteral("arrangeInFront:"));
    QObject::connect(m, &QMenu::aboutToShow, m, [m] { listOpenWindows(m); });
}

void buildHelpMenu(QMenuBar* bar)
{
    QMenu* m = topMenu(bar, QStringLiteral("Help"));
    addItem(m, QStringLiteral("Vellumark Help"), QStringLiteral("openSupport:"));
    addItem(m, QStringLiteral("Privacy Policy"), QStringLiteral("openPrivacy:"));
    m->addSeparator();
    addItem(m, QStringLiteral("Acknowledgements"), QStringLiteral("showAcknowledgements:"));
}

void collect(QMenu* menu, QList<QAction*>& out)
{
    for (QAction* a : menu->actions()) {
        if (a->menu())
            collect(a->menu(), out);
        else if (commandOf(a))
            out << a;
    }
}

} // namespace

RecentMenuDelegate& RecentMenuDelegate::shared()
{
    static RecentMenuDelegate delegate;
    return delegate;
}

void RecentMenuDelegate::setSource(std::function<QStringList()> recentPaths, std::function<void(const QString&)> open)
{
    m_paths = std::move(recentPaths);
    m_open = std::move(open);
}

void RecentMenuDelegate::menuNeedsUpdate(QMenu* menu)
{
    menu->clear();
    const QStringList paths = m_paths ? m_paths() : QStringList();
    const QIcon icon = platform::symbolIcon(QStringLiteral("doc"), menu->palette().color(QPalette::WindowText));
    for (const QString& path : paths) {
        QAction* item = menu->addAction(icon, QFileInfo(path).fileName());
        item->setData(path);
        QPointer<QAction> guard(item);
        connect(item, &QAction::triggered, this, [this, item] { openRecent(item); });
    }
    if (!paths.isEmpty())
        menu->addSeparator();
    addItem(menu, QStringLiteral("Clear Menu"), QStringLiteral("clearRecentDocuments:"));
    validateMenuItems(menu);
}

void RecentMenuDelegate::openRecent(const QAction* item)
{
    const QString path = item ? item->data().toString() : QString();
    if (path.isEmpty() || !m_open)
        return;
    m_open(path);
}

void listOpenWindows(QMenu* menu)
{
    for (QAction* old : menu->actions())
        if (old->property("openWindowItem").toBool()) {
            menu->removeAction(old);
            old->deleteLater();
        }
    QList<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->windowTitle().isEmpty()
            && (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog))
            windows << w;
    if (windows.isEmpty())
        return;
    std::sort(windows.begin(), windows.end(), [](QWidget* a, QWidget* b) {
        return QString::localeAwareCompare(a->windowTitle(), b->windowTitle()) < 0;
    });
    auto* separator = menu->addSeparator();
    separator->setProperty("openWindowItem", true);
    for (QWidget* w : windows) {
        QString title = w->windowTitle();
        title.replace(QLatin1String("[*]"), w->isWindowModified() ? QStringLiteral("*") : QString());
        QAction* item = menu->addAction(title);
        item->setProperty("openWindowItem", true);
        item->setCheckable(true);
        item->setChecked(w == QApplication::activeWindow());
        QPointer<QWidget> target(w);
        QObject::connect(item, &QAction::triggered, item, [target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            target->raise();
            target->activateWindow();
        });
    }
}

QMenuBar* buildMainMenu(QWidget* parent)
{
    auto* bar = new QMenuBar(parent);
    buildAppMenu(bar);
    buildFileMenu(bar);
    buildEditMenu(bar);
    buildViewMenu(bar);
    buildGoMenu(bar);
    buildToolsMenu(bar);
    buildWindowMenu(bar);
    buildHelpMenu(bar);
    for (QAction* top : bar->actions())
        if (QMenu* menu = top->menu())
            QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] { validateMenuItems(menu); });
    QPointer<QMenuBar> guard(bar);
    QObject::connect(&CommandRouter::shared(), &CommandRouter::validationNeeded, bar, [guard] {
        if (guard)
            validateMenuItems(guard);
    });
    validateMenuItems(bar);
    return bar;
}

QList<QAction*> commandActions(QMenuBar* bar)
{
    QList<QAction*> out;
    for (QAction* top : bar->actions())
        if (QMenu* menu = top->menu())
            collect(menu, out);
    return out;
}

void validateMenuItems(QWidget* menuOrBar)
{
    QList<QAction*> actions;
    if (auto* bar = qobject_cast<QMenuBar*>(menuOrBar))
        actions = commandActions(bar);
    else if (auto* menu = qobject_cast<QMenu*>(menuOrBar))
        collect(menu, actions);
    auto& router = CommandRouter::shared();
    for (QAction* a : actions) {
        const auto command = commandOf(a);
        const CommandValidation v = router.validate(command->action, command->tag);
        a->setEnabled(v.enabled);
        if (v.checked) {
            a->setCheckable(true);
            a->setChecked(*v.checked);
        }
        if (v.title)
            a->setText(*v.title);
    }
}

} // namespace vmk::app
