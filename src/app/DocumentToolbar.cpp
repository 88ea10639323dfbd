#include "app/DocumentWindowController.h"

#include "app/Commands.h"
#include "chrome/CanvasRoot.h"
#include "chrome/ModeSwitcher.h"
#include "core/VMKDocument.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/ReduceMotion.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QUuid>

namespace vmk::app {

namespace {

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

} // namespace

void DocumentWindowController::buildToolbar()
{
    m_toolbar = new QToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("VellumarkToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->setIconSize(QSize(18, 18));
    m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);

    commandAction(m_toolbar, this, QStringLiteral("sidebar.left"), QStringLiteral("Sidebar"), QStringLiteral("Show Sidebar"),
                  QStringLiteral("toggleSidebar:"))->setObjectName(QStringLiteral("toggleSidebar"));
    m_toolbar->addSeparator();

    // "VMK.zoom": two momentary buttons.
    const QColor tint = m_toolbar->palette().color(QPalette::WindowText);
    auto* zoomOut = m_toolbar->addAction(platform::symbolIcon(QStringLiteral("minus.magnifyingglass"), tint), QStringLiteral("Zoom Out"));
    zoomOut->setObjectName(QStringLiteral("VMK.zoom.out"));
    zoomOut->setToolTip(QStringLiteral("Zoom Out (Ctrl+−)"));
    connect(zoomOut, &QAction::triggered, this, [this] { zoomSegment(0); });
    auto* zoomIn = m_toolbar->addAction(platform::symbolIcon(QStringLiteral("plus.magnifyingglass"), tint), QStringLiteral("Zoom In"));
    zoomIn->setObjectName(QStringLiteral("VMK.zoom.in"));
    zoomIn->setToolTip(QStringLiteral("Zoom In (Ctrl++)"));
    connect(zoomIn, &QAction::triggered, this, [this] { zoomSegment(1); });

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
    m_toolbar->addWidget(m_modeSwitcher);
    m_toolbar->addWidget(flexibleSpace());

    // "VMK.share"
    m_shareButton = new QToolButton;
    m_shareButton->setObjectName(QStringLiteral("VMK.share"));
    m_shareButton->setIcon(platform::symbolIcon(QStringLiteral("square.and.arrow.up"), tint));
    m_shareButton->setToolTip(QStringLiteral("Share"));
    m_shareButton->setAutoRaise(true);
    connect(m_shareButton, &QToolButton::clicked, this, [this] { shareDocument(); });
    m_toolbar->addWidget(m_shareButton);

    // "VMK.search": searches once typing pauses; Return goes to the next hit, Shift+Return to the previous.
    m_searchField = new QLineEdit;
    m_searchField->setObjectName(QStringLiteral("VMK.search"));
    m_searchField->setPlaceholderText(QStringLiteral("Search"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setFixedWidth(200);
    m_toolbar->addWidget(m_searchField);
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
    commandAction(m_toolbar, this, QStringLiteral("sidebar.right"), QStringLiteral("Inspector"), QStringLiteral("Show Inspector"),
                  QStringLiteral("toggleInspector:"))->setObjectName(QStringLiteral("toggleInspector"));

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
    // another copy; the folder goes when the window closes.
    const QString dir = QDir::temp().filePath(QStringLiteral("vmk-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(dir))
        return {};
    const QString path = QDir(dir).filePath(m_editor->documentBaseName() + QStringLiteral(".pdf"));
    commitPendingEdits();
    // Written the way a Save To writes: the content as it is now, with a pending password applied.
    if (m_document->saveToPath(path, platform::SaveOperation::SaveTo)) {
        QDir(dir).removeRecursively();
        return {};
    }
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
