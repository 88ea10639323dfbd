#pragma once

#include "editor/EditorCanvas.h"
#include "platform/pdfview/PDFView.h"
#include "views/CanvasEditMode.h"
#include "views/CanvasEffects.h"
#include "views/CanvasInteraction.h"
#include "views/CanvasSurface.h"

#include <QPointer>

#include <optional>

class QMouseEvent;
class QPlainTextEdit;

namespace vmk::views {

class BlockTextEditor;
class InlineTextView;
class NoteModel;
class NotePopover;

// The page canvas of a document window: our PDF view extended so that the tools of the modes act on the
// pages. It shows the document continuously, turns mouse and key events into gestures (CanvasInteraction)
// and hands each finished gesture to the Editor; it hosts the inline text box and the note popover, and
// paints the selection, the gesture in progress and the pending crop over the pages.
class PDFCanvasView : public pdfview::PDFView, public EditorCanvas, private CanvasSurface,
                      private CanvasEffectsHost {
    Q_OBJECT
public:
    // The text box being typed into inline.
    struct TextSession {
        pdf::AnnotationPtr annotation;
        pdf::PagePtr page;
        QPointer<InlineTextView> view;
        bool isNew = false;
    };
    // The note whose popover is open.
    struct NoteSession {
        pdf::AnnotationPtr annotation;
        pdf::PagePtr page;
        NoteModel* model = nullptr; // owned by the popover
        bool isNew = false;
        QPointer<NotePopover> popover;
    };

    // The page text block being retyped in Edit mode.
    struct BlockSession {
        core::EditableTextBlock block;
        int page = 0;
        QPointer<BlockTextEditor> view;
        bool singleLine = false;
        // What lies on the viewport: the editor itself, or on a turned page the host turning it.
        QPointer<QWidget> frame;
    };

    explicit PDFCanvasView(QWidget* parent = nullptr);
    ~PDFCanvasView() override;

    Editor* editor() const { return m_interaction.editor(); }
    const CanvasInteraction& interaction() const { return m_interaction; }
    const std::optional<Gesture>& gesture() const { return m_interaction.gesture(); }
    Tool activeTool() const { return m_interaction.activeTool(); }
    // Whether anything is drawn over the pages (scroll and zoom skip the redraw otherwise).
    bool hasOverlayContent() const;
    // Where the link under the pointer goes, as shown on hover; empty off links.
    QString hoveredLinkTarget() const { return m_hoveredLinkTarget; }

    // --- Text box and note ----------------------------------------------------------------------------------
    const std::optional<TextSession>& textSession() const { return m_textSession; }
    const std::optional<NoteSession>& noteSession() const { return m_noteSession; }
    void beginTextBoxEditing(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, bool isNew) override;
    void fitTextViewHeight();
    void showNotePopover(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page, bool isNew) override;
    // Closes the note popover; its text is kept.
    void closeNotePopover();

    // --- The Delete command ---------------------------------------------------------------------------------
    bool validateDelete() const { return m_interaction.canDelete(); }
    void deleteSelection() { m_interaction.deleteSelection(); }

    // --- Edit mode ------------------------------------------------------------------------------------------
    const CanvasEditMode& editMode() const { return m_editMode; }
    const std::optional<BlockSession>& blockSession() const { return m_blockSession; }
    // Lays the block text editor over the block (closing an open one with commit first).
    void beginBlockEditing(const core::EditableTextBlock& block, int pageIndex);
    void fitBlockTextView();
    // Puts the block editor back over its block after scrolling.
    void positionBlockTextView();

    // Stops every running effect at once.
    void clearEffects();
    CanvasEffects& effects() { return m_effects; }
    const CanvasEffects& effects() const { return m_effects; }

    // --- EditorCanvas ---------------------------------------------------------------------------------------
    QObject* canvasObject() override { return this; }
    QWidget* canvasWidget() override { return this; }
    void setEditor(Editor* editor) override;
    void commitTextSession() override;
    void endBlockSession(bool commit) override;
    void toolDidChange() override;
    void resetGesture() override;
    void setOverlayNeedsDisplay() override;
    void refreshCursor() override;
    void playMarkupSweep(const QList<AnnotationItem>& items, const QString& subtype, const QColor& color) override;
    void playSignatureWrite(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page,
                            const QImage& image) override;
    void setDocument(const pdf::DocumentPtr& document) override;
    void swapDocument(const pdf::DocumentPtr& document) override;
    pdf::DocumentPtr document() const override;
    bool isInWindow() const override;
    void layoutDocumentView() override;
    using PDFView::annotationsChanged;
    void annotationsChanged(const pdf::PagePtr& page) override;
    pdf::PagePtr currentPage() const override;
    std::optional<pdf::Destination> currentDestination() const override;
    using PDFView::goToPage;
    void goToPage(const pdf::PagePtr& page) override;
    void scrollToPageAnimated(const pdf::PagePtr& page) override;
    void goToDestination(const pdf::Destination& destination) override;
    double scaleFactor() const override;
    using PDFView::setScaleFactor;
    void setScaleFactor(double scale, bool animated) override;
    double minScaleFactor() const override;
    double maxScaleFactor() const override;
    bool autoScales() const override;
    void setAutoScales(bool on) override;
    QSizeF boundsSize() const override;
    void setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex) override;
    void goToSelection(const pdf::Selection& selection) override;
    using PDFView::setCurrentSelection;
    void setCurrentSelection(const std::optional<pdf::Selection>& selection, bool animated) override;
    std::optional<pdf::Selection> currentSelection() const override;
    void clearSelection() override;
    QPointF visibleCentreInPage(const pdf::PagePtr& page) const override;

protected:
    void paintOverlay(QPainter& painter, const QRect& exposed) override;
    Qt::CursorShape cursorShapeAt(QPointF viewPoint) const override;
    // Links are followed with the select tool outside Redact and Edit mode; under a markup tool or in
    // Redact mode linked text is text like any other.
    bool followsLinks() const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // CanvasSurface
    pdf::DocumentPtr shownDocument() const override { return PDFView::document(); }
    int pageIndexAt(QPointF viewPoint, bool nearest) const override;
    QPointF toPage(QPointF viewPoint, int pageIndex) const override;
    QPointF fromPage(QPointF pagePoint, int pageIndex) const override;
    double viewScale() const override { return PDFView::scaleFactor(); }
    pdf::AnnotationPtr baseAnnotationAt(QPointF viewPoint) const override;
    std::vector<pdf::AnnotationPtr> annotationsAround(const pdf::PagePtr& page, QPointF pagePoint,
                                                      double tolerance) const override;
    int characterIndexAt(QPointF viewPoint) const override;
    void basePress() override;
    void baseDrag() override;
    void baseRelease() override;
    std::optional<pdf::Selection> textSelection() const override { return PDFView::currentSelection(); }
    void clearTextSelection() override { PDFView::clearSelection(); }
    void autoscrollTo(QPointF viewPoint) override { autoscroll(viewPoint); }
    void redrawOverlay() override;
    void takeFocus() override;
    void stopEffects() override { clearEffects(); }
    void pageAnnotationsChangedLive(const pdf::PagePtr& page) override;

    // CanvasEffectsHost
    QRectF effectViewRect(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page) const override;
    void setEffectHidden(const pdf::AnnotationPtr& annotation, bool hidden) override;
    void effectsNeedDisplay() override { redrawOverlay(); }
    void afterRendering(std::function<void()> done) override;
    void runRenderWaiters();

    void scaleDidChange();
    void boundsDidChange();
    void positionTextView();
    void noteDidClose(NotePopover* popover);
    void commitNote(const NoteSession& session);

    // Drawing (CanvasDrawing.cpp).
    void drawSelection(QPainter& painter);
    void drawGesturePreview(QPainter& painter);
    void drawCropDimming(QPainter& painter, int pageIndex, const QRectF& viewRect);

    CanvasInteraction m_interaction;
    CanvasEffects m_effects{this};
    CanvasEditMode m_editMode;
    std::optional<BlockSession> m_blockSession;
    class BackgroundSampler* m_backgroundSampler = nullptr; // a child, made when a block is first edited
    bool inEditMode() const;
    std::optional<TextSession> m_textSession;
    std::optional<NoteSession> m_noteSession;
    QMouseEvent* m_event = nullptr; // the event being dispatched to the interaction
    QString m_hoveredLinkTarget;    // where the link under the pointer goes; empty off links
    std::vector<std::function<void()>> m_renderWaiters; // run once the pages on screen are drawn afresh
    bool m_eventIsDoubleClick = false;
    // The selected annotation's outline and handles as last drawn, in page space: while a document is
    // being written they are drawn from here, since reading the annotation would wait for the writer.
    struct DrawnSelection {
        std::weak_ptr<pdf::Annotation> annotation;
        int page = -1;
        std::optional<QRectF> outline;
        bool dashed = false;
        QList<QPointF> handles;
    };
    DrawnSelection m_drawnSelection;
    bool m_redrawAfterWriting = false;
};

} // namespace vmk::views
