#pragma once

#include "app/Commands.h"
#include "app/DocumentCommands.h"

#include "core/DocumentHost.h"
#include "editor/Editor.h"
#include "editor/EditorWindowHost.h"
#include "panels/SectionControls.h"
#include "platform/doc/WindowController.h"
#include "platform/services/Scheduler.h"

#include <QHash>
#include <QMainWindow>
#include <QPageLayout>

#include <optional>
#include <QPointer>

#include <memory>

class QAction;
class QLineEdit;
class QSplitter;
class QToolBar;
class QToolButton;

class QPrinter;
class QMenu;

namespace vmk::core {
class VMKDocument;
}
namespace vmk::views {
class PageOrganizerView;
class PresentationController;
}
namespace vmk::chrome {
class CanvasRoot;
class ModeSwitcher;
}

namespace vmk::app {

class DocumentWindowController;
class PaneFolding;

// Whether the inspector pane is open, followed one main-loop turn after the pane opens or closes, so
// that the inspector's content is built only while it can be seen.
class InspectorVisibility : public QObject {
    Q_OBJECT
public:
    bool visible() const { return m_visible; }
    void setVisible(bool visible)
    {
        if (m_visible != visible) {
            m_visible = visible;
            emit visibleChanged(visible);
        }
    }
signals:
    void visibleChanged(bool visible);

private:
    bool m_visible = false;
};

// The document window: asks its controller before it closes and reports activation.
class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DocumentWindow(DocumentWindowController* controller);
    // The text shown under the title ("Page 3 of 10"); part of the window title on this desktop.
    QString subtitle() const { return m_subtitle; }
    void setTitleAndSubtitle(const QString& title, const QString& subtitle);
    // The controller is going: the window outlives it until its deferred deletion, and the window system
    // may still deliver events queued for it (an activation, a move) in between.
    void forgetController() { m_controller = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    DocumentWindowController* m_controller;
    QString m_subtitle;
};

// The window controller of one open document: owns the document's editor, builds the window with its
// three panes (sidebar, page content, inspector) and toolbar, applies the launch switches the first
// time the window is shown, keeps the subtitle current, reacts to mode changes and is the target of
// the document's menu and toolbar commands.
class DocumentWindowController : public QObject,
                                 public platform::WindowController,
                                 public EditorWindowHost,
                                 public core::DocumentHost,
                                 public CommandResponder,
                                 public panels::DocumentSheetActions {
    Q_OBJECT
public:
    // canvasFactory: the editor's canvas (the plain PDF view when not given).
    explicit DocumentWindowController(core::VMKDocument* document, Editor::CanvasFactory canvasFactory = {});
    ~DocumentWindowController() override;

    core::VMKDocument* document() const { return m_document; }
    Editor* editor() const { return m_editor.get(); }
    DocumentWindow* documentWindow() const { return m_window; }
    QSplitter* split() const { return m_split; }
    QWidget* sidebarPane() const { return m_sidebar; }
    chrome::CanvasRoot* contentPane() const { return m_content; }
    QWidget* inspectorPane() const { return m_inspector; }
    QToolBar* toolbar() const { return m_toolbar; }
    // Customising the toolbar: its items by identifier, in order; which show (kept in the defaults for
    // every window); the right-click menu that shows or hides them.
    static const QStringList& toolbarItemOrder();
    static QStringList defaultToolbarItems();
    QStringList toolbarItemsShown() const;
    void setToolbarItemShown(const QString& id, bool shown);
    void fillToolbarMenu(QMenu* menu);
    void applyToolbarItems(const QStringList& shown);
    // Draws the toolbar's symbols in its current text colour.
    void tintToolbarIcons();
    chrome::ModeSwitcher* modeSwitcher() const { return m_modeSwitcher; }
    QLineEdit* searchField() const { return m_searchField; }
    InspectorVisibility& inspectorVisibility() { return m_inspectorVisibility; }

    bool isSidebarCollapsed() const;
    void setSidebarCollapsed(bool collapsed);
    bool isInspectorCollapsed() const;
    void setInspectorCollapsed(bool collapsed);

    // The single way the shell changes the mode; only Read while the document is locked.
    void applyMode(EditorMode mode);
    void applyLaunchDefaults();
    bool didRestorePosition() const { return m_didRestorePosition; }

    // platform::WindowController
    void showWindow() override;
    void closeWindow() override;
    // EditorWindowHost
    QWidget* window() const override;
    QString documentPath() const override;
    void updateSubtitle() override;
    void modeDidChange(EditorMode from) override;
    void revealSidebar() override;
    // core::DocumentHost
    void commitPendingEdits() override;
    void didSave(bool userInitiated) override;
    void didRemoveEarlierVersions(int count) override;
    void didRevert() override;
    // panels::DocumentSheetActions: sheets on the window, none while locked or without a window.
    void presentPasswordSheet() override;
    void confirmRemovePassword() override;
    void presentCompressSheet() override;
    // CommandResponder
    bool respondsToCommand(const QString& action) const override;
    CommandValidation validateCommand(const QString& action, int tag) const override;
    void performCommand(const QString& action, int tag) override;

    DocumentCommandState commandState() const;
    // The paper, orientation and margins chosen in Page Setup, which Print starts from.
    void setPageSetup(const QPageLayout& layout);
    void preparePrinter(QPrinter& printer) const;

    // The copy handed to other applications: the document as it is now (unsaved changes and a pending
    // password included), written to a fresh temporary file named after the document. Empty on failure.
    // The file is removed when the window closes.
    QString shareableFile();

    // The page grid of Pages mode, hosted over the canvas.
    views::PageOrganizerView* pageGrid() const { return m_pageGrid; }
    // The running slideshow, or null. Starts only for an unlocked document with pages.
    views::PresentationController* presentation() const;
    void startSlideshow();

    // The toolbar's search: typing searches once the keys pause; searchNow starts at once with the text
    // (shown in the field) and drops a search still waiting.
    static constexpr double kSearchDelay = 0.22;
    void scheduleSearch(const QString& text);
    void searchNow(const QString& text);
    // Find…: the search field takes the keyboard with its text selected.
    void beginFind();
    const platform::WorkItem& pendingSearch() const { return m_pendingSearch; }

    // The user asked to close the window; answers whether it may close.
    bool windowShouldClose();
    void noteWindowFrameChanged();

private:
    void buildSplitView();
    // Builds the inspector's content while its pane shows and drops it when the pane closes.
    void followInspectorVisibility(bool visible);
    void buildToolbar();
    void restoreFrame();
    void saveSplitState();
    void restoreSplitState();
    void windowWillClose();
    void zoomSegment(int index);
    void shareDocument();
    bool performDocumentCommand(const QString& action);
    // Duplicate, Rename…, Move To…, Revert To Original… and Cut/Copy/Paste/Select All, which go to the
    // focused text field before the canvas.
    bool validateFileAndTextCommand(const QString& action, bool* enabled) const;
    bool performFileAndTextCommand(const QString& action);
    void selectAllOnCanvas();
    void duplicateDocument();
    void renameDocument();
    void moveDocument();
    void moveDocumentFile(const QString& target);
    void revertToOriginal();
    // Revert To Saved: asks on the window first, as the changes cannot come back afterwards.
    void confirmRevertToSaved();
    bool validateDocumentFileCommand(const QString& action, bool* enabled) const;
    void removeSharedCopies();

    core::VMKDocument* m_document;
    std::unique_ptr<Editor> m_editor;
    DocumentWindow* m_window = nullptr;
    QSplitter* m_split = nullptr;
    QWidget* m_sidebar = nullptr;
    chrome::CanvasRoot* m_content = nullptr;
    QWidget* m_inspector = nullptr;
    QHash<QString, QList<QAction*>> m_toolbarItems;
    QToolBar* m_toolbar = nullptr;
    chrome::ModeSwitcher* m_modeSwitcher = nullptr;
    QLineEdit* m_searchField = nullptr;
    QToolButton* m_shareButton = nullptr;
    InspectorVisibility m_inspectorVisibility;
    PaneFolding* m_folding = nullptr;
    std::optional<QPageLayout> m_pageSetup;
    bool m_sidebarWasCollapsed = false;
    bool m_didRestorePosition = false;
    bool m_closing = false;
    bool m_frameRestored = false;
    QStringList m_sharedCopies;
    views::PageOrganizerView* m_pageGrid = nullptr;
    QPointer<views::PresentationController> m_presentation;
    platform::WorkItem m_pendingSearch;
};

} // namespace vmk::app
