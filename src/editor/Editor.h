#pragma once

#include "core/Protection.h"
#include "core/pdfium/PDFiumError.h"
#include "editor/EditorCanvas.h"
#include "editor/EditorModel.h"
#include "editor/EditorTypes.h"
#include "editor/EditorWindowHost.h"
#include "editor/EditTarget.h"
#include "editor/LongTask.h"
#include "editor/Toast.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdfview/PageLayout.h"
#include "platform/services/Scheduler.h"
#include "platform/services/Secrets.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace vmk::core {
class VMKDocument;
class PDFEditSession;
struct AnnotationStyle;
struct AnnotationGeometry;
} // namespace vmk::core

namespace vmk::pdf {
class ObjectEdits;
class OutlineSplice;
class TextFinder;
class TextReader;
} // namespace vmk::pdf

namespace vmk::platform {
class UndoManager;
class UserDefaults;
} // namespace vmk::platform

namespace vmk {

class Editor;
class ImageExportOptions;

// Makes the new untitled document of Extract Pages (the application's document controller implements
// it) and answers that document's Editor, or null.
class UntitledDocumentMaker {
public:
    virtual ~UntitledDocumentMaker() = default;
    virtual Editor* newDocument(const pdf::DocumentPtr& pdf, const QString& suggestedName) = 0;
};

// The per-document view-model every view binds to, and the one place where user operations on
// annotations and pages run, each registered with the document's undo manager under its action name.
// Main thread only. Each published field is a property with a change signal that fires on a real change;
// documentVersion and annotationVersion announce what views cannot observe directly.
class Editor : public QObject {
    Q_OBJECT
    Q_PROPERTY(vmk::EditorMode mode READ mode WRITE setMode NOTIFY modeChanged)
    Q_PROPERTY(vmk::Tool tool READ tool WRITE setTool NOTIFY toolChanged)
    Q_PROPERTY(vmk::Tool lastShape READ lastShape WRITE setLastShape NOTIFY lastShapeChanged)
    Q_PROPERTY(vmk::ToolColors toolColors READ toolColors WRITE setToolColors NOTIFY toolColorsChanged)
    Q_PROPERTY(double strokeWidth READ strokeWidth WRITE setStrokeWidth NOTIFY strokeWidthChanged)
    Q_PROPERTY(double fontSize READ fontSize WRITE setFontSize NOTIFY fontSizeChanged)
    Q_PROPERTY(vmk::pdf::AnnotationPtr selectedAnnotation READ selectedAnnotation WRITE setSelectedAnnotation NOTIFY selectedAnnotationChanged)
    Q_PROPERTY(int pageIndex READ pageIndex NOTIFY pageIndexChanged)
    Q_PROPERTY(int pageCount READ pageCount NOTIFY pageCountChanged)
    Q_PROPERTY(bool isLocked READ isLocked NOTIFY isLockedChanged)
    Q_PROPERTY(int documentVersion READ documentVersion NOTIFY documentVersionChanged)
    Q_PROPERTY(int annotationVersion READ annotationVersion NOTIFY annotationVersionChanged)
    Q_PROPERTY(vmk::pdfview::DisplayMode displayMode READ displayMode WRITE setDisplayMode NOTIFY displayModeChanged)
    Q_PROPERTY(vmk::IndexSet organizerSelection READ organizerSelection WRITE setOrganizerSelection NOTIFY organizerSelectionChanged)
    Q_PROPERTY(vmk::Outline outline READ outline WRITE setOutline NOTIFY outlineChanged)
    Q_PROPERTY(bool showScanSuggestion READ showScanSuggestion WRITE setShowScanSuggestion NOTIFY showScanSuggestionChanged)
    Q_PROPERTY(vmk::SidebarTab sidebarTab READ sidebarTab WRITE setSidebarTab NOTIFY sidebarTabChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QList<vmk::SearchHit> searchHits READ searchHits WRITE setSearchHits NOTIFY searchHitsChanged)
    Q_PROPERTY(bool isSearching READ isSearching WRITE setIsSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(std::optional<int> currentHit READ currentHit WRITE setCurrentHit NOTIFY currentHitChanged)
    Q_PROPERTY(std::optional<vmk::Toast> toast READ toast NOTIFY toastChanged)
    Q_PROPERTY(std::optional<vmk::TaskProgress> progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(bool progressVisible READ progressVisible NOTIFY progressVisibleChanged)
    Q_PROPERTY(std::optional<vmk::PendingCrop> pendingCrop READ pendingCrop WRITE setPendingCrop NOTIFY pendingCropChanged)
    Q_PROPERTY(bool isPasswordProtected READ isPasswordProtected NOTIFY documentVersionChanged)

public:
    using CanvasFactory = std::function<std::unique_ptr<EditorCanvas>()>;

    // Makes the canvas (a HeadlessCanvas when no factory is given), attaches the document and shows it.
    // scheduler and defaults default to the process's shared ones.
    explicit Editor(core::VMKDocument* document, CanvasFactory canvasFactory = {},
                    platform::Scheduler* scheduler = nullptr, platform::UserDefaults* defaults = nullptr,
                    QObject* parent = nullptr);
    ~Editor() override;

    // --- Neighbours --------------------------------------------------------------------------------
    core::VMKDocument* document() const;
    EditorCanvas* pdfView() const { return m_canvas.get(); }
    // Non-owning; the host clears it (sets null) before it goes.
    EditorWindowHost* windowController() const { return m_windowHost; }
    void setWindowController(EditorWindowHost* host) { m_windowHost = host; }
    PageGridHost* pageGrid() const { return m_pageGrid; }
    void setPageGrid(PageGridHost* grid) { m_pageGrid = grid; }
    platform::Scheduler& scheduler() const { return *m_scheduler; }
    // The process-wide maker of untitled documents (the document controller sets itself).
    static void setDocumentMaker(UntitledDocumentMaker* maker);
    static UntitledDocumentMaker* documentMaker();

    // The document's PDF; an empty document when the document is gone, so reads see zero pages.
    pdf::DocumentPtr pdfDocument() const;
    // The document's undo manager, or null.
    platform::UndoManager* undoManager() const;
    // The display name without its extension, or "Document".
    QString documentBaseName() const;

    // --- Published state ----------------------------------------------------------------------------
    EditorMode mode() const { return m_mode; }
    void setMode(EditorMode mode);
    Tool tool() const { return m_tool; }
    void setTool(Tool tool);
    Tool lastShape() const { return m_lastShape; }
    void setLastShape(Tool tool);
    const ToolColors& toolColors() const { return m_toolColors; }
    void setToolColors(const ToolColors& colors);
    double strokeWidth() const { return m_strokeWidth; }
    void setStrokeWidth(double width);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    pdf::AnnotationPtr selectedAnnotation() const { return m_selectedAnnotation; }
    void setSelectedAnnotation(const pdf::AnnotationPtr& annotation);
    int pageIndex() const { return m_pageIndex; }
    int pageCount() const { return m_pageCount; }
    bool isLocked() const { return m_isLocked; }
    int documentVersion() const { return m_documentVersion; }
    int annotationVersion() const { return m_annotationVersion; }
    pdfview::DisplayMode displayMode() const { return m_displayMode; }
    void setDisplayMode(pdfview::DisplayMode mode);
    const IndexSet& organizerSelection() const { return m_organizerSelection; }
    void setOrganizerSelection(const IndexSet& selection);
    const Outline& outline() const { return m_outline; }
    void setOutline(const Outline& outline);
    bool outlineLoaded() const { return m_outlineLoaded; }
    void setOutlineLoaded(bool loaded) { m_outlineLoaded = loaded; }
    bool showScanSuggestion() const { return m_showScanSuggestion; }
    void setShowScanSuggestion(bool show);
    SidebarTab sidebarTab() const { return m_sidebarTab; }
    void setSidebarTab(SidebarTab tab);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    const QList<SearchHit>& searchHits() const { return m_searchHits; }
    void setSearchHits(const QList<SearchHit>& hits);
    bool isSearching() const { return m_isSearching; }
    void setIsSearching(bool searching);
    std::optional<int> currentHit() const { return m_currentHit; }
    void setCurrentHit(std::optional<int> hit);
    const std::optional<Toast>& toast() const { return m_toast; }
    const std::optional<TaskProgress>& progress() const { return m_progress; }
    // Long tasks set it when they start, update it, and clear it when they end.
    void setProgress(const std::optional<TaskProgress>& progress);
    bool progressVisible() const { return m_progressVisible; }
    const std::optional<PendingCrop>& pendingCrop() const { return m_pendingCrop; }
    void setPendingCrop(const std::optional<PendingCrop>& crop);
    // The password that unlocked the document, if any (a copy: the editor's own is overwritten when the
    // editor goes).
    std::optional<QString> unlockedPassword() const { return platform::ownedCopy(m_unlockedPassword); }

    // --- Document lifecycle ---------------------------------------------------------------------------
    // (Re)binds to the document's current PDF; shows it unless locked.
    void attachDocument(bool restorePosition);
    void showDocument(bool restorePosition);
    // Tries the password; on success the document records it and is shown. `cancelled` says whether a
    // refusal was the user stopping the unlocking rather than a wrong password.
    bool unlock(const QString& password, bool* cancelled = nullptr);
    // After pages changed in place.
    void documentDidReload();
    // After annotations changed (on page, when given).
    void annotationsChanged(const pdf::PagePtr& page);
    // Decides whether the document looks scanned (Read mode, unlocked only). The first pages' text is read
    // on a worker; the answer comes once it is there.
    void detectScan();
    bool isCheckingForScan() const;
    // The canvas reports a click or typing into a form field: the document counts as edited.
    void noteFormFieldEdited();
    // The canvas reports a click on an annotation: only a form field (a Widget) marks the document edited.
    void noteAnnotationHit(const pdf::AnnotationPtr& annotation);

    // --- What the document asks of its window (the window controller forwards these) -----------------
    // Ends typing on the canvas so the typed text is part of the page before the document is written.
    void commitPendingEdits();
    // After a save that succeeded; a user's Save or Save As shows "Saved.".
    void documentDidSave(bool userInitiated);
    // After the document re-read its file: adopts the new content and restores the reading position.
    void documentDidRevert();

    // --- Navigation and zoom ----------------------------------------------------------------------------
    void goToPage(int index);
    void jumpToPage(int index);
    void zoomStep(double factor);
    void zoomToFit();
    // The canvas's current page changed (also after showing, reloading and restoring).
    void notePageChange();
    void restoreReadingPosition();

    // --- Toasts ---------------------------------------------------------------------------------------
    void showToast(const QString& text, const QString& symbol, Toast::Style style);

    // --- Annotations ---------------------------------------------------------------------------------
    void addAnnotation(const QList<AnnotationItem>& items, const QString& actionName);
    void removeAnnotation(const QList<AnnotationItem>& items, const QString& actionName);
    void deleteAnnotation();
    void setGeometry(const pdf::AnnotationPtr& annotation, const core::AnnotationGeometry& geometry,
                     const pdf::PagePtr& page, const QString& actionName);
    void setStyle(const pdf::AnnotationPtr& annotation, const core::AnnotationStyle& style,
                  const core::AnnotationGeometry& geometry, const QString& actionName);
    void changeColor(const QColor& color);
    // A slider drag calls beginLineWidthChange first, then the live form (undoable false) while it moves
    // and the undoable form when it ends; the one undo step goes back to the width from before the drag.
    void beginLineWidthChange();
    void changeLineWidth(double width, bool undoable);
    void changeFontSize(double size);
    void editFreeText(const QString& text, const pdf::AnnotationPtr& annotation);
    QColor colorForTool(Tool tool) const;
    QColor currentToolColor() const { return colorForTool(m_tool); }
    static std::optional<Tool> toolForAnnotation(const pdf::AnnotationPtr& annotation);

    // --- Creating annotations from tools ----------------------------------------------------------------
    void markupSelection(Tool tool, const pdf::Selection& selection);
    void addInk(const QList<QPointF>& points, const pdf::PagePtr& page);
    void addShape(Tool tool, const pdf::PagePtr& page, QPointF p0, QPointF p1);
    pdf::AnnotationPtr addNote(const pdf::PagePtr& page, QPointF point);
    pdf::AnnotationPtr beginFreeText(const pdf::PagePtr& page, QPointF point);
    void commitFreeText(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, const QString& text,
                        bool isNew);
    // The bounds of a text box fitted to its text (top edge kept). fontName empty: Helvetica at fontSize.
    QRectF fitFreeTextBounds(const pdf::AnnotationPtr& annotation, const QString& text, const QString& fontName,
                             double fontSize, bool keepWidth) const;
    void addSignature(const SignaturePlacement& signature);

    // --- Redaction marks ------------------------------------------------------------------------------
    void markSelectionForRedaction(const pdf::Selection& selection);
    QList<AnnotationItem> redactionMarks();

    // --- Pages ----------------------------------------------------------------------------------------
    IndexSet selectedPageIndexes() const;
    void applyPageArrangement(const QList<pdf::PagePtr>& pages, const QString& actionName,
                              const std::optional<IndexSet>& selection);
    void rotateSelectedPages(const IndexSet& indexes, int degrees);
    void rotatePages(const QList<pdf::PagePtr>& pages, int degrees);
    void insertBlankPage(std::optional<int> afterIndex);
    void deletePages(const IndexSet& indexes);
    void movePages(const IndexSet& indexes, int dropIndex);
    void duplicatePages(const IndexSet& indexes);
    // Rebuilds pages in place; `edits` (changes to the rest of the document) are applied and undone with them.
    // `redacting`: the swaps apply a redaction, which the document counts while it is in effect (see
    // VMKDocument::redactionsInEffect); `direction` is +1 for the swaps in, -1 for their undo.
    void swapPages(const QList<PageSwap>& swaps, const QString& actionName,
                   const std::shared_ptr<pdf::ObjectEdits>& edits = {}, bool redacting = false, int direction = 1);
    // Shows the open panel on the window; the chosen files go in after the selected page.
    void insertPagesFromFile();
    void insertPages(const QStringList& paths, int insertionIndex);
    void extractPages(const IndexSet& indexes);

    // --- Cropping -------------------------------------------------------------------------------------
    void applyCrop(bool allPages);
    void registerCropUndo(const QList<pdf::PagePtr>& pages, const QList<QRectF>& boxes);
    void restoreCropBoxes(const QList<pdf::PagePtr>& pages, const QList<QRectF>& boxes);

    // --- Search -----------------------------------------------------------------------------------------
    // Starts a new search (replacing a running one); a blank text or a locked document only clears.
    void search(const QString& text);
    // The find reports matches (in the order found) and its end; main thread.
    void didMatchString(const QList<pdf::Selection>& matches);
    void documentDidEndDocumentFind();
    // Once the find has ended and its last hits are made: no longer searching.
    void endFindOnceFlushed();
    // Turns the matches reported since the last flush into hits.
    void flushSearchHits();
    void selectHit(int index);
    void nextHit();
    void previousHit();
    // Stops a running find (the window closing); its end is not reported.
    void cancelFind();

    // --- Outline ------------------------------------------------------------------------------------------
    // Builds outline from the document's PDF (the contents sidebar asks once per shown document).
    void loadOutline();

    // --- Long tasks -----------------------------------------------------------------------------------
    // The one running long task, or null; progress is the busy marker, this is what Stop cancels.
    RunningTaskPtr runningTask() const { return m_runningTask; }
    // Requests cancellation of the running task (Stop, or the window closing); nothing without one.
    void cancelRunningTask();
    // Where per-page work runs; the global thread pool unless replaced (tests hold work back with it).
    DetachedRunner& detachedRunner() const;
    void setDetachedRunner(std::shared_ptr<DetachedRunner> runner) { m_detachedRunner = std::move(runner); }
    // The frame every long task shares: the start sets progress and stores a new running task (dropping an
    // earlier handle without cancelling it); the end clears both. makeCancelAction is the Stop action: it
    // holds the Editor weakly and only requests cancellation of whatever task is running when it is called.
    RunningTaskPtr startRunningTask(const TaskProgress& progress);
    void endRunningTask();
    std::function<void()> makeCancelAction();
    // Gives pages without text an invisible layer of recognised text, in one undoable step.
    void makeSearchable();
    bool isCheckingForText() const;
    // Asks, then removes what lies under the redaction marks for good.
    void confirmRedactions();
    void applyRedactions();
    // Asks for a folder with format and resolution, then writes one image per page into it.
    void exportPagesAsImages();
    void exportPageImages(const QString& folder, const std::shared_ptr<ImageExportOptions>& options);
    // Asks for a file, then writes the document's text into it.
    void exportText();
    void writeExportedText(const QString& path);
    // Flattens a copy of the document off the main thread, then asks where to save it.
    void exportFlattened();
    void saveFlattenedCopy(const std::optional<QByteArray>& data);
    // Writes bytes to the path a save panel answered (nothing when it was cancelled); a failed write shows
    // the error on the host's window, a good one runs onSuccess with the path.
    static void saveDataFromPanel(const std::optional<QString>& path, const QByteArray& data,
                                  const std::function<void(const QString&)>& onSuccess, EditorWindowHost* host);

    // --- Passwords ------------------------------------------------------------------------------------
    // Whether the next save writes the document with a password (a pending change counts).
    bool isPasswordProtected() const;
    // Records the passwords for the next save, with undo (no redo).
    void passwordProtect(const QString& userPassword, const std::optional<QString>& ownerPassword);
    // Whether removing the password needs the owner password first: the file is encrypted and was opened
    // without the owner's rights (with its user password, or with none while it restricts printing or
    // changes), so its restrictions are not the opener's to drop.
    bool removingPasswordNeedsOwner() const;
    // Records that the next save drops the password, with undo (no redo); nothing unless protected. When
    // the owner password is needed, nothing happens without the right one, and a toast says so.
    void removePassword(const std::optional<QString>& ownerPassword = std::nullopt);
    // The undo step of both: puts the recorded state back.
    void setProtection(const std::optional<core::Protection>& protection, bool removesEncryption);
    // Whether the file lets its content be copied out (exports); says why not in a toast when it doesn't.
    bool contentMayBeCopied();
    // The password a document made from this one's pages carries (extraction, Duplicate), if any.
    std::optional<core::Protection> protectionForDerivedDocument() const;

    // --- Edit mode: in-place editing of page text and pictures -------------------------------------------
    // Opens an edit session over bytes; the real engine unless replaced (tests give a failing one).
    using EditSessionOpener =
        std::function<core::PDFiumResult<std::shared_ptr<core::PDFEditSession>>(const QByteArray& bytes)>;
    void setEditSessionOpener(EditSessionOpener opener) { m_editSessionOpener = std::move(opener); }
    // Open exactly while Edit mode is on and opening succeeded.
    core::PDFEditSession* editSession() const { return m_editSession.get(); }
    const std::optional<EditTarget>& editHover() const { return m_editHover; }
    void setEditHover(const std::optional<EditTarget>& target);
    const std::optional<EditTarget>& editSelection() const { return m_editSelection; }
    void setEditSelection(const std::optional<EditTarget>& target);
    // Entering and leaving (the mode change calls them).
    void enterEditMode();
    void leaveEditMode();
    // The text block or picture under a page-space point of a page; nothing without a session.
    std::optional<EditTarget> editTargetAt(int pageIndex, QPointF point) const;
    // The writes, each swapping in the rewritten document with undo.
    void commitTextEdit(const core::EditableTextBlock& block, int pageIndex, const QString& newText);
    void deleteEditTarget();
    void moveImage(const core::EditableImage& image, int pageIndex, const QRectF& frame);
    // Asks for an image file on the window; the chosen one goes into the selected picture's frame.
    void chooseReplacementImage();
    void replaceImage(const QString& path, const core::EditableImage& image, int pageIndex);
    // Saves the session and swaps the result in, unless the page drawn afresh differs from the page shown
    // outside the regions (page space) the edit meant to change: then nothing changes, the user is told,
    // and the session starts again from the document. True when the edit was applied.
    bool reloadAfterEdit(const QString& actionName, int pageIndex, const QList<QRectF>& regions);
    void discardEditSessionChanges();
    // Before a commit: when the document changed around the session, reopens the session over it and finds
    // the page (by identity, wherever it moved) and the block or picture again. False, with a message, when
    // either is gone; the page index is updated to the page's current place.
    bool followDocumentChanges(int& pageIndex);
    std::optional<core::EditableTextBlock> refoundBlock(const core::EditableTextBlock& block, int pageIndex) const;
    std::optional<core::EditableImage> refoundImage(const core::EditableImage& image, int pageIndex) const;
    void rememberEditSessionPages();
    void swapDocument(const pdf::DocumentPtr& document, const QString& actionName, bool keepsSession);

signals:
    void modeChanged(vmk::EditorMode mode);
    void toolChanged(vmk::Tool tool);
    void lastShapeChanged(vmk::Tool tool);
    void toolColorsChanged();
    void strokeWidthChanged(double width);
    void fontSizeChanged(double size);
    void selectedAnnotationChanged();
    void pageIndexChanged(int index);
    void pageCountChanged(int count);
    void isLockedChanged(bool locked);
    void documentVersionChanged(int version);
    void annotationVersionChanged(int version);
    void displayModeChanged();
    void organizerSelectionChanged();
    void outlineChanged();
    void showScanSuggestionChanged(bool show);
    void sidebarTabChanged(vmk::SidebarTab tab);
    void searchTextChanged(const QString& text);
    void searchHitsChanged();
    void isSearchingChanged(bool searching);
    void currentHitChanged();
    void toastChanged();
    void progressChanged();
    void progressVisibleChanged(bool visible);
    void pendingCropChanged();
    // Properties of the selected annotation that are not published fields changed (style, text).
    void objectWillChange();
    void editHoverChanged();
    void editSelectionChanged();

private:
    void modeDidChange(EditorMode from);
    void toolDidChange(Tool from);
    void progressDidChange(bool hadProgress);
    void dismissToast(const QUuid& id);
    void setPageIndexValue(int index);
    void setPageCountValue(int count);
    void setIsLockedValue(bool locked);
    void setProgressVisible(bool visible);
    void bumpDocumentVersion();
    void bumpAnnotationVersion();
    void registerUndo(const QString& actionName, std::function<void()> handler);
    // Takes inserted outline entries out or puts them back, with the opposite step on the undo stack.
    void exchangeOutlineEntries(const std::shared_ptr<pdf::OutlineSplice>& splice, const QString& actionName);
    void applyStyleChange(const pdf::AnnotationPtr& annotation, const core::AnnotationStyle& style,
                          const QString& actionName);
    QString documentFilePath() const;
    // Make Searchable's running task over the pages that have no text, or the toast that there are none.
    void readPagesWithoutText(const QList<pdf::PagePtr>& pages);

    QPointer<core::VMKDocument> m_document;
    EditorWindowHost* m_windowHost = nullptr;
    std::unique_ptr<EditorCanvas> m_canvas;
    platform::Scheduler* m_scheduler = nullptr;
    platform::UserDefaults* m_defaults = nullptr;

    EditorMode m_mode = EditorMode::read;
    Tool m_tool = Tool::select;
    Tool m_lastShape = Tool::rectangle;
    ToolColors m_toolColors;
    double m_strokeWidth = 3.0;
    double m_fontSize = 16.0;
    pdf::AnnotationPtr m_selectedAnnotation;
    int m_pageIndex = 0;
    int m_pageCount = 0;
    bool m_isLocked = false;
    int m_documentVersion = 0;
    int m_annotationVersion = 0;
    pdfview::DisplayMode m_displayMode = pdfview::DisplayMode::SinglePageContinuous;
    IndexSet m_organizerSelection;
    Outline m_outline;
    bool m_showScanSuggestion = false;
    SidebarTab m_sidebarTab = SidebarTab::thumbnails;
    QString m_searchText;
    QList<SearchHit> m_searchHits;
    bool m_isSearching = false;
    std::optional<int> m_currentHit;
    std::optional<Toast> m_toast;
    std::optional<TaskProgress> m_progress;
    bool m_progressVisible = false;
    std::optional<QString> m_unlockedPassword;
    bool m_outlineLoaded = false;
    struct MarksCache {
        int annotations = 0;
        int pages = 0;
        QList<AnnotationItem> marks;
    };
    std::optional<MarksCache> m_marksCache;
    platform::WorkItem m_positionSave;
    std::optional<PendingCrop> m_pendingCrop;
    PageGridHost* m_pageGrid = nullptr;
    // The selection's style when a line-width drag started; the drag's undo step goes back to it.
    std::shared_ptr<core::AnnotationStyle> m_lineWidthDragStart;
    pdf::AnnotationPtr m_lineWidthDragAnnotation;
    // Search: the find in progress (a child object), matches waiting for the next flush, the flush itself and
    // the open "Search" signpost.
    pdf::TextFinder* m_finder = nullptr;
    pdf::TextReader* m_textCheck = nullptr; // reads the pages' text on workers before Make Searchable decides
    pdf::TextReader* m_scanCheck = nullptr; // reads the first pages' text before the scan suggestion decides
    QList<pdf::Selection> m_pendingHits;
    platform::WorkItem m_hitFlush;
    // The hits' selections as the canvas highlights them, kept beside the hits and extended with them; and
    // where each page stood when a hit on it was last made (checked before use: pages may move).
    QList<pdf::Selection> m_hitSelections;
    std::unordered_map<const pdf::Page*, int> m_hitPageIndex;
    bool m_findEnded = false; // the find has ended; hits may still wait for their flush
    std::optional<quint64> m_searchSignpost;
    RunningTaskPtr m_runningTask;
    std::shared_ptr<DetachedRunner> m_detachedRunner;
    // Edit mode.
    std::shared_ptr<core::PDFEditSession> m_editSession;
    std::optional<EditTarget> m_editHover;
    std::optional<EditTarget> m_editSelection;
    EditSessionOpener m_editSessionOpener;
    // The pages of the document the session was opened over (or last saved into), by identity; and whether
    // the document has changed around the session since (a menu command, an undo of another step).
    std::vector<pdf::PagePtr> m_editSessionPages;
    bool m_editSessionStale = false;
    bool m_savingEdit = false;
    QMetaObject::Connection m_editChangeWatch;
    void showEditError(const core::PDFiumError& error);
};

} // namespace vmk
