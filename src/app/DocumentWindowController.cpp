#include "app/DocumentWindowController.h"
#include "app/PaneFolding.h"
#include "app/WindowCascade.h"

#include "app/LaunchSwitches.h"
#include "app/LaunchTiming.h"
#include "app/MainMenu.h"

#include "chrome/CanvasRoot.h"
#include "chrome/FirstFrame.h"
#include "chrome/ModeSwitcher.h"
#include "core/VMKDocument.h"
#include "panels/CompressSheet.h"
#include "panels/InspectorView.h"
#include "panels/PasswordSheet.h"
#include "panels/SheetHost.h"
#include "panels/SidebarView.h"
#include "panels/ToolPalette.h"
#include "views/PDFCanvasView.h"
#include "views/PageOrganizerView.h"
#include "views/PresentationWindow.h"
#include "platform/doc/DocumentController.h"
#include "platform/services/ReduceMotion.h"
#include "platform/services/TempFiles.h"
#include "platform/services/UserDefaults.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace vmk::app {

namespace {

const QString kFrameKey = QStringLiteral("VellumarkDocumentWindow");
const QString kSplitKey = QStringLiteral("VellumarkSplit");

QWidget* makePaneSlot(const char* name, int minWidth, int maxWidth)
{
    // The sidebar and inspector views are hosted here once they exist; until then the pane keeps its
    // place, limits and colour.
    auto* pane = new QWidget;
    pane->setObjectName(QLatin1String(name));
    pane->setMinimumWidth(minWidth);
    if (maxWidth > 0)
        pane->setMaximumWidth(maxWidth);
    pane->setAutoFillBackground(true);
    pane->setBackgroundRole(QPalette::AlternateBase);
    return pane;
}

} // namespace

DocumentWindow::DocumentWindow(DocumentWindowController* controller)
    : m_controller(controller)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void DocumentWindow::setTitleAndSubtitle(const QString& title, const QString& subtitle)
{
    m_subtitle = subtitle;
    // "[*]" is where the desktop shows the edited marker while the window is modified.
    const QString marked = title + QStringLiteral("[*]");
    setWindowTitle(subtitle.isEmpty() ? marked : marked + QStringLiteral(" — ") + subtitle);
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (m_controller && !m_controller->windowShouldClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void DocumentWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_controller) {
        m_controller->updateSubtitle();
        CommandRouter::shared().invalidate();
    }
}

void DocumentWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (m_controller)
        m_controller->noteWindowFrameChanged();
}

void DocumentWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_controller)
        m_controller->noteWindowFrameChanged();
}

DocumentWindowController::DocumentWindowController(core::VMKDocument* document, Editor::CanvasFactory canvasFactory)
    : m_document(document)
{
    if (!canvasFactory)
        canvasFactory = [] { return std::make_unique<views::PDFCanvasView>(); };
    m_editor = std::make_unique<Editor>(document, canvasFactory);

    m_window = new DocumentWindow(this);
    m_window->setMinimumSize(640, 420);
    m_window->resize(1180, 820);
    m_editor->setWindowController(this);

    m_window->setMenuBar(buildMainMenu(m_window));
    buildSplitView();
    buildToolbar();

    // Placed by the content's rectangle throughout, as the frame is saved: a window manager's border is
    // unknown until it has framed the window, and pos() is the frame's corner for a framed window but the
    // content's for one not yet shown, so comparing those put every new window on top of the last.
    const QRect area = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
    // Centred first; a frame saved earlier takes its place.
    if (!area.isEmpty())
        m_window->setGeometry(QRect(area.center() - QPoint(m_window->width() / 2, m_window->height() / 2),
                                    m_window->size()));
    restoreFrame();
    // Another window already standing there (the last one, whose frame was saved, or the one a document
    // was extracted from): step aside.
    QList<QPoint> taken;
    for (QWidget* other : QApplication::topLevelWidgets())
        if (qobject_cast<DocumentWindow*>(other) && other != m_window && other->isVisible())
            taken << other->geometry().topLeft();
    const QPoint origin = cascadedOrigin(m_window->geometry().topLeft(), taken, area, m_window->size());
    if (!m_window->isMaximized() && origin != m_window->geometry().topLeft())
        m_window->setGeometry(QRect(origin, m_window->size()));
    m_frameRestored = true;

    CommandRouter::shared().setWindowResponder(m_window, this);
    for (auto signal : {&Editor::isLockedChanged})
        connect(m_editor.get(), signal, this, [this] {
            m_modeSwitcher->setLocked(m_editor->isLocked());
            updateSubtitle();
            CommandRouter::shared().invalidate();
        });
    connect(m_editor.get(), &Editor::modeChanged, this, [this](EditorMode mode) {
        m_modeSwitcher->setMode(rawValue(mode));
        CommandRouter::shared().invalidate();
    });
    connect(m_editor.get(), &Editor::pageCountChanged, this, [this] { updateSubtitle(); });
    connect(m_editor.get(), &Editor::pageIndexChanged, this, [this] { updateSubtitle(); });
    for (auto signal : {&Editor::toolChanged})
        connect(m_editor.get(), signal, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_editor.get(), &Editor::searchHitsChanged, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_editor.get(), &Editor::selectedAnnotationChanged, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_editor.get(), &Editor::progressChanged, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_editor.get(), &Editor::displayModeChanged, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_editor.get(), &Editor::organizerSelectionChanged, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_editor.get(), &Editor::documentVersionChanged, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_editor.get(), &Editor::sidebarTabChanged, this, [] { CommandRouter::shared().invalidate(); });
    connect(m_document, &platform::Document::displayNameChanged, this, [this] { updateSubtitle(); });
    connect(m_document, &platform::Document::editedChanged, this, [this] {
        updateSubtitle();
        CommandRouter::shared().invalidate();
    });
    connect(&CommandRouter::shared(), &CommandRouter::toolbarConfigurationChanged, this,
            [this](const QStringList& shown) { applyToolbarItems(shown); });
    m_modeSwitcher->setMode(rawValue(m_editor->mode()));
    m_modeSwitcher->setLocked(m_editor->isLocked());
    updateSubtitle();

    if (QWidget* canvas = m_content->canvasHost())
        canvas->setFocus();
}

DocumentWindowController::~DocumentWindowController()
{
    // The window lives on until its deferred deletion; nothing it receives meanwhile reaches this.
    if (m_window)
        m_window->forgetController();
    // Nothing may validate against this controller while its editor goes.
    disconnect(&CommandRouter::shared(), nullptr, this, nullptr);
    CommandRouter::shared().removeWindowResponder(m_window);
    removeSharedCopies();
    if (m_editor)
        m_editor->setWindowController(nullptr);
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
    }
}

void DocumentWindowController::buildSplitView()
{
    m_split = new QSplitter(Qt::Horizontal);
    m_split->setObjectName(kSplitKey);
    m_split->setChildrenCollapsible(false);
    m_sidebar = makePaneSlot("sidebar", 180, 340);
    m_content = new chrome::CanvasRoot(m_editor.get());
    m_content->setMinimumWidth(360);
    m_pageGrid = new views::PageOrganizerView(m_editor.get(), views::PageOrganizerView::Style::grid);
    m_content->setPageGridView(m_pageGrid);
    auto* palette = new panels::ToolPalette(m_editor.get());
    palette->setConfirmRedactions([](Editor* editor) {
        if (editor)
            editor->confirmRedactions();
    });
    m_content->setTopOverlayView(palette);
    m_inspector = makePaneSlot("inspector", 250, 340);
    m_split->addWidget(m_sidebar);
    m_split->addWidget(m_content);
    m_split->addWidget(m_inspector);
    auto* sidebarLayout = new QVBoxLayout(m_sidebar);
    sidebarLayout->setContentsMargins(0, 0, 0, 0);
    sidebarLayout->addWidget(new panels::SidebarView(m_editor.get(), [](Editor* editor) -> QWidget* {
        return new views::PageOrganizerView(editor, views::PageOrganizerView::Style::sidebar);
    }));
    auto* inspectorLayout = new QVBoxLayout(m_inspector);
    inspectorLayout->setContentsMargins(0, 0, 0, 0);
    connect(&m_inspectorVisibility, &InspectorVisibility::visibleChanged, this,
            &DocumentWindowController::followInspectorVisibility);
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);
    m_split->setStretchFactor(2, 0);
    m_split->setSizes({240, 1180 - 240, 0});
    m_inspector->hide(); // collapsed at creation
    restoreSplitState();
    m_window->setCentralWidget(m_split);
    connect(m_split, &QSplitter::splitterMoved, this, [this] { saveSplitState(); });
    m_folding = new PaneFolding(m_split, m_sidebar, m_content, m_inspector, [this](QWidget* pane, bool shown) {
        if (pane == m_sidebar)
            setSidebarCollapsed(!shown);
        else if (pane == m_inspector)
            setInspectorCollapsed(!shown);
    }, this);

    // Follow the inspector pane one turn later, so its content is built only while it shows.
    m_inspectorVisibility.setVisible(false);
    QPointer<DocumentWindowController> self(this);
    m_editor->scheduler().schedule(0, [self] {
        if (self)
            self->m_inspectorVisibility.setVisible(!self->isInspectorCollapsed());
    });
}

void DocumentWindowController::followInspectorVisibility(bool visible)
{
    QLayout* layout = m_inspector->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget())
            w->deleteLater();
        delete item;
    }
    if (visible)
        layout->addWidget(new panels::InspectorView(m_editor.get()));
}

void DocumentWindowController::presentPasswordSheet()
{
    if (m_editor->isLocked() || !m_window)
        return;
    Editor* editor = m_editor.get();
    panels::presentSheet(m_window, [editor](std::function<void()> dismiss) {
        return new panels::PasswordSheet(editor, std::move(dismiss));
    });
}

void DocumentWindowController::presentCompressSheet()
{
    if (m_editor->isLocked() || !m_window)
        return;
    Editor* editor = m_editor.get();
    panels::presentSheet(m_window, [editor](std::function<void()> dismiss) {
        return new panels::CompressSheet(editor, std::move(dismiss));
    });
}

void DocumentWindowController::confirmRemovePassword()
{
    if (!m_window || !m_editor->isPasswordProtected() || m_editor->isLocked())
        return;
    AlertRequest request;
    request.message = QStringLiteral("Remove the password?");
    request.informativeText
        = QStringLiteral("The PDF will open for anyone, no password needed. The change is saved with the document.");
    request.buttons = {QStringLiteral("Remove Password"), QStringLiteral("Cancel")};
    QPointer<DocumentWindowController> self(this);
    if (m_editor->removingPasswordNeedsOwner()) {
        // The opener's rights end where the owner's restrictions begin: dropping them takes the owner password.
        request.message = QStringLiteral("Remove the password and its restrictions?");
        request.informativeText = QStringLiteral(
            "The owner of this PDF restricts what may be done with it. Enter the owner password to remove the "
            "password and the restrictions. The change is saved with the document.");
        runPasswordAlert(request, QStringLiteral("Owner password"), [self](int button, const QString& password) {
            if (self && button == 0)
                self->m_editor->removePassword(password);
        });
        return;
    }
    runAlert(request, [self](int button) {
        if (self && button == 0)
            self->m_editor->removePassword();
    });
}

bool DocumentWindowController::isSidebarCollapsed() const
{
    return m_sidebar->isHidden();
}

void DocumentWindowController::setSidebarCollapsed(bool collapsed)
{
    if (m_sidebar->isHidden() == collapsed)
        return;
    m_sidebar->setVisible(!collapsed);
    if (m_folding && !m_folding->isBusy())
        m_folding->userChanged(m_sidebar, !collapsed);
    saveSplitState();
    CommandRouter::shared().invalidate();
}

bool DocumentWindowController::isInspectorCollapsed() const
{
    return m_inspector->isHidden();
}

void DocumentWindowController::setInspectorCollapsed(bool collapsed)
{
    if (m_inspector->isHidden() == collapsed)
        return;
    m_inspector->setVisible(!collapsed);
    if (m_folding && !m_folding->isBusy())
        m_folding->userChanged(m_inspector, !collapsed);
    saveSplitState();
    QPointer<DocumentWindowController> self(this);
    m_editor->scheduler().schedule(0, [self] {
        if (self)
            self->m_inspectorVisibility.setVisible(!self->isInspectorCollapsed());
    });
    CommandRouter::shared().invalidate();
}

void DocumentWindowController::saveSplitState()
{
    if (!m_frameRestored)
        return;
    QVariantMap state = platform::UserDefaults::standard().dictionary(kSplitKey);
    // Pages mode puts the sidebar away for the grid only: what is kept is the sidebar as it was before,
    // with its width, so a window that ends in Pages mode without closing (a crash, a logout) does not
    // come back without its sidebar.
    const bool sidebarLent = m_editor->mode() == EditorMode::pages;
    if (!sidebarLent || !state.contains(QStringLiteral("sizes"))) {
        QVariantList sizes;
        for (int s : m_split->sizes())
            sizes << s;
        state[QStringLiteral("sizes")] = sizes;
    }
    // A pane folded for want of room is still open as far as the user is concerned.
    state[QStringLiteral("sidebarCollapsed")] = sidebarLent ? m_sidebarWasCollapsed
                                                            : isSidebarCollapsed() && !(m_folding && m_folding->isFolded(m_sidebar));
    state[QStringLiteral("inspectorCollapsed")] = isInspectorCollapsed() && !(m_folding && m_folding->isFolded(m_inspector));
    platform::UserDefaults::standard().set(kSplitKey, state);
}

void DocumentWindowController::restoreSplitState()
{
    const QVariantMap state = platform::UserDefaults::standard().dictionary(kSplitKey);
    if (state.isEmpty())
        return;
    QList<int> sizes;
    for (const QVariant& v : state.value(QStringLiteral("sizes")).toList())
        sizes << v.toInt();
    if (sizes.size() == 3)
        m_split->setSizes(sizes);
    m_sidebar->setVisible(!state.value(QStringLiteral("sidebarCollapsed")).toBool());
    m_inspector->setVisible(!state.value(QStringLiteral("inspectorCollapsed"), true).toBool());
}

void DocumentWindowController::restoreFrame()
{
    const QVariant saved = platform::UserDefaults::standard().object(kFrameKey);
    if (!saved.isValid())
        return;
    const std::optional<SavedFrame> frame = parseSavedFrame(saved.toString());
    if (!frame) {
        m_window->restoreGeometry(saved.toByteArray()); // a frame saved by an earlier version
        return;
    }
    const QRect area = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
    m_window->setGeometry(frameOnScreen(frame->content, area, m_window->minimumSize()));
    if (frame->maximized)
        m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
}

void DocumentWindowController::noteWindowFrameChanged()
{
    if (!m_frameRestored || m_closing || !m_window->isVisible())
        return;
    // The content's rectangle, not the frame's: the window manager's border is not known until it has
    // framed the window, and a frame saved before then put the window a title bar lower at every launch.
    const bool maximized = m_window->isMaximized();
    platform::UserDefaults::standard().set(
        kFrameKey, savedFrameText({maximized ? m_window->normalGeometry() : m_window->geometry(), maximized}));
}

void DocumentWindowController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    QPointer<DocumentWindowController> self(this);
    auto& scheduler = m_editor->scheduler();
    scheduler.schedule(0, [] { firstWindowMetric(QStringLiteral("document")); });
    if (!m_didRestorePosition) {
        m_didRestorePosition = true;
        scheduler.schedule(0, [self] {
            if (!self)
                return;
            self->m_editor->restoreReadingPosition();
            // A mode that takes long to open (Edit copies the whole file) waits for the window's first frame.
            chrome::afterFirstFrame(self->m_window, self->m_editor->scheduler(), [self] {
                if (self)
                    self->applyLaunchDefaults();
            });
        });
    }
}

void DocumentWindowController::applyLaunchDefaults()
{
    const LaunchSwitches s = readLaunchSwitches(platform::UserDefaults::standard());
    if (s.mode)
        if (const auto mode = editorModeFromRaw(*s.mode))
            applyMode(*mode);
    if (s.tool)
        if (const auto tool = toolFromIndex(*s.tool))
            m_editor->setTool(*tool);
    if (s.page && m_editor->pageCount() > 0) {
        // Clamped before it becomes an index, so extreme numbers cannot overflow.
        const qint64 page = std::clamp<qint64>(*s.page, 1, m_editor->pageCount());
        m_editor->goToPage(int(page - 1));
    }
    if (s.showSidebar && m_editor->mode() != EditorMode::pages)
        setSidebarCollapsed(!*s.showSidebar);
    if (s.showInspector)
        setInspectorCollapsed(!*s.showInspector);
    if (s.search)
        searchNow(*s.search);
}

void DocumentWindowController::applyMode(EditorMode mode)
{
    if (m_editor->isLocked() && mode != EditorMode::read)
        return;
    m_editor->setMode(mode);
}

QWidget* DocumentWindowController::window() const
{
    return m_window;
}

QString DocumentWindowController::documentPath() const
{
    return m_document ? m_document->filePath() : QString();
}

void DocumentWindowController::updateSubtitle()
{
    if (!m_window)
        return;
    m_window->setTitleAndSubtitle(m_document ? m_document->displayName() : QString(),
                                  documentSubtitle(m_editor->pageIndex(), m_editor->pageCount(), m_editor->isLocked()));
    m_window->setWindowModified(m_document && m_document->isEdited());
}

void DocumentWindowController::modeDidChange(EditorMode from)
{
    const EditorMode now = m_editor->mode();
    if (now == EditorMode::pages) {
        m_sidebarWasCollapsed = isSidebarCollapsed();
        if (!m_sidebarWasCollapsed)
            setSidebarCollapsed(true);
    } else if (from == EditorMode::pages && !m_sidebarWasCollapsed) {
        setSidebarCollapsed(false);
    }
    if (now != EditorMode::pages)
        if (QWidget* canvas = m_content->canvasHost())
            canvas->setFocus();
}

void DocumentWindowController::revealSidebar()
{
    if (isSidebarCollapsed() && m_editor->mode() != EditorMode::pages)
        setSidebarCollapsed(false);
}

void DocumentWindowController::commitPendingEdits()
{
    if (auto* canvas = m_editor->pdfView())
        canvas->commitTextSession();
}

void DocumentWindowController::didSave(bool userInitiated)
{
    if (userInitiated)
        m_editor->showToast(QStringLiteral("Saved."), QStringLiteral("checkmark.circle"), Toast::Style::success);
}

void DocumentWindowController::didRemoveEarlierVersions(int count)
{
    Q_UNUSED(count);
    m_editor->showToast(QStringLiteral("Saved. Earlier versions of this file were removed, so what you redacted "
                                       "is gone for good."),
                        QStringLiteral("checkmark.shield.fill"), Toast::Style::success);
}

void DocumentWindowController::didRevert()
{
    m_editor->documentDidRevert();
}

bool DocumentWindowController::windowShouldClose()
{
    if (m_closing)
        return true;
    auto* controller = platform::DocumentController::shared();
    const auto& documents = controller ? controller->documents() : std::vector<platform::Document*>{};
    if (controller && std::find(documents.begin(), documents.end(), m_document) != documents.end())
        return controller->closeDocument(m_document);
    closeWindow();
    return true;
}

void DocumentWindowController::closeWindow()
{
    if (m_closing)
        return;
    m_closing = true;
    windowWillClose();
    m_window->close();
    CommandRouter::shared().removeWindowResponder(m_window);
}

views::PresentationController* DocumentWindowController::presentation() const
{
    return m_presentation.data();
}

void DocumentWindowController::startSlideshow()
{
    if (m_editor->isLocked() || m_editor->pageCount() < 1 || m_presentation)
        return;
    QPointer<DocumentWindowController> self(this);
    m_presentation = new views::PresentationController(m_editor->pdfDocument(), m_editor->pageIndex(), [self](int last) {
        if (!self)
            return;
        self->m_editor->goToPage(last);
        // Dropped later: the end is reported from inside the presentation's own window events.
        if (self->m_presentation)
            self->m_presentation->deleteLater();
        self->m_presentation = nullptr;
    }, this);
    m_presentation->start();
}

void DocumentWindowController::windowWillClose()
{
    if (m_editor->mode() == EditorMode::pages && !m_sidebarWasCollapsed)
        setSidebarCollapsed(false);
    m_pendingSearch.cancel();
    m_editor->cancelRunningTask();
    m_editor->cancelFind();
    // A slideshow in full screen leaves it first and ends itself once it has left.
    if (m_presentation && !m_presentation->ended())
        m_presentation->exit();
    removeSharedCopies();
}

void DocumentWindowController::removeSharedCopies()
{
    for (const QString& dir : std::as_const(m_sharedCopies))
        platform::removeTemporaryPrivateFolder(dir);
    m_sharedCopies.clear();
}

} // namespace vmk::app
