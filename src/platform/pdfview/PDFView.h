#pragma once

#include "platform/pdfview/PageLayout.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QEasingCurve>
#include <QList>
#include <QMargins>
#include <QPointF>
#include <QRectF>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace vmk::pdf {
class Document;
class Page;
class Annotation;
class Selection;
struct Destination;
} // namespace vmk::pdf

namespace vmk::pdfview {

class RenderScheduler;

// A scrolling view of a PDF layer document.
//
// Coordinates: page space is the PDF user space of one page (unrotated, y up, in points); view
// space is the viewport's pixels (y down), that is viewport() coordinates. Sizes in points are
// logical pixels at scale 1. Child widgets placed in view space go into viewport().
//
// Subclasses (the page canvas, the presentation) extend it by overriding the Qt event handlers
// below; each may call the base handler to keep the default behaviour (text selection, links,
// form fields, scroll keys, cursors) or skip it entirely (a presentation click just turns the page).
// Pages are rendered in tiles on worker threads and cached for what is visible plus a margin.
class PDFView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PDFView(QWidget* parent = nullptr);
    ~PDFView() override;

    // --- Document -------------------------------------------------------------------------------
    void setDocument(std::shared_ptr<pdf::Document> document); // shows the first page
    std::shared_ptr<pdf::Document> document() const;
    // Replaces the document while keeping the current page, the page point at the viewport's top
    // left and the scale (the page index is clamped to the new page count).
    void swapDocument(std::shared_ptr<pdf::Document> document);
    // Pages were inserted, removed, moved, rotated or cropped: lay out again and render afresh.
    void layoutDocumentView();
    // One page's annotations changed: only that page is rendered again.
    void annotationsChanged(int pageIndex);
    // Leaves an annotation out of its page's drawing, or puts it back, while the view shows something else
    // in its place. Only this view's drawing changes: the annotation's flags and the file stay as they are.
    void setAnnotationExcluded(const std::shared_ptr<pdf::Annotation>& annotation, bool excluded);
    bool isAnnotationExcluded(const std::shared_ptr<pdf::Annotation>& annotation) const;

    // --- Display --------------------------------------------------------------------------------
    void setDisplayMode(DisplayMode mode);
    DisplayMode displayMode() const;
    void setDisplaysPageBreaks(bool on);
    bool displaysPageBreaks() const;
    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const;
    static QColor underPageBackgroundColor(); // the grey behind pages
    void setPageShadowsEnabled(bool on);
    bool pageShadowsEnabled() const;

    // --- Scale ----------------------------------------------------------------------------------
    // Automatic scaling follows the window: fit width when continuous, fit page otherwise.
    // Setting a scale (or zooming) turns it off.
    void setAutoScales(bool on);
    bool autoScales() const;
    double scaleFactor() const;
    void setScaleFactor(double scale); // clamped to [min, max]; keeps the viewport centre in place
    // Animates towards the scale over a short time (instant when reduced motion is asked for).
    void setScaleFactorAnimated(double scale);
    double minScaleFactor() const;
    double maxScaleFactor() const;
    void setMinScaleFactor(double scale);
    void setMaxScaleFactor(double scale);
    double scaleFactorForSizeToFit() const; // the automatic scale for the current window
    bool canZoomIn() const;
    bool canZoomOut() const;
    void zoomIn();
    void zoomOut();
    void zoomToFitWidth();
    // Scale so that the page, as displayed (rotation applied), fits with an inset on every side,
    // and show it centred.
    void zoomToFitPage(int pageIndex, double inset = 24.0);

    // --- Navigation -----------------------------------------------------------------------------
    int currentPageIndex() const; // -1 without a document or pages
    std::shared_ptr<pdf::Page> currentPage() const;
    void goToPage(int pageIndex); // shows the page's top; recorded in the history
    bool canGoToNextPage() const;
    bool canGoToPreviousPage() const;
    void goToNextPage();
    void goToPreviousPage();
    void goToFirstPage();
    void goToLastPage();
    // Shows a point of a page (page space) at the viewport's top left, as an outline entry asks.
    void goToPoint(int pageIndex, QPointF pagePoint);
    void goToDestination(const pdf::Destination& destination);
    // Shows a page rectangle (page space), scrolling only as far as needed to make it visible and clear of
    // the obscured margins.
    void goToRect(int pageIndex, const QRectF& pageRect);
    // Bands along the viewport's edges that bars floating over the view cover, asked for as goToRect
    // runs (the bars come and go): what it shows is kept out of them.
    void setObscuredMargins(std::function<QMargins()> margins);
    // Shows the first page of a selection and its bounds there.
    void goToSelection(const pdf::Selection& selection);
    bool canGoBack() const;
    bool canGoForward() const;
    void goBack();
    void goForward();

    // --- Scrolling ------------------------------------------------------------------------------
    // The part of the laid-out pages shown, in content pixels (the scroll origin is its top left).
    QRectF visibleRect() const;
    QPointF scrollOrigin() const;
    // Scrolls so that the content's y origin is at the viewport's top, clamped to the content.
    void scrollToY(double y, bool animated = false);
    // Scrolls with the given duration and curve, unless the (clamped) distance is maxDistance or more:
    // then nothing happens and false is returned.
    bool scrollToY(double y, int durationMs, const QEasingCurve& curve, double maxDistance);
    // The viewport's centre in page space, with the page it lies on (nearest page); -1 without pages.
    QPointF viewportCentreInPage(int* pageIndex) const;
    // While dragging: scrolls towards a view point that lies outside (or near the edge of) the viewport.
    // Returns whether it scrolled.
    bool autoscroll(QPointF viewPoint);

    // --- Coordinates ----------------------------------------------------------------------------
    int pageIndexAt(QPointF viewPoint, bool nearest) const; // -1 when none
    std::shared_ptr<pdf::Page> pageAt(QPointF viewPoint, bool nearest) const;
    int indexOfPage(const std::shared_ptr<pdf::Page>& page) const; // -1 for a foreign page
    QPointF convertPointToPage(QPointF viewPoint, int pageIndex) const;
    QPointF convertPointFromPage(QPointF pagePoint, int pageIndex) const;
    QRectF convertRectToPage(const QRectF& viewRect, int pageIndex) const;
    QRectF convertRectFromPage(const QRectF& pageRect, int pageIndex) const;
    QRectF pageRectInView(int pageIndex) const; // the page's crop box as shown
    const PageLayout& layout() const;

    // --- Hit-testing ----------------------------------------------------------------------------
    // The topmost annotation under a view point, on the page there; none on empty page or margins.
    std::shared_ptr<pdf::Annotation> annotationAt(QPointF viewPoint) const;
    // The index of the page character under a view point, -1 when none.
    int characterIndexAt(QPointF viewPoint) const;

    // --- Selection ------------------------------------------------------------------------------
    std::optional<pdf::Selection> currentSelection() const;
    void setCurrentSelection(const std::optional<pdf::Selection>& selection);
    void clearSelection();
    // Selections drawn highlighted, such as find hits; the current hit is drawn stronger.
    void setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex = -1);
    void clearHighlightedSelections();

    void refreshCursor(); // re-evaluates the cursor at the pointer's position

    // Rendering statistics, for tests and the benchmark.
    std::size_t cachedTileCount() const;
    std::size_t cachedTileBytes() const;
    // Whether every tile of the visible pages at the current scale is rendered.
    bool isFullyRendered() const;
    // Annotations of a shown page whose rectangles, grown by `tolerance` (page units), hold the point,
    // bottom to top; read from an index kept per look of the page. The page's own list when not shown.
    std::vector<std::shared_ptr<pdf::Annotation>> annotationsNear(const std::shared_ptr<pdf::Page>& page,
                                                                  QPointF pagePoint, double tolerance) const;
    // What interpreting one page, and drawing each of its tiles, may spend (on workers) before the page is
    // shown as a placeholder.
    void setPageDrawingBudget(int milliseconds, std::size_t bytes);
    // Whether the page shows a placeholder because it cannot be drawn: too slow, too large or unreadable.
    bool isPagePlaceholder(int pageIndex) const;
    // What the page's placeholder says; empty while the page is drawn or being drawn.
    QString pagePlaceholderMessage(int pageIndex) const;

signals:
    void documentChanged();
    // A long document's page tree was walked after its first screen showed (see
    // pdf::Document::hasPagesPending()); the pages laid out are those it holds.
    void pagesSettled();
    void currentPageChanged(int pageIndex);
    void scaleChanged(double scale);
    void displayModeChanged();
    void scrolled();
    void selectionChanged();
    void historyChanged();
    // A link to outside the document was clicked: a URI, or a file a launch action names.
    void externalLinkActivated(const QUrl& url);
    // The pointer came onto a link (its target: "Page 3", an address or a file) or left it (empty).
    void linkHovered(const QString& target);
    // A press on a form field was handed to the document (the document counts as changed).
    void formWidgetActivated(int pageIndex);
    // Tiles arrived and were painted: for tests and the benchmark.
    void tilesRendered();

protected:
    // Painted in view space after the pages, selections and highlights.
    virtual void paintOverlay(QPainter& painter, const QRect& exposed);
    // The cursor for the pointer at a view point when no subclass decides otherwise
    // (I-beam over text, pointing hand over links, arrow elsewhere).
    virtual Qt::CursorShape cursorShapeAt(QPointF viewPoint) const;
    // Whether a press on a link follows it (and the pointer shows a hand over it); when not, links
    // are plain page content and a press there selects text like anywhere else.
    virtual bool followsLinks() const { return true; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
    friend struct Private;
};

} // namespace vmk::pdfview
