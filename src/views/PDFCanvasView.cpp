#include "views/PDFCanvasView.h"

#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/HeapTrim.h"
#include "platform/services/ReduceMotion.h"
#include "views/InlineTextView.h"
#include "views/NoteAnnotation.h"
#include "views/LinkOpening.h"
#include "views/NoteEditorView.h"

#include <QCoreApplication>
#include <QCursor>
#include <QTimer>
#include <QToolTip>

#include <QMouseEvent>

namespace vmk::views {

PDFCanvasView::PDFCanvasView(QWidget* parent)
    : PDFView(parent)
    , m_interaction(*this)
    , m_editMode(*this, {[this](const core::EditableTextBlock& block, int page) { beginBlockEditing(block, page); },
                         [this](bool commit) { endBlockSession(commit); },
                         [this]() -> std::optional<qint64> {
                             if (m_blockSession)
                                 return m_blockSession->block.id;
                             return std::nullopt;
                         }})
{
    NoteAnnotation::install();
    PDFView::setAutoScales(true);
    setDisplayMode(pdfview::DisplayMode::SinglePageContinuous);
    setDisplaysPageBreaks(true);
    setBackgroundColor(underPageBackgroundColor());
    setPageShadowsEnabled(true);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    connect(this, &PDFView::currentPageChanged, this, [this] {
        if (Editor* e = editor())
            e->notePageChange();
    });
    connect(this, &PDFView::pagesSettled, this, [this] {
        if (Editor* e = editor())
            e->notePageChange();
    });
    connect(this, &PDFView::scaleChanged, this, &PDFCanvasView::scaleDidChange);
    connect(this, &PDFView::scrolled, this, &PDFCanvasView::boundsDidChange);
    connect(this, &PDFView::tilesRendered, this, [this] {
        if (!m_renderWaiters.empty() && isFullyRendered())
            runRenderWaiters();
    });
    connect(this, &PDFView::externalLinkActivated, this, [this](const QUrl& url) { openExternalLink(this, url); });
    // Where a link goes shows beside the pointer before it is clicked.
    connect(this, &PDFView::linkHovered, this, [this](const QString& target) {
        if (target.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), target, viewport());
        m_hoveredLinkTarget = target;
    });
    connect(this, &PDFView::formWidgetActivated, this, [this] {
        if (Editor* e = editor())
            e->noteFormFieldEdited();
    });
}

PDFCanvasView::~PDFCanvasView()
{
    if (m_noteSession && m_noteSession->popover)
        m_noteSession->popover->disconnect(this);
    // The tiles this view drew are freed as the view's state goes, after this body, once no other view
    // keeps the pool of bitmaps; what they held is handed back by a trim from the event loop (after the
    // closing document's, if one is under way).
    QTimer::singleShot(0, QCoreApplication::instance(), [] { platform::trimHeapSoon(); });
}

bool PDFCanvasView::hasOverlayContent() const
{
    if (gesture())
        return true;
    if (Editor* e = editor()) {
        if (e->selectedAnnotation() || e->pendingCrop())
            return true;
        if (e->mode() == EditorMode::edit && (e->editHover() || e->editSelection() || m_editMode.isDraggingImage()))
            return true;
    }
    return m_textSession.has_value() || m_blockSession.has_value() || m_effects.isRunning()
        || m_effects.afterimageCount() > 0;
}

// --- Events ------------------------------------------------------------------------------------------

bool PDFCanvasView::inEditMode() const
{
    return editor() && editor()->mode() == EditorMode::edit && PDFView::document();
}

void PDFCanvasView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        PDFView::mousePressEvent(event);
        return;
    }
    if (inEditMode()) {
        m_editMode.mouseDown(event->position());
        refreshCursor();
        event->accept();
        return;
    }
    m_event = event;
    m_eventIsDoubleClick = false;
    m_interaction.mouseDown({event->position(), 1, event->modifiers()});
    m_event = nullptr;
    event->accept();
}

void PDFCanvasView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        PDFView::mouseDoubleClickEvent(event);
        return;
    }
    if (inEditMode()) {
        // The press never looks at the click count.
        m_editMode.mouseDown(event->position());
        event->accept();
        return;
    }
    m_event = event;
    m_eventIsDoubleClick = true;
    m_interaction.mouseDown({event->position(), 2, event->modifiers()});
    m_event = nullptr;
    event->accept();
}

void PDFCanvasView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        // The edit hover reads the edit session's own copy of the page, never the document: it goes on
        // while a document is being written.
        if (inEditMode())
            m_editMode.updateHover(event->position());
        PDFView::mouseMoveEvent(event); // hover: the cursor comes from cursorShapeAt
        return;
    }
    if (inEditMode() && m_editMode.isDraggingImage()) {
        m_editMode.dragImage(event->position(), event->modifiers() & Qt::ShiftModifier);
        event->accept();
        return;
    }
    m_event = event;
    m_interaction.mouseDragged({event->position(), 1, event->modifiers()});
    m_event = nullptr;
    event->accept();
}

void PDFCanvasView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        PDFView::mouseReleaseEvent(event);
        return;
    }
    if (m_editMode.isDraggingImage()) {
        m_editMode.finishImageDrag();
        refreshCursor();
        event->accept();
        return;
    }
    m_event = event;
    m_interaction.mouseUp({event->position(), 1, event->modifiers()});
    m_event = nullptr;
    event->accept();
}

void PDFCanvasView::keyPressEvent(QKeyEvent* event)
{
    if (inEditMode() && m_editMode.keyDown(event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    if (m_interaction.keyDown({event->key(), event->modifiers()})) {
        event->accept();
        return;
    }
    PDFView::keyPressEvent(event);
}

bool PDFCanvasView::followsLinks() const
{
    const Editor* e = editor();
    if (!e)
        return true;
    return m_interaction.activeTool() == Tool::select && e->mode() != EditorMode::redact && e->mode() != EditorMode::edit;
}

Qt::CursorShape PDFCanvasView::cursorShapeAt(QPointF viewPoint) const
{
    if (inEditMode())
        return m_editMode.cursorAt(viewPoint);
    return m_interaction.cursorAt(viewPoint).value_or(PDFView::cursorShapeAt(viewPoint));
}

// --- CanvasSurface -----------------------------------------------------------------------------------

int PDFCanvasView::pageIndexAt(QPointF viewPoint, bool nearest) const
{
    return PDFView::pageIndexAt(viewPoint, nearest);
}

QPointF PDFCanvasView::toPage(QPointF viewPoint, int pageIndex) const
{
    return convertPointToPage(viewPoint, pageIndex);
}

QPointF PDFCanvasView::fromPage(QPointF pagePoint, int pageIndex) const
{
    return convertPointFromPage(pagePoint, pageIndex);
}

pdf::AnnotationPtr PDFCanvasView::baseAnnotationAt(QPointF viewPoint) const
{
    return annotationAt(viewPoint);
}

std::vector<pdf::AnnotationPtr> PDFCanvasView::annotationsAround(const pdf::PagePtr& page, QPointF pagePoint,
                                                                 double tolerance) const
{
    return annotationsNear(page, pagePoint, tolerance);
}

int PDFCanvasView::characterIndexAt(QPointF viewPoint) const
{
    return PDFView::characterIndexAt(viewPoint);
}

void PDFCanvasView::basePress()
{
    if (!m_event)
        return;
    if (m_eventIsDoubleClick)
        PDFView::mouseDoubleClickEvent(m_event);
    else
        PDFView::mousePressEvent(m_event);
}

void PDFCanvasView::baseDrag()
{
    if (m_event)
        PDFView::mouseMoveEvent(m_event);
}

void PDFCanvasView::baseRelease()
{
    if (m_event)
        PDFView::mouseReleaseEvent(m_event);
}

void PDFCanvasView::redrawOverlay()
{
    viewport()->update();
}

void PDFCanvasView::takeFocus()
{
    setFocus(Qt::MouseFocusReason);
}

void PDFCanvasView::pageAnnotationsChangedLive(const pdf::PagePtr& page)
{
    if (const pdf::DocumentPtr doc = PDFView::document(); doc && page)
        PDFView::annotationsChanged(doc->indexOf(page));
}

// --- Scroll and zoom -----------------------------------------------------------------------------------

void PDFCanvasView::scaleDidChange()
{
    commitTextSession();
    endBlockSession(true);
    if (hasOverlayContent())
        redrawOverlay();
}

void PDFCanvasView::boundsDidChange()
{
    positionTextView();
    positionBlockTextView();
    clearEffects();
    if (hasOverlayContent())
        redrawOverlay();
}

void PDFCanvasView::clearEffects()
{
    m_effects.clear();
}

// --- EditorCanvas --------------------------------------------------------------------------------------

void PDFCanvasView::setEditor(Editor* editor)
{
    m_interaction.setEditor(editor);
    m_editMode.setEditor(editor);
}

void PDFCanvasView::toolDidChange()
{
    commitTextSession();
    if (Editor* e = editor(); e && e->tool() != Tool::crop)
        e->setPendingCrop(std::nullopt);
    redrawOverlay();
}

void PDFCanvasView::resetGesture()
{
    m_interaction.endGesture();
    m_editMode.reset();
}

void PDFCanvasView::setOverlayNeedsDisplay()
{
    redrawOverlay();
}

void PDFCanvasView::refreshCursor()
{
    PDFView::refreshCursor();
}

void PDFCanvasView::playMarkupSweep(const QList<AnnotationItem>& items, const QString& subtype, const QColor& color)
{
    m_effects.playMarkupSweep(items, subtype, color);
}

void PDFCanvasView::playSignatureWrite(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page,
                                       const QImage& image)
{
    m_effects.playSignatureWrite(annotation, page, image);
}

void PDFCanvasView::setDocument(const pdf::DocumentPtr& document)
{
    clearEffects();
    commitTextSession();
    closeNotePopover();
    m_interaction.endGesture();
    PDFView::setDocument(document);
}

void PDFCanvasView::swapDocument(const pdf::DocumentPtr& document)
{
    clearEffects();
    commitTextSession();
    closeNotePopover();
    m_interaction.endGesture();
    PDFView::swapDocument(document);
}

pdf::DocumentPtr PDFCanvasView::document() const
{
    return PDFView::document();
}

bool PDFCanvasView::isInWindow() const
{
    return isVisible();
}

void PDFCanvasView::layoutDocumentView()
{
    PDFView::layoutDocumentView();
}

void PDFCanvasView::annotationsChanged(const pdf::PagePtr& page)
{
    pageAnnotationsChangedLive(page);
}

pdf::PagePtr PDFCanvasView::currentPage() const
{
    return PDFView::currentPage();
}

std::optional<pdf::Destination> PDFCanvasView::currentDestination() const
{
    const pdf::DocumentPtr doc = PDFView::document();
    int index = -1;
    if (!doc)
        return std::nullopt;
    const QPointF topLeft(0, 0);
    index = PDFView::pageIndexAt(topLeft, true);
    if (index < 0)
        return std::nullopt;
    return pdf::Destination{doc->page(index), convertPointToPage(topLeft, index)};
}

void PDFCanvasView::goToPage(const pdf::PagePtr& page)
{
    if (const pdf::DocumentPtr doc = PDFView::document(); doc && page) {
        if (const int index = doc->indexOf(page); index >= 0)
            PDFView::goToPage(index);
    }
}

void PDFCanvasView::scrollToPageAnimated(const pdf::PagePtr& page)
{
    const pdf::DocumentPtr doc = PDFView::document();
    const int index = doc && page ? doc->indexOf(page) : -1;
    if (index < 0)
        return;
    if (platform::reduceMotionEnabled() || !pdfview::isContinuous(displayMode())) {
        PDFView::goToPage(index);
        return;
    }
    // The page's top less 8 points, in content coordinates.
    const double top = scrollOrigin().y() + pageRectInView(index).top() - 8 * PDFView::scaleFactor();
    // Pages four screens away or more are reached without animation.
    if (!scrollToY(top, CanvasEffects::kPageScrollMs, CanvasEffects::overshootCurve(), 4.0 * viewport()->height()))
        PDFView::goToPage(index);
}

void PDFCanvasView::goToDestination(const pdf::Destination& destination)
{
    PDFView::goToDestination(destination);
}

double PDFCanvasView::scaleFactor() const { return PDFView::scaleFactor(); }

void PDFCanvasView::setScaleFactor(double scale, bool animated)
{
    if (animated)
        setScaleFactorAnimated(scale);
    else
        PDFView::setScaleFactor(scale);
}

double PDFCanvasView::minScaleFactor() const { return PDFView::minScaleFactor(); }
double PDFCanvasView::maxScaleFactor() const { return PDFView::maxScaleFactor(); }
bool PDFCanvasView::autoScales() const { return PDFView::autoScales(); }
void PDFCanvasView::setAutoScales(bool on) { PDFView::setAutoScales(on); }
QSizeF PDFCanvasView::boundsSize() const { return viewport()->size(); }

void PDFCanvasView::setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex)
{
    PDFView::setHighlightedSelections(selections, currentIndex);
}

void PDFCanvasView::goToSelection(const pdf::Selection& selection) { PDFView::goToSelection(selection); }

void PDFCanvasView::setCurrentSelection(const std::optional<pdf::Selection>& selection, bool)
{
    PDFView::setCurrentSelection(selection);
}

std::optional<pdf::Selection> PDFCanvasView::currentSelection() const { return PDFView::currentSelection(); }
void PDFCanvasView::clearSelection() { PDFView::clearSelection(); }

QPointF PDFCanvasView::visibleCentreInPage(const pdf::PagePtr& page) const
{
    const pdf::DocumentPtr doc = PDFView::document();
    const int index = doc && page ? doc->indexOf(page) : -1;
    if (index < 0)
        return page ? page->cropBox().center() : QPointF();
    return convertPointToPage(QRectF(viewport()->rect()).center(), index);
}

} // namespace vmk::views
