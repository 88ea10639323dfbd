#include "app/DocumentWindowController.h"

#include "app/Commands.h"
#include "chrome/CanvasRoot.h"
#include "chrome/ModeSwitcher.h"
#include "core/VMKDocument.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"
#include "platform/services/TempFiles.h"
#include "platform/services/UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QUuid>

namespace vmk::app {

namespace {

const QString kToolbarKey = QStringLiteral("VMKToolbarItems");

// Shift+Return in the search field steps back through the hits; the field itself treats it as Return.
class PreviousHitKey : public QObject {
public:
    PreviousHitKey(QObject* parent, std::function<void()> previous)
        : QObject(parent), m_previous(std::move(previous))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && (key->modifiers() & Qt::ShiftModifier)) {
                m_previous();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_previous;
};

// The search field: 200 wide where there is room; in a narrow window it gives up width before the
// toolbar would move it into its overflow menu, out of sight.
class SearchField : public QLineEdit {
public:
    SearchField()
    {
        setMinimumWidth(72);
        setMaximumWidth(200);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {200, QLineEdit::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {72, QLineEdit::minimumSizeHint().height()}; }
};

QWidget* flexibleSpace()
{
    auto* space = new QWidget;
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return space;
}

// The toolbar's items address their own window, whichever window is key (a sheet or another window
// may be in front while they are validated or clicked).
QAction* commandAction(QToolBar* bar, DocumentWindowController* target, const QString& symbol, const QString& label,
                       const QString& toolTip, const QString& action, int tag = 0)
{
    const QColor tint = bar->palette().color(QPalette::WindowText);
    auto* item = bar->addAction(platform::symbolIcon(symbol, tint), label);
    item->setProperty("symbol", symbol);
    item->setToolTip(toolTip);
    setCommandOf(item, action, tag);
    QObject::connect(item, &QAction::triggered, target, [target, action, tag] {
        if (target->validateCommand(action, tag).enabled) {
            target->performCommand(action, tag);
            CommandRouter::shared().invalidate();
        }
    });
    return item;
}

// The toolbar's "more items" button, drawn in the text colour: the style's own arrow nearly vanishes
// on a dark toolbar.
QIcon moreItemsIcon(const QColor& tint, qreal dpr)
{
    QPixmap pixmap(QSize(16, 16) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(tint, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (double x : {4.0, 9.0})
        painter.drawPolyline(QPolygonF{{x, 4.0}, {x + 4.0, 8.0}, {x, 12.0}});
    return QIcon(pixmap);
}

// Calls back when the watched widget's palette changes.
class PaletteFollower : public QObject {
public:
    PaletteFollower(QObject* parent, std::function<void()> changed) : QObject(parent), m_changed(std::move(changed)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange && m_changed)
            m_changed();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_changed;
};

} // namespace

void DocumentWindowController::tintToolbarIcons()
{
    const QColor tint = m_toolbar->palette().color(QPalette::WindowText);
    for (QAction* item : m_toolbar->actions())
        if (const QString symbol = item->property("symbol").toString(); !symbol.isEmpty())
            item->setIcon(platform::symbolIcon(symbol, tint));
    if (m_shareButton)
        m_shareButton->setIcon(platform::symbolIcon(QStringLiteral("square.and.arrow.up"), tint));
    if (auto* more = m_toolbar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setIcon(moreItemsIcon(tint, m_toolbar->devicePixelRatioF()));
}

void DocumentWindowController::buildToolbar()
{
    m_toolbar = new QToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("VellumarkToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->setIconSize(QSize(18, 18));
    m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);

    QAction* sidebarItem = commandAction(m_toolbar, this, QStringLiteral("sidebar.left"), QStringLiteral("Sidebar"),
                                         QStringLiteral("Show Sidebar"), QStringLiteral("toggleSidebar:"));
    sidebarItem->setObjectName(QStringLiteral("toggleSidebar"));
    m_toolbarItems.insert(QStringLiteral("toggleSidebar"), {sidebarItem});
    m_toolbar->addSeparator();

    // "VMK.zoom": two momentary buttons.
    const QColor tint = m_toolbar->palette().color(QPalette::WindowText);
    auto* zoomOut = m_toolbar->addAction(platform::symbolIcon(QStringLiteral("minus.magnifyingglass"), tint), QStringLiteral("Zoom Out"));
    zoomOut->setObjectName(QStringLiteral("VMK.zoom.out"));
    zoomOut->setProperty("symbol", QStringLiteral("minus.magnifyingglass"));
    zoomOut->setToolTip(QStringLiteral("Zoom Out (Ctrl+−)"));
    connect(zoomOut, &QAction::triggered, this, [this] { zoomSegment(0); });
    auto* zoomIn = m_toolbar->addAction(platform::symbolIcon(QStringLiteral("plus.magnifyingglass"), tint), QStringLiteral("Zoom In"));
    zoomIn->setObjectName(QStringLiteral("VMK.zoom.in"));
    zoomIn->setProperty("symbol", QStringLiteral("plus.magnifyingglass"));
    zoomIn->setToolTip(QStringLiteral("Zoom In (Ctrl++)"));
    connect(zoomIn, &QAction::triggered, this, [this] { zoomSegment(1); });
    m_toolbarItems.insert(QStringLiteral("VMK.zoom"), {zoomOut, zoomIn});

    m_toolbar->addWidget(flexibleSpace());
    // "VMK.mode": the mode switcher in the middle, sized for the six titles whatever the selection.
    m_modeSwitcher = new chrome::ModeSwitcher;
    m_modeSwitcher->setObjectName(QStringLiteral("VMK.mode"));
    m_modeSwitcher->setToolTip(QStringLiteral("Mode"));
    m_modeSwitcher->setReduceMotionProvider([] { return platform::reduceMotionEnabled(); });
    QPointer<DocumentWindowController> self(this);
    m_modeSwitcher->setSelectAction([self](int mode) {
        if (self)
            if (const auto m = editorModeFromRaw(mode))
                self->applyMode(*m);
    });
    m_toolbarItems.insert(QStringLiteral("VMK.mode"), {m_toolbar->addWidget(m_modeSwitcher)});
    m_toolbar->addWidget(flexibleSpace());

    // "VMK.share"
    m_shareButton = new QToolButton;
    m_shareButton->setObjectName(QStringLiteral("VMK.share"));
    m_shareButton->setIcon(platform::symbolIcon(QStringLiteral("square.and.arrow.up"), tint));
    m_shareButton->setToolTip(QStringLiteral("Share"));
    m_shareButton->setAutoRaise(true);
    connect(m_shareButton, &QToolButton::clicked, this, [this] { shareDocument(); });
    m_toolbarItems.insert(QStringLiteral("VMK.share"), {m_toolbar->addWidget(m_shareButton)});
    // The two items customising may add, off until then: a fixed space and Print.
    auto* space = new QWidget;
    space->setFixedWidth(24);
    m_toolbarItems.insert(QStringLiteral("space"), {m_toolbar->addWidget(space)});
    QAction* print = commandAction(m_toolbar, this, QStringLiteral("printer"), QStringLiteral("Print"),
                                   QStringLiteral("Print"), QStringLiteral("printDocument:"));
    print->setObjectName(QStringLiteral("print"));
    m_toolbarItems.insert(QStringLiteral("print"), {print});

    // "VMK.search": searches once typing pauses; Return goes to the next hit, Shift+Return to the previous.
    m_searchField = new SearchField;
    m_searchField->setObjectName(QStringLiteral("VMK.search"));
    m_searchField->setPlaceholderText(QStringLiteral("Search"));
    m_searchField->setClearButtonEnabled(true);
    m_toolbarItems.insert(QStringLiteral("VMK.search"), {m_toolbar->addWidget(m_searchField)});
    connect(m_searchField, &QLineEdit::textEdited, this, [this](const QString& text) { scheduleSearch(text); });
    // The clear button changes the text without an edit.
    connect(m_searchField, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && !m_editor->searchText().isEmpty())
            searchNow(text);
    });
    connect(m_searchField, &QLineEdit::returnPressed, this, [this] {
        if (m_pendingSearch.isPending() || m_searchField->text() != m_editor->searchText())
            searchNow(m_searchField->text());
        else
            m_editor->nextHit();
    });
    m_searchField->installEventFilter(new PreviousHitKey(m_searchField, [this] {
        if (m_pendingSearch.isPending() || m_searchField->text() != m_editor->searchText())
            searchNow(m_searchField->text());
        else
            m_editor->previousHit();
    }));
    // Another view (the search list of the sidebar) may start a search: the field shows its text.
    connect(m_editor.get(), &Editor::searchTextChanged, this, [this](const QString& text) {
        if (m_searchField->text() != text && !m_pendingSearch.isPending()) {
            const QSignalBlocker block(m_searchField);
            m_searchField->setText(text);
        }
    });

    m_toolbar->addSeparator();
    QAction* inspectorItem = commandAction(m_toolbar, this, QStringLiteral("sidebar.right"), QStringLiteral("Inspector"),
                                           QStringLiteral("Show Inspector"), QStringLiteral("toggleInspector:"));
    inspectorItem->setObjectName(QStringLiteral("toggleInspector"));
    m_toolbarItems.insert(QStringLiteral("toggleInspector"), {inspectorItem});

    // Customising: a right-click on the toolbar shows or hides each item it allows.
    m_toolbar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_toolbar, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(m_toolbar);
        fillToolbarMenu(&menu);
        menu.exec(m_toolbar->mapToGlobal(at));
    });
    applyToolbarItems(toolbarItemsShown());
    tintToolbarIcons();
    // The appearance can change while the window is open (the desktop's light or dark preference).
    m_toolbar->installEventFilter(new PaletteFollower(m_toolbar, [this] { tintToolbarIcons(); }));

    auto validate = [this, bar = QPointer<QToolBar>(m_toolbar)] {
        if (!bar)
            return;
        for (QAction* a : bar->actions())
            if (const auto c = commandOf(a)) {
                const CommandValidation v = validateCommand(c->action, c->tag);
                a->setEnabled(v.enabled);
                if (v.title)
                    a->setToolTip(*v.title);
            }
    };
    connect(&CommandRouter::shared(), &CommandRouter::validationNeeded, this, validate);
}

const QStringList& DocumentWindowController::toolbarItemOrder()
{
    static const QStringList order{QStringLiteral("toggleSidebar"), QStringLiteral("VMK.zoom"), QStringLiteral("VMK.mode"),
                                   QStringLiteral("VMK.share"), QStringLiteral("space"), QStringLiteral("print"),
                                   QStringLiteral("VMK.search"), QStringLiteral("toggleInspector")};
    return order;
}

QStringList DocumentWindowController::defaultToolbarItems()
{
    QStringList shown = toolbarItemOrder();
    shown.removeAll(QStringLiteral("space"));
    shown.removeAll(QStringLiteral("print"));
    return shown;
}

QStringList DocumentWindowController::toolbarItemsShown() const
{
    const QVariant saved = platform::UserDefaults::standard().object(kToolbarKey);
    if (!saved.isValid())
        return defaultToolbarItems();
    QStringList shown;
    for (const QString& id : saved.toStringList())
        if (toolbarItemOrder().contains(id))
            shown << id;
    return shown;
}

void DocumentWindowController::applyToolbarItems(const QStringList& shown)
{
    for (auto it = m_toolbarItems.cbegin(); it != m_toolbarItems.cend(); ++it)
        for (QAction* item : it.value())
            item->setVisible(shown.contains(it.key()));
}

void DocumentWindowController::setToolbarItemShown(const QString& id, bool shown)
{
    if (!toolbarItemOrder().contains(id))
        return;
    QStringList items = toolbarItemsShown();
    items.removeAll(id);
    if (shown)
        items << id;
    platform::UserDefaults::standard().set(kToolbarKey, items);
    // Every window's toolbar follows, as one configuration.
    emit CommandRouter::shared().toolbarConfigurationChanged(items);
}

void DocumentWindowController::fillToolbarMenu(QMenu* menu)
{
    static const QHash<QString, QString> titles{
        {QStringLiteral("toggleSidebar"), QStringLiteral("Sidebar")}, {QStringLiteral("VMK.zoom"), QStringLiteral("Zoom")},
        {QStringLiteral("VMK.mode"), QStringLiteral("Mode")}, {QStringLiteral("VMK.share"), QStringLiteral("Share")},
        {QStringLiteral("space"), QStringLiteral("Space")}, {QStringLiteral("print"), QStringLiteral("Print")},
        {QStringLiteral("VMK.search"), QStringLiteral("Search")}, {QStringLiteral("toggleInspector"), QStringLiteral("Inspector")}};
    const QStringList shown = toolbarItemsShown();
    for (const QString& id : toolbarItemOrder()) {
        QAction* item = menu->addAction(titles.value(id));
        item->setCheckable(true);
        item->setChecked(shown.contains(id));
        item->setData(id);
        connect(item, &QAction::toggled, this, [this, id](bool on) { setToolbarItemShown(id, on); });
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("Use Default Items"), this, [] {
        platform::UserDefaults::standard().remove(kToolbarKey);
        emit CommandRouter::shared().toolbarConfigurationChanged(defaultToolbarItems());
    });
}

void DocumentWindowController::scheduleSearch(const QString& text)
{
    m_pendingSearch.cancel();
    QPointer<DocumentWindowController> self(this);
    m_pendingSearch = m_editor->scheduler().schedule(kSearchDelay, [self, text] {
        if (self)
            self->m_editor->search(text);
    });
}

void DocumentWindowController::searchNow(const QString& text)
{
    m_pendingSearch.cancel();
    if (m_searchField && m_searchField->text() != text) {
        const QSignalBlocker block(m_searchField);
        m_searchField->setText(text);
    }
    m_editor->search(text);
}

void DocumentWindowController::beginFind()
{
    if (!m_searchField)
        return;
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
}

void DocumentWindowController::zoomSegment(int index)
{
    if (m_editor->isLocked())
        return;
    m_editor->zoomStep(index == 0 ? 0.8 : 1.25);
}

QString DocumentWindowController::shareableFile()
{
    // A fresh folder per copy keeps the document's own name on the file without clashing with
    // another copy; the folder is private to the user and goes when the window closes (or, after a
    // crash, at the next start).
    const QString dir = platform::temporaryPrivateFolder();
    if (dir.isEmpty())
        return {};
    const QString path = QDir(dir).filePath(m_editor->documentBaseName() + QStringLiteral(".pdf"));
    commitPendingEdits();
    // Written the way a Save To writes: the content as it is now, with a pending password applied.
    if (m_document->saveToPath(path, platform::SaveOperation::SaveTo)) {
        platform::removeTemporaryPrivateFolder(dir);
        return {};
    }
    platform::makeFilePrivate(path);
    m_sharedCopies << dir;
    return path;
}

void DocumentWindowController::shareDocument()
{
    const QString path = shareableFile();
    if (path.isEmpty())
        return;
    QMenu menu(m_window);
    menu.addAction(QStringLiteral("Copy File"), [path] {
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(path)});
        QApplication::clipboard()->setMimeData(mime);
    });
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-email")).isEmpty())
        menu.addAction(QStringLiteral("Email…"), [path] {
            QProcess::startDetached(QStringLiteral("xdg-email"), {QStringLiteral("--attach"), path});
        });
    menu.exec(m_shareButton->mapToGlobal(QPoint(0, m_shareButton->height())));
}

} // namespace vmk::app
