#include "platform/pdfview/PDFViewPrivate.h"

#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdfview/BitmapPool.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace vmk::pdfview {

// --- Tiles ------------------------------------------------------------------------------------------

double PDFView::Private::devicePixelRatio() const
{
    return std::max(1.0, q->viewport()->devicePixelRatioF());
}

QSize PDFView::Private::pagePixelSize(int page) const
{
    const QSizeF s = layout.pages()[size_t(page)].displaySize() * (layout.scale() * devicePixelRatio());
    // Clamped so that an absurd page size can never overflow the tile arithmetic; the tile loops only
    // ever walk what is on screen anyway.
    auto side = [](double v) { return int(std::clamp(std::ceil(v - 1e-6), 1.0, double(kMaxPagePixels))); };
    return QSize(side(s.width()), side(s.height()));
}

// The page's rectangle in view space with its origin on a device pixel, so that tiles meet exactly.
static QPointF pixelAlignedOrigin(QPointF origin, double dpr)
{
    return QPointF(std::round(origin.x() * dpr) / dpr, std::round(origin.y() * dpr) / dpr);
}

namespace {
struct TileSpan {
    int firstColumn, lastColumn, firstRow, lastRow;
};

// Tiles of a page (in device pixels of size `pixels`) that a view-space rectangle touches.
bool tilesIn(const QRectF& region, QPointF origin, QSize pixels, double dpr, TileSpan* span)
{
    const QRectF page(origin, QSizeF(pixels) / dpr);
    const QRectF hit = region.intersected(page);
    if (hit.isEmpty())
        return false;
    const QRectF local((hit.topLeft() - origin) * dpr, hit.size() * dpr);
    const int maxColumn = (pixels.width() - 1) / kTileSize;
    const int maxRow = (pixels.height() - 1) / kTileSize;
    span->firstColumn = std::clamp(int(std::floor(local.left() / kTileSize)), 0, maxColumn);
    span->lastColumn = std::clamp(int(std::floor((local.right() - 1e-6) / kTileSize)), 0, maxColumn);
    span->firstRow = std::clamp(int(std::floor(local.top() / kTileSize)), 0, maxRow);
    span->lastRow = std::clamp(int(std::floor((local.bottom() - 1e-6) / kTileSize)), 0, maxRow);
    return true;
}
} // namespace

TileKeySet PDFView::Private::requestTiles()
{
    TileKeySet wanted;
    if (pages.empty())
        return wanted;
    const double dpr = devicePixelRatio();
    const double renderScale = layout.scale() * dpr;
    const int scaleMilli = scaleToMilli(renderScale);
    const QRectF view = QRectF(q->viewport()->rect());
    // A screen's worth above and below is rendered ahead, so that scrolling finds tiles ready.
    const QRectF ahead = isContinuous(layout.displayMode()) ? view.adjusted(0, -view.height(), 0, view.height()) : view;
    const std::vector<int> nearPages = layout.pagesIn(ahead);
    recordings.setCapacity(nearPages.size() + 4);
    recordings.retain(nearPages);
    std::erase_if(blankSince, [&](const auto& entry) {
        return std::find(nearPages.begin(), nearPages.end(), entry.first) == nearPages.end();
    });

    // Each tile may spend what recording its page may: one stuck in a decoder past that makes the page a
    // placeholder, and the stuck work is left to end on its own.
    const pdf::RecordBudget budget = recordings.budget();
    const WorkerPool::Batch together = recordings.together();
    bool visibleMissing = false;
    std::size_t wantedBytes = 0; // what the wanted tiles take, edge tiles at their own size
    auto pass = [&](const QRectF& region, int priority, bool schedule) {
        for (int page : nearPages) {
            const std::uint32_t generation = generations[size_t(page)];
            if (recordings.failure(page, generation))
                continue; // shown as a placeholder, never asked for again
            const QSize pixels = pagePixelSize(page);
            const QPointF origin = pixelAlignedOrigin(layout.pageRectInView(page).topLeft(), dpr);
            TileSpan span;
            if (!tilesIn(region, origin, pixels, dpr, &span))
                continue;
            std::shared_ptr<pdf::PageSnapshot> snapshot;
            bool asked = false;
            for (int row = span.firstRow; row <= span.lastRow; ++row) {
                for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
                    const TileKey key{page, scaleMilli, column, row, generation};
                    if (!wanted.insert(key).second)
                        continue;
                    const QRect rect = key.pixelRect().intersected(QRect(QPoint(0, 0), pixels));
                    wantedBytes += std::size_t(rect.width()) * rect.height() * 4;
                    if (tiles.contains(key))
                        continue;
                    if (priority > 0)
                        visibleMissing = true;
                    if (scheduler.isPending(key))
                        continue;
                    if (!schedule)
                        continue;
                    if (!asked) {
                        // Starts the recording on a worker the first time; the page is painted again when
                        // it is done.
                        snapshot = recordings.get(page, generation, pages[size_t(page)], excludedOn(pages[size_t(page)]));
                        asked = true;
                    }
                    if (!snapshot)
                        continue;
                    scheduler.request(
                        key,
                        RenderScheduler::BudgetedRender(
                            [snapshot, renderScale, rect, budget](const pdf::RecordCancel& cancel) -> pdf::DrawResult {
                                QImage image = BitmapPool::acquire(rect.size());
                                if (image.isNull())
                                    return {pdf::RecordOutcome::failed, {}};
                                const pdf::RecordOutcome outcome =
                                    snapshot->renderInto(image, renderScale, rect, budget, &cancel);
                                if (outcome != pdf::RecordOutcome::recorded)
                                    return {outcome, {}};
                                return {outcome, std::move(image)};
                            }),
                        priority, budget.milliseconds);
                }
            }
        }
    };
    pass(view, 1, true);
    // Rendering ahead waits until what is on screen has arrived, not merely been asked for: ahead tiles
    // rendered alongside the visible ones compete with them for the processor and the engine's locks,
    // and doubled the time to the first paint.
    pass(ahead, 0, !visibleMissing);

    scheduler.retain(wanted);
    tiles.setBudget(wantedBytes * 3 / 2);
    tiles.retain(wanted);
    return wanted;
}

void PDFView::Private::onPageRecorded(int page)
{
    if (page < 0 || page >= int(pages.size()))
        return;
    // A page rendered ahead is off screen, where an update would not paint: ask for its tiles here.
    requestTiles();
    q->viewport()->update(layout.pageRectInView(page).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void PDFView::Private::onTileReady(const TileKey& key, const QImage& image)
{
    if (key.page < 0 || key.page >= int(pages.size()) || key.generation != generations[size_t(key.page)])
        return;
    if (image.isNull()) {
        onTileFailed(key, pdf::RecordOutcome::failed);
        return;
    }
    tiles.insert(key, image);
    // Only where the tile goes: tiles of a page arrive one by one.
    const double dpr = devicePixelRatio();
    const QPointF origin = pixelAlignedOrigin(layout.pageRectInView(key.page).topLeft(), dpr);
    const QRect full = key.pixelRect().intersected(QRect(QPoint(0, 0), pagePixelSize(key.page)));
    q->viewport()->update(QRectF(origin + QPointF(full.topLeft()) / dpr, QSizeF(full.size()) / dpr)
                              .toAlignedRect()
                              .adjusted(-1, -1, 1, 1));
    emit q->tilesRendered();
}

void PDFView::Private::onTileFailed(const TileKey& key, pdf::RecordOutcome why)
{
    if (key.page < 0 || key.page >= int(pages.size()) || key.generation != generations[size_t(key.page)])
        return;
    if (why == pdf::RecordOutcome::cancelled || recordings.failure(key.page, key.generation))
        return;
    // Drawing the list failed, which it would do again: the page becomes a placeholder until it changes, its
    // other tiles are not drawn, and any still drawing are left to end unseen.
    recordings.markFailed(key.page, key.generation, why);
    scheduler.cancelPage(key.page);
    q->viewport()->update(layout.pageRectInView(key.page).toAlignedRect().adjusted(-1, -1, 1, 1));
    emit q->tilesRendered();
}

void PDFView::Private::invalidatePage(int page)
{
    if (page < 0 || page >= int(pages.size()))
        return;
    // Old tiles stay as stand-ins until the new ones arrive, so the page never flashes blank.
    std::uint32_t next = 0;
    for (std::uint32_t g : generations)
        next = std::max(next, g + 1);
    generations[size_t(page)] = next;
    recordings.removePage(page);
    texts.removePage(page);
    if (pendingClick.page == page)
        pendingClick = {};
    pendingDrag = {};
    scheduler.cancelPage(page);
    q->viewport()->update(layout.pageRectInView(page).toAlignedRect());
}

void PDFView::Private::invalidateAll()
{
    scheduler.cancelAll();
    tiles.clear();
    recordings.forgetAll();
    texts.forgetAll();
    blankSince.clear();
    pendingClick = {};
    pendingDrag = {};
    hits.clear();
    q->viewport()->update();
}

std::size_t PDFView::cachedTileCount() const
{
    return d->tiles.size();
}

std::size_t PDFView::cachedTileBytes() const
{
    return d->tiles.bytes();
}

bool PDFView::isFullyRendered() const
{
    const double dpr = d->devicePixelRatio();
    const int scaleMilli = scaleToMilli(scaleFactor() * dpr);
    const QRectF view = QRectF(viewport()->rect());
    for (int page : d->layout.pagesIn(view)) {
        if (d->recordings.failure(page, d->generations[size_t(page)]))
            continue; // its placeholder is all there is to show
        const QSize pixels = d->pagePixelSize(page);
        TileSpan span;
        if (!tilesIn(view, pixelAlignedOrigin(d->layout.pageRectInView(page).topLeft(), dpr), pixels, dpr, &span))
            continue;
        for (int row = span.firstRow; row <= span.lastRow; ++row)
            for (int column = span.firstColumn; column <= span.lastColumn; ++column)
                if (!d->tiles.contains(TileKey{page, scaleMilli, column, row, d->generations[size_t(page)]}))
                    return false;
    }
    return true;
}

void PDFView::setPageDrawingBudget(int milliseconds, std::size_t bytes)
{
    d->recordings.setBudget(pdf::RecordBudget{milliseconds, bytes});
    d->texts.setBudget(pdf::RecordBudget{milliseconds, bytes});
}

bool PDFView::isPagePlaceholder(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= int(d->pages.size()))
        return false;
    return d->recordings.failure(pageIndex, d->generations[size_t(pageIndex)]).has_value();
}

// --- Painting ---------------------------------------------------------------------------------------

void PDFView::Private::paintPage(QPainter& painter, int page, const QRectF& exposed)
{
    const double dpr = devicePixelRatio();
    const QSize pixels = pagePixelSize(page);
    const QPointF origin = pixelAlignedOrigin(layout.pageRectInView(page).topLeft(), dpr);
    const QRectF rect(origin, QSizeF(pixels) / dpr);
    if (!rect.intersects(exposed.adjusted(-6, -6, 6, 6)))
        return;
    if (shadows)
        paintShadow(painter, rect, exposed);
    painter.fillRect(rect, Qt::white);

    const std::uint32_t generation = generations[size_t(page)];
    if (const std::optional<pdf::RecordOutcome> why = recordings.failure(page, generation)) {
        blankSince.erase(page);
        paintPlaceholder(painter, rect, *why);
        return;
    }
    const int scaleMilli = scaleToMilli(layout.scale() * dpr);
    painter.save();
    painter.setClipRect(rect);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Only the tiles of the exposed part: a page can be far larger than the screen.
    TileSpan span;
    if (tilesIn(exposed, origin, pixels, dpr, &span)) {
        // Stand-ins first, stretched to the current scale; the current tiles then cover them.
        tiles.forEachStandIn(page, scaleMilli, generation, [&](const TileKey& key, const QImage& image) {
            const double factor = double(scaleMilli) / key.scaleMilli;
            const QRectF target(origin + QPointF(key.pixelRect().topLeft()) * factor / dpr,
                                QSizeF(image.size()) * factor / dpr);
            if (target.intersects(exposed))
                painter.drawImage(target, image);
        });
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        for (int row = span.firstRow; row <= span.lastRow; ++row) {
            for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
                const TileKey key{page, scaleMilli, column, row, generation};
                const QImage image = tiles.find(key);
                if (image.isNull())
                    continue;
                const QRect full = key.pixelRect().intersected(QRect(QPoint(0, 0), pixels));
                const QRectF target(origin + QPointF(full.topLeft()) / dpr, QSizeF(full.size()) / dpr);
                if (target.intersects(exposed))
                    painter.drawImage(target, image);
            }
        }
    }
    painter.restore();
    noteBlank(painter, page, rect, showsNothingYet(page, origin, pixels, dpr, scaleMilli, generation));
    // Stand-ins go once every tile of the page's visible part is in.
    if (visibleTilesComplete(page, rect, origin, pixels, dpr, scaleMilli, generation))
        tiles.removeStandIns(page, scaleMilli, generation);
}

bool PDFView::Private::showsNothingYet(int page, QPointF origin, QSize pixels, double dpr, int scaleMilli,
                                       std::uint32_t generation) const
{
    bool standIn = false;
    tiles.forEachStandIn(page, scaleMilli, generation, [&](const TileKey&, const QImage&) { standIn = true; });
    TileSpan span;
    if (standIn || !tilesIn(QRectF(q->viewport()->rect()), origin, pixels, dpr, &span))
        return false;
    for (int row = span.firstRow; row <= span.lastRow; ++row)
        for (int column = span.firstColumn; column <= span.lastColumn; ++column)
            if (tiles.contains(TileKey{page, scaleMilli, column, row, generation}))
                return false;
    return true;
}

void PDFView::Private::noteBlank(QPainter& painter, int page, const QRectF& rect, bool blank)
{
    if (!blank) {
        blankSince.erase(page);
        return;
    }
    const qint64 now = sinceStart.elapsed();
    const qint64 waited = now - blankSince.try_emplace(page, now).first->second;
    if (waited < kDrawingHintMs) {
        if (!drawingHint.isActive())
            drawingHint.start(int(kDrawingHintMs - waited));
        return;
    }
    painter.save();
    painter.setPen(QColor(150, 150, 150));
    const QRectF visible = rect.intersected(QRectF(q->viewport()->rect()));
    painter.drawText((visible.isEmpty() ? rect : visible).adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                     PDFView::tr("Drawing this page…"));
    painter.restore();
}

// A soft shadow a few pixels wide, heavier below the page: bands around the page, faintest outermost,
// in colours blended over the background beforehand. Opaque rectangle fills go straight to memory; the
// same shadow as translucent paths as tall as the page was rasterised row by row, which Qt hands to its
// thread pool, and cost the main thread more than everything else it does while scrolling.
void PDFView::Private::paintShadow(QPainter& painter, const QRectF& page, const QRectF& exposed)
{
    const double dpr = devicePixelRatio();
    auto snap = [dpr](double v) { return std::round(v * dpr) / dpr; };
    const QRectF near = exposed.adjusted(-6, -6, 6, 6);
    double keep = 1.0; // what is left of the background under the layers so far
    for (int i = 4; i >= 1; --i) {
        keep *= 1.0 - (14 + 6 * (4 - i)) / 255.0;
        const QColor color = QColor::fromRgbF(float(background.redF() * keep), float(background.greenF() * keep),
                                              float(background.blueF() * keep), background.alphaF());
        const QRectF outer(QPointF(snap(page.left() - i * 0.6), snap(page.top() + 1 - i * 0.3)),
                           QPointF(snap(page.right() + i * 0.6), snap(page.bottom() + 1 + i)));
        const QRectF bands[] = {
            QRectF(QPointF(outer.left(), outer.top()), QPointF(outer.right(), page.top())),
            QRectF(QPointF(outer.left(), page.bottom()), QPointF(outer.right(), outer.bottom())),
            QRectF(QPointF(outer.left(), std::max(outer.top(), page.top())), QPointF(page.left(), page.bottom())),
            QRectF(QPointF(page.right(), std::max(outer.top(), page.top())), QPointF(outer.right(), page.bottom())),
        };
        for (const QRectF& band : bands) {
            if (band.width() <= 0 || band.height() <= 0)
                continue; // the shadow sits low: no band above the page
            const QRectF visible = band.intersected(near);
            if (visible.width() > 0 && visible.height() > 0)
                painter.fillRect(visible, color);
        }
    }
}

bool PDFView::Private::visibleTilesComplete(int page, const QRectF& rect, QPointF origin, QSize pixels, double dpr,
                                            int scaleMilli, std::uint32_t generation) const
{
    TileSpan span;
    if (!tilesIn(rect.intersected(QRectF(q->viewport()->rect())), origin, pixels, dpr, &span))
        return false;
    for (int row = span.firstRow; row <= span.lastRow; ++row)
        for (int column = span.firstColumn; column <= span.lastColumn; ++column)
            if (!tiles.contains(TileKey{page, scaleMilli, column, row, generation}))
                return false;
    return true;
}

static QString placeholderMessage(pdf::RecordOutcome why)
{
    switch (why) {
    case pdf::RecordOutcome::tooSlow:
        return PDFView::tr("This page takes too long to draw.");
    case pdf::RecordOutcome::tooLarge:
        return PDFView::tr("This page needs too much memory to draw.");
    default:
        return PDFView::tr("This page could not be drawn.");
    }
}

QString PDFView::pagePlaceholderMessage(int pageIndex) const
{
    if (pageIndex < 0 || pageIndex >= int(d->pages.size()))
        return {};
    const std::optional<pdf::RecordOutcome> why = d->recordings.failure(pageIndex, d->generations[size_t(pageIndex)]);
    return why ? placeholderMessage(*why) : QString();
}

void PDFView::Private::paintPlaceholder(QPainter& painter, const QRectF& rect, pdf::RecordOutcome why)
{
    const QString message = placeholderMessage(why);
    painter.save();
    painter.fillRect(rect, QColor(236, 236, 236));
    painter.setPen(QColor(96, 96, 96));
    const QRectF visible = rect.intersected(QRectF(q->viewport()->rect()));
    const QRectF text = (visible.isEmpty() ? rect : visible).adjusted(12, 12, -12, -12);
    painter.drawText(text, Qt::AlignCenter | Qt::TextWordWrap, message);
    painter.restore();
}

void PDFView::Private::paintSelections(QPainter& painter, const QRectF& exposed)
{
    std::unordered_map<const pdf::Page*, int> indexOf;
    auto pageIndex = [&](const pdf::PagePtr& page) {
        if (indexOf.empty())
            for (size_t i = 0; i < pages.size(); ++i)
                indexOf.emplace(pages[i].get(), int(i));
        const auto it = indexOf.find(page.get());
        return it == indexOf.end() ? -1 : it->second;
    };
    auto paint = [&](const pdf::Selection& selection, const QColor& color) {
        for (const pdf::SelectionRange& range : selection.ranges()) {
            const int index = pageIndex(range.page);
            if (index < 0 || !layout.isPageShown(index) || !layout.pageRectInView(index).intersects(exposed))
                continue;
            // Text outside the crop box is part of the page's text but not of what shows: its highlight
            // would colour the margin between pages.
            const QRectF shown = layout.pageRectInView(index);
            const pdf::Selection one(QList<pdf::SelectionRange>{range});
            for (const pdf::Selection& line : one.selectionsByLine()) {
                const QRectF bounds = line.bounds(range.page);
                if (!bounds.isNull())
                    painter.fillRect(layout.pageRectToView(index, bounds).intersected(shown), color);
            }
        }
    };
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    for (int i = 0; i < highlights.size(); ++i) {
        const pdf::Selection& hit = highlights[i];
        QColor color = hit.color().isValid() ? hit.color() : QColor(255, 236, 96);
        if (i == currentHighlight)
            color = QColor(255, 170, 40);
        paint(hit, color);
    }
    if (selection) {
        QColor color = selection->color().isValid() ? selection->color()
                                                    : q->palette().color(QPalette::Active, QPalette::Highlight);
        color.setAlpha(255);
        paint(*selection, color.lighter(150));
    }
    painter.restore();
}

void PDFView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRectF exposed = QRectF(event->rect());
    painter.fillRect(event->rect(), d->background);
    // A pending document's tree is walked once the first screen has shown what it can.
    const bool handles = !d->pagesPending || d->takePendingPagesShown();
    if (!d->pages.empty()) {
        d->requestTiles();
        // What is shown may have changed: where its annotations are is read next, between other work.
        if (!d->hitsAhead.isActive())
            d->hitsAhead.start();
        for (int page : d->layout.pagesIn(exposed.adjusted(-6, -6, 6, 6)))
            d->paintPage(painter, page, exposed);
        d->paintSelections(painter, exposed);
    }
    paintOverlay(painter, event->rect());
    if (d->pagesPending && (!handles || isFullyRendered()))
        QTimer::singleShot(0, this, [this] { d->settlePages(); });
}

void PDFView::paintOverlay(QPainter&, const QRect&)
{
}

} // namespace vmk::pdfview
