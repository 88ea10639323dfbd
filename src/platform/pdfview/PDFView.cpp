#include "platform/pdfview/PDFViewPrivate.h"
#include "platform/services/Logger.h"

#include "platform/pdfview/BandedScrollBar.h"

#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace vmk::pdfview {

PDFView::Private::Private(PDFView* view)
    : q(view)
{
}

bool PDFView::Private::reduceMotion()
{
    return qEnvironmentVariableIntValue("VMK_REDUCE_MOTION") != 0;
}

PDFView::PDFView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , d(std::make_unique<Private>(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    // Repainted at every step of scrolling, and as tall as the window.
    setVerticalScrollBar(new BandedScrollBar(Qt::Vertical, this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    d->layout.setViewportSize(viewport()->size());
    connect(&d->scheduler, &RenderScheduler::tileReady, this,
            [this](const TileKey& key, const QImage& image) { d->onTileReady(key, image); });
    d->sinceStart.start();
    d->drawingHint.setSingleShot(true);
    connect(&d->drawingHint, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    connect(&d->scheduler, &RenderScheduler::tileFailed, this,
            [this](const TileKey& key, pdf::RecordOutcome why) { d->onTileFailed(key, why); });
    connect(&d->recordings, &PageRecordings::pageFinished, this, [this](int page) { d->onPageRecorded(page); });
    connect(&d->texts, &PageTexts::pageRead, this, [this](int page) { d->onPageTextRead(page); });
    d->textAhead.setSingleShot(true);
    d->textAhead.setInterval(250);
    connect(&d->textAhead, &QTimer::timeout, this, [this] {
        for (int page : d->layout.pagesIn(QRectF(viewport()->rect())))
            d->textReady(page);
    });
    d->hitsAhead.setSingleShot(true);
    d->hitsAhead.setInterval(0);
    connect(&d->hitsAhead, &QTimer::timeout, this, [this] { d->indexHitsAhead(); });
    d->autoscrollTimer.setInterval(30);
    d->fields = std::make_unique<FieldEditing>(*this, [this](int page) { emit formWidgetActivated(page); });
    connect(&d->autoscrollTimer, &QTimer::timeout, this, [this] {
        if (autoscroll(d->lastDragPoint))
            d->updateDragSelection(d->lastDragPoint);
    });
}

PDFView::~PDFView()
{
    // Workers hold only snapshots; stop them before the rest of the state goes.
    d->scheduler.cancelAll();
    d->recordings.clear();
    d->texts.forgetAll();
}

// --- Document ---------------------------------------------------------------------------------------

void PDFView::setDocument(std::shared_ptr<pdf::Document> document)
{
    d->fields->cancel(); // the field belongs to the document going away
    d->document = std::move(document);
    d->history.clear();
    d->selection.reset();
    d->highlights.clear();
    d->currentHighlight = -1;
    d->reloadPages();
    d->invalidateAll();
    d->textAhead.start();
    d->layout.setShownRow(0);
    if (d->autoScales)
        d->applyAutoScale();
    d->setScroll(QPointF(0, 0));
    d->currentPage = -1;
    d->setCurrentPage(d->pages.empty() ? -1 : 0);
    emit documentChanged();
    emit historyChanged();
    emit selectionChanged();
}

std::shared_ptr<pdf::Document> PDFView::document() const
{
    return d->document;
}

void PDFView::swapDocument(std::shared_ptr<pdf::Document> document)
{
    d->fields->cancel();
    ViewLocation here = d->location();
    d->document = std::move(document);
    d->selection.reset();
    d->highlights.clear();
    d->currentHighlight = -1;
    d->reloadPages();
    d->invalidateAll();
    d->history.clampToPageCount(int(d->pages.size()));
    here.page = std::min(here.page, int(d->pages.size()) - 1);
    if (d->autoScales)
        d->applyAutoScale();
    if (here.page >= 0) {
        d->showLocation(here);
    } else {
        d->setScroll(QPointF(0, 0));
        d->setCurrentPage(d->pages.empty() ? -1 : 0);
    }
    emit documentChanged();
    emit selectionChanged();
}

void PDFView::layoutDocumentView()
{
    d->fields->commit(); // the box would sit over another place once the pages move
    ViewLocation here = d->location();
    d->reloadPages();
    d->invalidateAll();
    d->history.clampToPageCount(int(d->pages.size()));
    here.page = std::min(here.page, int(d->pages.size()) - 1);
    if (d->autoScales)
        d->applyAutoScale();
    if (here.page >= 0)
        d->showLocation(here);
    else
        d->setCurrentPage(-1);
    emit historyChanged();
}

void PDFView::annotationsChanged(int pageIndex)
{
    d->invalidatePage(pageIndex);
}

static PageGeometry geometryOf(const pdf::PagePtr& page)
{
    return page ? PageGeometry{page->cropBox(), page->rotation()} : PageGeometry{};
}

static bool sameGeometry(const PageGeometry& a, const PageGeometry& b)
{
    return a.cropBox == b.cropBox && a.normalizedRotation() == b.normalizedRotation();
}

void PDFView::Private::reloadPages()
{
    // How long a pending document waits for its first screen to be painted before its tree is walked
    // anyway (a view that is not shown paints nothing).
    constexpr int kSettleAnywayMs = 1000;
    pagesPending = document && document->hasPagesPending();
    if (pagesPending) {
        pages.assign(size_t(document->pageCountForShowing()), nullptr);
        if (!pages.empty())
            pages[0] = document->pageForShowing(0);
        QTimer::singleShot(kSettleAnywayMs, q, [this] { settlePages(); });
    } else {
        pages = document ? document->pages() : std::vector<pdf::PagePtr>();
    }
    std::vector<PageGeometry> geometry;
    geometry.reserve(pages.size());
    const PageGeometry first = pages.empty() ? PageGeometry{} : geometryOf(pages[0]);
    for (const pdf::PagePtr& page : pages)
        geometry.push_back(page || !pagesPending ? geometryOf(page) : first);
    const int n = int(pages.size());
    // Generations only grow, so that a tile of a page that took another's index never matches.
    std::uint32_t next = 0;
    for (std::uint32_t g : generations)
        next = std::max(next, g + 1);
    generations.assign(size_t(n), next);
    layout.setPages(std::move(geometry));
}

bool PDFView::Private::takePendingPagesShown()
{
    bool all = true;
    for (int page : layout.pagesIn(QRectF(q->viewport()->rect()))) {
        if (!pages[size_t(page)])
            pages[size_t(page)] = document->pageForShowing(page);
        all = all && pages[size_t(page)];
    }
    return all;
}

void PDFView::Private::settlePages()
{
    if (!pagesPending || !document)
        return;
    pagesPending = false;
    platform::SignpostInterval signpost(QStringLiteral("Settle Pages"));
    std::vector<pdf::PagePtr> walked = document->pages();
    bool kept = walked.size() == pages.size();
    for (size_t i = 0; kept && i < pages.size(); ++i)
        kept = !pages[i] || pages[i] == walked[i];
    if (!kept) {
        q->layoutDocumentView(); // the tree held other pages than it claimed
    } else {
        // The pages on screen keep their tiles; those of another size than the first are laid out anew.
        std::vector<PageGeometry> geometry;
        geometry.reserve(walked.size());
        std::vector<int> resized;
        for (size_t i = 0; i < walked.size(); ++i) {
            geometry.push_back(geometryOf(walked[i]));
            if (!sameGeometry(geometry.back(), layout.pages()[i]))
                resized.push_back(int(i));
        }
        pages = std::move(walked);
        if (!resized.empty()) {
            const ViewLocation here = location();
            layout.setPages(std::move(geometry));
            for (int page : resized)
                invalidatePage(page);
            if (autoScales)
                applyAutoScale();
            showLocation(here);
            q->viewport()->update();
        }
    }
    emit q->pagesSettled();
}

// --- Display ----------------------------------------------------------------------------------------

void PDFView::setDisplayMode(DisplayMode mode)
{
    if (mode == d->layout.displayMode())
        return;
    const ViewLocation here = d->location();
    d->layout.setDisplayMode(mode);
    setVerticalScrollBarPolicy(isContinuous(mode) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    d->layout.setViewportSize(viewport()->size());
    if (d->autoScales)
        d->applyAutoScale();
    if (here.page >= 0)
        d->showLocation(here);
    viewport()->update();
    emit displayModeChanged();
}

DisplayMode PDFView::displayMode() const
{
    return d->layout.displayMode();
}

void PDFView::setDisplaysPageBreaks(bool on)
{
    if (on == d->layout.pageBreaks())
        return;
    const ViewLocation here = d->location();
    d->layout.setPageBreaks(on);
    if (d->autoScales)
        d->applyAutoScale();
    if (here.page >= 0)
        d->showLocation(here);
    viewport()->update();
}

bool PDFView::displaysPageBreaks() const
{
    return d->layout.pageBreaks();
}

void PDFView::setBackgroundColor(const QColor& color)
{
    d->background = color;
    viewport()->update();
}

QColor PDFView::backgroundColor() const
{
    return d->background;
}

QColor PDFView::underPageBackgroundColor()
{
    return QColor(0x8c, 0x8c, 0x8c);
}

void PDFView::setPageShadowsEnabled(bool on)
{
    d->shadows = on;
    viewport()->update();
}

bool PDFView::pageShadowsEnabled() const
{
    return d->shadows;
}

// --- Scale ------------------------------------------------------------------------------------------

void PDFView::setAutoScales(bool on)
{
    d->autoScales = on;
    if (on)
        d->applyAutoScale();
}

bool PDFView::autoScales() const
{
    return d->autoScales;
}

double PDFView::scaleFactor() const
{
    return d->layout.scale();
}

void PDFView::setScaleFactor(double scale)
{
    if (d->zoomAnimation)
        d->zoomAnimation->stop();
    d->autoScales = false;
    d->setScale(scale, QRectF(viewport()->rect()).center());
}

void PDFView::setScaleFactorAnimated(double scale)
{
    scale = std::clamp(scale, d->minScale, d->maxScale);
    if (d->reduceMotion() || !isVisible()) {
        setScaleFactor(scale);
        return;
    }
    if (d->zoomAnimation)
        d->zoomAnimation->stop();
    d->autoScales = false;
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(scaleFactor());
    animation->setEndValue(scale);
    animation->setDuration(180);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { d->setScale(v.toDouble(), QRectF(viewport()->rect()).center()); });
    d->zoomAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

double PDFView::minScaleFactor() const
{
    return d->minScale;
}

double PDFView::maxScaleFactor() const
{
    return d->maxScale;
}

void PDFView::setMinScaleFactor(double scale)
{
    d->minScale = std::clamp(scale, 0.01, d->maxScale);
    if (scaleFactor() < d->minScale)
        d->setScale(d->minScale, QRectF(viewport()->rect()).center());
}

void PDFView::setMaxScaleFactor(double scale)
{
    d->maxScale = std::max(scale, d->minScale);
    if (scaleFactor() > d->maxScale)
        d->setScale(d->maxScale, QRectF(viewport()->rect()).center());
}

double PDFView::scaleFactorForSizeToFit() const
{
    return std::clamp(d->layout.autoScale(), d->minScale, d->maxScale);
}

static constexpr double kZoomStep = 1.25;

bool PDFView::canZoomIn() const
{
    return d->document && scaleFactor() < d->maxScale - 1e-9;
}

bool PDFView::canZoomOut() const
{
    return d->document && scaleFactor() > d->minScale + 1e-9;
}

void PDFView::zoomIn()
{
    setScaleFactor(scaleFactor() * kZoomStep);
}

void PDFView::zoomOut()
{
    setScaleFactor(scaleFactor() / kZoomStep);
}

void PDFView::zoomToFitWidth()
{
    d->autoScales = false;
    d->setScale(d->layout.fitWidthScale(), QPointF(0, 0));
}

void PDFView::zoomToFitPage(int pageIndex, double inset)
{
    if (pageIndex < 0 || pageIndex >= int(d->pages.size()))
        return;
    d->autoScales = false;
    d->showRowOf(pageIndex);
    d->setScale(d->layout.fitPageScale(pageIndex, inset), QPointF(0, 0));
    const QPointF centre = d->layout.pageRectInDocument(pageIndex).center() * scaleFactor();
    d->setScroll(centre + d->layout.centringOffset() - QRectF(viewport()->rect()).center());
    d->setCurrentPage(pageIndex);
}

void PDFView::Private::applyAutoScale()
{
    layout.setViewportSize(q->viewport()->size());
    setScale(layout.autoScale(), QPointF(0, 0));
}

void PDFView::Private::setScale(double scale, QPointF anchor)
{
    scale = std::clamp(scale, minScale, maxScale);
    if (std::abs(scale - layout.scale()) < 1e-9)
        return;
    const QPointF documentPoint = layout.viewToDocument(anchor);
    layout.setScale(scale);
    setScroll(documentPoint * scale + layout.centringOffset() - anchor);
    q->viewport()->update();
    emit q->scaleChanged(scale);
}

// --- Scrolling plumbing -----------------------------------------------------------------------------

void PDFView::Private::setScroll(QPointF scroll)
{
    const QPointF before = layout.scroll();
    layout.setScroll(scroll);
    syncScrollBars();
    if (layout.scroll() != before)
        afterScroll();
    else
        updateCurrentPage();
}

void PDFView::Private::syncScrollBars()
{
    updatingScrollBars = true;
    const QPointF max = layout.maxScroll();
    const QSize size = q->viewport()->size();
    QScrollBar* h = q->horizontalScrollBar();
    QScrollBar* v = q->verticalScrollBar();
    h->setRange(0, int(std::ceil(max.x())));
    h->setPageStep(size.width());
    h->setSingleStep(20);
    h->setValue(int(std::lround(layout.scroll().x())));
    v->setRange(0, int(std::ceil(max.y())));
    v->setPageStep(size.height());
    v->setSingleStep(20);
    v->setValue(int(std::lround(layout.scroll().y())));
    updatingScrollBars = false;
}

void PDFView::Private::afterScroll()
{
    q->viewport()->update();
    updateCurrentPage();
    textAhead.start();
    emit q->scrolled();
}

void PDFView::scrollContentsBy(int, int)
{
    if (d->updatingScrollBars)
        return;
    d->layout.setScroll(QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()));
    d->afterScroll();
}

void PDFView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    const ViewLocation here = d->location();
    d->layout.setViewportSize(viewport()->size());
    if (d->autoScales)
        d->applyAutoScale();
    if (here.page >= 0 && d->autoScales)
        d->showLocation(here);
    d->syncScrollBars();
    viewport()->update();
}

} // namespace vmk::pdfview
