#pragma once

// Internal state of PDFView, shared by its implementation files.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/document/Selection.h"
#include "platform/pdfview/AnnotationHitIndex.h"
#include "platform/pdfview/BitmapPool.h"
#include "platform/pdfview/FieldEditing.h"
#include "platform/pdfview/NavigationHistory.h"
#include "platform/pdfview/PageRecordings.h"
#include "platform/pdfview/PageTexts.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/RenderScheduler.h"
#include "platform/pdfview/TileCache.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>

#include <unordered_map>

namespace vmk::pdfview {

struct PDFView::Private {
    explicit Private(PDFView* view);

    PDFView* q;
    // First, so that it goes last: the tiles' buffers come back to the pool before the view lets go of it.
    BitmapPool::Use bitmaps;
    pdf::DocumentPtr document;
    std::vector<pdf::PagePtr> pages; // the handles laid out, in order
    std::vector<std::uint32_t> generations;
    PageLayout layout;

    QColor background = PDFView::underPageBackgroundColor();
    bool shadows = true;
    bool autoScales = false;
    double minScale = 0.1;
    double maxScale = 10.0;
    int currentPage = -1;
    NavigationHistory history;
    std::function<QMargins()> obscured; // along the viewport's edges, under floating bars

    std::optional<pdf::Selection> selection;
    QList<pdf::Selection> highlights;
    int currentHighlight = -1;

    TileCache tiles;
    PageRecordings recordings;
    mutable PageTexts texts; // read for the pointer and selections; filled by const lookups
    // Once the view rests, the text of the pages on screen is read ahead, so that a drag made without
    // moving the pointer first finds it.
    QTimer textAhead;
    mutable AnnotationHitIndex hits; // a cache: filled by const lookups
    // Reads where the annotations of the pages on screen are, a part per turn of the event loop, so that
    // a crowded page never holds the window; the pointer's hover waits for it (hoverPending) meanwhile.
    QTimer hitsAhead;
    mutable bool hoverPending = false;
    mutable QPointF hoverPoint; // view space
    mutable bool hitsAfterWriting = false; // hitsAhead is started again once a document is written
    // While a document is being written, reading where annotations are would wait for the writer and
    // hold the window: true then, and the index and the hover go on once the writing is over.
    bool putOffWhileWriting() const;
    void indexHitsAhead();
    bool hitsReadyAt(QPointF viewPoint) const;
    std::vector<pdf::AnnotationPtr> excluded; // left out of their pages' drawing by this view only
    std::vector<const pdf::Annotation*> excludedOn(const pdf::PagePtr& page) const;
    RenderScheduler scheduler;
    bool updatingScrollBars = false;
    std::unique_ptr<FieldEditing> fields;

    // Mouse tracking of the base behaviour.
    enum class Press { None, Select, Link, Ignored };
    Press press = Press::None;
    QPointF pressPoint; // view space
    int pressPage = -1;
    QPointF pressPagePoint;
    pdf::AnnotationPtr pressLink;
    pdf::AnnotationPtr hoverLink;
    int clickCount = 0;
    QPointF lastDragPoint;
    QTimer autoscrollTimer;

    QPointer<QVariantAnimation> scrollAnimation;
    QPointer<QVariantAnimation> zoomAnimation;

    // A long document shown before its page tree is walked (pdf::Document::hasPagesPending()): laid out
    // from the count the tree claims, every page the size of the first, and handles made only for the
    // pages on screen. settlePages() walks the tree once the first screen is painted, or at once when the
    // user acts on the view, and corrects what the walk found otherwise.
    bool pagesPending = false;
    // Handles for the pages in the view; false when a pending document has none for one of them.
    bool takePendingPagesShown();
    void settlePages();

    // Layout and scrolling.
    void reloadPages();
    void relayout(); // after a change of mode, breaks, pages or size: keeps the top-left place
    void applyAutoScale();
    void setScale(double scale, QPointF anchor);
    void setScroll(QPointF scroll);
    void syncScrollBars();
    void afterScroll();
    void updateCurrentPage();
    void setCurrentPage(int index);
    ViewLocation location() const;
    void showLocation(const ViewLocation& location);
    void showRowOf(int page);

    // Rendering.
    double devicePixelRatio() const;
    QSize pagePixelSize(int page) const;
    TileKeySet requestTiles();
    void onTileReady(const TileKey& key, const QImage& image);
    void onTileFailed(const TileKey& key, pdf::RecordOutcome why);
    void onPageRecorded(int page);
    void paintPage(QPainter& painter, int page, const QRectF& exposed);
    bool visibleTilesComplete(int page, const QRectF& rect, QPointF origin, QSize pixels, double dpr, int scaleMilli,
                              std::uint32_t generation) const;
    void paintPlaceholder(QPainter& painter, const QRectF& rect, pdf::RecordOutcome why);
    // A page shown with nothing of it to paint this long says that it is being drawn, so that a page slow
    // to draw never looks like an empty one while it waits for its picture or its placeholder.
    static constexpr int kDrawingHintMs = 1000;
    QElapsedTimer sinceStart;
    std::unordered_map<int, qint64> blankSince; // pages shown with nothing to paint, since when
    QTimer drawingHint;                          // repaints when the first of them is due its hint
    bool showsNothingYet(int page, QPointF origin, QSize pixels, double dpr, int scaleMilli,
                         std::uint32_t generation) const;
    void noteBlank(QPainter& painter, int page, const QRectF& rect, bool blank);
    void paintShadow(QPainter& painter, const QRectF& page, const QRectF& exposed);
    void paintSelections(QPainter& painter, const QRectF& exposed);
    void invalidatePage(int page);
    void invalidateAll();

    // Input. A page's text is used only once read (see PageTexts): until then it has none.
    bool textReady(int page) const;
    void onPageTextRead(int page);
    void updateDragSelection(QPointF viewPoint);
    // The end of a drag selection, kept while a page it spans has its text still being read.
    struct PendingDrag {
        int page = -1;
        QPointF pagePoint;
    };
    PendingDrag pendingDrag;
    void selectTo(const PendingDrag& to);
    // `hovering`: the pointer only passes over, so a page whose annotations are still being read answers
    // no link for now, and the hover is looked at again once they are (see hitsAhead). Clicks wait.
    pdf::AnnotationPtr linkAt(QPointF viewPoint, bool hovering = false) const;
    void activateLink(const pdf::AnnotationPtr& link);
    void updateHoverLink(QPointF viewPoint);
    QString linkTarget(const pdf::AnnotationPtr& link) const;
    void selectWordAt(int page, QPointF pagePoint);
    void selectLineAt(int page, QPointF pagePoint);
    // A word or line click that met a page whose text was still being read, done when it is.
    struct PendingClick {
        int page = -1;
        QPointF pagePoint;
        bool line = false;
    };
    PendingClick pendingClick;

    static bool reduceMotion();
};

} // namespace vmk::pdfview
