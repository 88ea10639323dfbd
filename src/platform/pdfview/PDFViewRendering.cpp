#include "platform/pdfview/PDFViewPrivate.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace vmk::pdfview {

// --- Snapshots --------------------------------------------------------------------------------------

std::shared_ptr<pdf::PageSnapshot> SnapshotCache::get(int page, std::uint32_t generation, const pdf::PagePtr& handle,
                                                      const std::vector<const pdf::Annotation*>& excluded)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->page == page && it->generation == generation) {
            m_entries.splice(m_entries.begin(), m_entries, it);
            return m_entries.front().snapshot;
        }
    }
    if (!handle)
        return nullptr;
    std::shared_ptr<pdf::PageSnapshot> snapshot = excluded.empty() ? handle->snapshot(true) : handle->snapshotExcluding(excluded);
    if (!snapshot)
        return nullptr;
    removePage(page);
    m_entries.push_front(Entry{page, generation, snapshot});
    while (m_entries.size() > m_capacity)
        m_entries.pop_back();
    return snapshot;
}

void SnapshotCache::setCapacity(std::size_t capacity)
{
    m_capacity = std::max<std::size_t>(1, capacity);
    while (m_entries.size() > m_capacity)
        m_entries.pop_back();
}

void SnapshotCache::removePage(int page)
{
    m_entries.remove_if([page](const Entry& e) { return e.page == page; });
}

void SnapshotCache::clear()
{
    m_entries.clear();
}

// --- Tiles ------------------------------------------------------------------------------------------

double PDFView::Private::devicePixelRatio() const
{
    return std::max(1.0, q->viewport()->devicePixelRatioF());
}

QSize PDFView::Private::pagePixelSize(int page) const
{
    const QSizeF s = layout.pages()[size_t(page)].displaySize() * (layout.scale() * devicePixelRatio());
    return QSize(std::max(1, int(std::ceil(s.width() - 1e-6))), std::max(1, int(std::ceil(s.height() - 1e-6))));
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
    snapshots.setCapacity(nearPages.size() + 4);

    bool visibleMissing = false;
    auto pass = [&](const QRectF& region, int priority, bool schedule) {
        for (int page : nearPages) {
            const QSize pixels = pagePixelSize(page);
            const QPointF origin = pixelAlignedOrigin(layout.pageRectInView(page).topLeft(), dpr);
            TileSpan span;
            if (!tilesIn(region, origin, pixels, dpr, &span))
                continue;
            for (int row = span.firstRow; row <= span.lastRow; ++row) {
                for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
                    const TileKey key{page, scaleMilli, column, row, generations[size_t(page)]};
                    if (!wanted.insert(key).second || tiles.contains(key) || scheduler.isPending(key))
                        continue;
                    if (priority > 0)
                        visibleMissing = true;
                    if (!schedule)
                        continue;
                    auto snapshot = snapshots.get(page, key.generation, pages[size_t(page)], excludedOn(pages[size_t(page)]));
                    if (!snapshot)
                        continue;
                    const QRect rect = key.pixelRect().intersected(QRect(QPoint(0, 0), pixels));
                    scheduler.request(
                        key, [snapshot, renderScale, rect] { return snapshot->render(renderScale, rect); }, priority);
                }
            }
        }
    };
    pass(view, 1, true);
    // Rendering ahead waits until what is on screen is in, so the first paint is never delayed by it.
    pass(ahead, 0, !visibleMissing);

    scheduler.retain(wanted);
    const std::size_t tileBytes = std::size_t(kTileSize) * kTileSize * 4;
    tiles.setBudget(wanted.size() * tileBytes * 3 / 2);
    tiles.retain(wanted);
    return wanted;
}

void PDFView::Private::onTileReady(const TileKey& key, const QImage& image)
{
    if (key.page < 0 || key.page >= int(pages.size()) || key.generation != generations[size_t(key.page)])
        return;
    QImage tile = image;
    if (tile.isNull()) {
        // A page that fails to render shows white rather than being asked for again and again.
        tile = QImage(1, 1, QImage::Format_RGB32);
        tile.fill(Qt::white);
    }
    tiles.insert(key, std::move(tile));
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
    snapshots.removePage(page);
    scheduler.cancelPage(page);
    q->viewport()->update(layout.pageRectInView(page).toAlignedRect());
}

void PDFView::Private::invalidateAll()
{
    scheduler.cancelAll();
    tiles.clear();
    snapshots.clear();
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

// --- Painting ---------------------------------------------------------------------------------------

void PDFView::Private::paintPage(QPainter& painter, int page, const QRectF& exposed)
{
    const double dpr = devicePixelRatio();
    const QSize pixels = pagePixelSize(page);
    const QPointF origin = pixelAlignedOrigin(layout.pageRectInView(page).topLeft(), dpr);
    const QRectF rect(origin, QSizeF(pixels) / dpr);
    if (!rect.intersects(exposed.adjusted(-6, -6, 6, 6)))
        return;
    if (shadows) {
        painter.setPen(Qt::NoPen);
        for (int i = 4; i >= 1; --i) {
            painter.setBrush(QColor(0, 0, 0, 14 + 6 * (4 - i)));
            painter.drawRoundedRect(rect.translated(0, 1).adjusted(-i * 0.6, -i * 0.3, i * 0.6, i), i, i);
        }
    }
    painter.fillRect(rect, Qt::white);

    const int scaleMilli = scaleToMilli(layout.scale() * dpr);
    const std::uint32_t generation = generations[size_t(page)];
    painter.save();
    painter.setClipRect(rect);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    bool complete = true;
    TileSpan span;
    if (tilesIn(rect, origin, pixels, dpr, &span)) {
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
                if (image.isNull()) {
                    complete = false;
                    continue;
                }
                const QRect full = key.pixelRect().intersected(QRect(QPoint(0, 0), pixels));
                const QRectF target(origin + QPointF(full.topLeft()) / dpr, QSizeF(full.size()) / dpr);
                if (target.intersects(exposed))
                    painter.drawImage(target, image);
            }
        }
    }
    painter.restore();
    if (complete && span.firstColumn == 0 && span.firstRow == 0
        && span.lastColumn == (pixels.width() - 1) / kTileSize && span.lastRow == (pixels.height() - 1) / kTileSize)
        tiles.removeStandIns(page, scaleMilli, generation);
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
            const pdf::Selection one(QList<pdf::SelectionRange>{range});
            for (const pdf::Selection& line : one.selectionsByLine()) {
                const QRectF bounds = line.bounds(range.page);
                if (!bounds.isNull())
                    painter.fillRect(layout.pageRectToView(index, bounds), color);
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
    if (!d->pages.empty()) {
        d->requestTiles();
        for (int page : d->layout.pagesIn(exposed.adjusted(-6, -6, 6, 6)))
            d->paintPage(painter, page, exposed);
        d->paintSelections(painter, exposed);
    }
    paintOverlay(painter, event->rect());
}

void PDFView::paintOverlay(QPainter&, const QRect&)
{
}

} // namespace vmk::pdfview
