#include "platform/pdfview/AnnotationHitIndex.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vmk::pdfview {

namespace {

// The grid column (or row) of a coordinate; those outside the grid's area fall in its edge cells.
int cellOf(double value, double origin, double cellSize)
{
    const double cell = std::floor((value - origin) / cellSize);
    if (std::isnan(cell))
        return 0;
    return int(std::clamp(cell, 0.0, double(AnnotationHitIndex::kGrid - 1)));
}

bool finite(const QRectF& r)
{
    return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

// Overlap with edges included, so that a point (an empty rectangle) finds the rectangles around it.
bool touches(const QRectF& a, const QRectF& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

} // namespace

void AnnotationHitIndex::start(PageIndex& index, const pdf::PagePtr& page)
{
    index.entries.clear();
    index.next = 0;
    index.total = -1;
    index.list = nullptr;
    index.complete = !page;
    index.extent = QRectF();
    // The page's box, known before any annotation is read, so that each can be put in its cells as it is.
    index.gridArea = page ? page->mediaBox().united(page->cropBox()) : QRectF();
    if (!finite(index.gridArea) || index.gridArea.isEmpty())
        index.gridArea = QRectF(0, 0, 612, 792);
    index.cells.assign(std::size_t(kGrid) * kGrid, {});
}

void AnnotationHitIndex::insert(PageIndex& index, const Entry& entry)
{
    const int i = int(index.entries.size());
    index.entries.push_back(entry);
    const QRectF& b = entry.bounds;
    if (!finite(b))
        return; // nothing is ever inside it
    index.extent = index.extent.isNull() ? b : index.extent.united(b);
    const QRectF& g = index.gridArea;
    const double cw = g.width() / kGrid, ch = g.height() / kGrid;
    const int c0 = cellOf(b.left(), g.left(), cw), c1 = cellOf(b.right(), g.left(), cw);
    const int r0 = cellOf(b.top(), g.top(), ch), r1 = cellOf(b.bottom(), g.top(), ch);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            index.cells[size_t(r * kGrid + c)].push_back(i);
}

bool AnnotationHitIndex::readPart(PageIndex& index, const pdf::PagePtr& page, int count)
{
    const pdf::Page::AnnotationOutlinePart part = page->annotationOutlines(index.next, count);
    if (index.total >= 0 && (part.total != index.total || part.list != index.list))
        return false;
    index.total = part.total;
    index.list = part.list;
    for (const pdf::Page::AnnotationOutline& a : part.outlines)
        insert(index, Entry{a.bounds.normalized(), a.key, a.link, a.popup});
    index.next = part.next;
    index.complete = index.next >= index.total;
    return true;
}

AnnotationHitIndex::PageIndex& AnnotationHitIndex::indexFor(int pageIndex, std::uint32_t generation,
                                                            const pdf::PagePtr& page)
{
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
        if (it->pageIndex != pageIndex || it->generation != generation || it->page != page.get())
            continue;
        m_pages.splice(m_pages.begin(), m_pages, it);
        // The count guards against additions and removals nobody announced; moves are announced by the
        // editor through a new generation. (A list changed while it is read shows in its parts.)
        PageIndex& index = m_pages.front();
        if (index.complete && page && page->annotationCount() != index.entries.size())
            start(index, page);
        return index;
    }
    m_pages.remove_if([pageIndex](const PageIndex& p) { return p.pageIndex == pageIndex; });
    m_pages.emplace_front();
    PageIndex& index = m_pages.front();
    index.pageIndex = pageIndex;
    index.generation = generation;
    index.page = page.get();
    start(index, page);
    while (m_pages.size() > kPagesKept)
        m_pages.pop_back();
    return index;
}

AnnotationHitIndex::PageIndex& AnnotationHitIndex::completeIndex(int pageIndex, std::uint32_t generation,
                                                                 const pdf::PagePtr& page)
{
    PageIndex& index = indexFor(pageIndex, generation, page);
    while (!index.complete) {
        if (!readPart(index, page, std::numeric_limits<int>::max()))
            start(index, page);
    }
    return index;
}

bool AnnotationHitIndex::ready(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page)
{
    return indexFor(pageIndex, generation, page).complete;
}

bool AnnotationHitIndex::advance(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page, double budgetMs)
{
    PageIndex& index = indexFor(pageIndex, generation, page);
    QElapsedTimer clock;
    clock.start();
    // A part at least, whatever the budget, so that every call moves on.
    while (!index.complete) {
        if (!readPart(index, page, kPart))
            start(index, page);
        if (double(clock.nsecsElapsed()) >= budgetMs * 1e6)
            break;
    }
    return index.complete;
}

void AnnotationHitIndex::candidates(const PageIndex& index, const QRectF& area,
                                    const std::function<bool(int)>& visit) const
{
    if (index.entries.empty() || index.extent.isNull() || !touches(area, index.extent))
        return;
    const QRectF& g = index.gridArea;
    const double cw = g.width() / kGrid, ch = g.height() / kGrid;
    const int c0 = cellOf(area.left(), g.left(), cw), c1 = cellOf(area.right(), g.left(), cw);
    const int r0 = cellOf(area.top(), g.top(), ch), r1 = cellOf(area.bottom(), g.top(), ch);
    std::vector<int> found;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            for (int i : index.cells[size_t(r * kGrid + c)])
                if (touches(index.entries[size_t(i)].bounds, area))
                    found.push_back(i);
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    // Topmost first.
    for (auto it = found.rbegin(); it != found.rend(); ++it)
        if (!visit(*it))
            return;
}

std::vector<pdf::AnnotationPtr> AnnotationHitIndex::at(int pageIndex, std::uint32_t generation,
                                                       const pdf::PagePtr& page, QPointF point, double tolerance)
{
    const PageIndex& index = completeIndex(pageIndex, generation, page);
    std::vector<pdf::AnnotationPtr> result;
    const QRectF area(point.x() - tolerance, point.y() - tolerance, 2 * tolerance, 2 * tolerance);
    candidates(index, area, [&](int i) {
        const Entry& e = index.entries[size_t(i)];
        if (e.bounds.adjusted(-tolerance, -tolerance, tolerance, tolerance).contains(point))
            if (pdf::AnnotationPtr a = page->annotationForKey(e.key))
                result.push_back(std::move(a));
        return true;
    });
    std::reverse(result.begin(), result.end());
    return result;
}

pdf::AnnotationPtr AnnotationHitIndex::linkAt(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page,
                                              QPointF point)
{
    const PageIndex& index = completeIndex(pageIndex, generation, page);
    pdf::AnnotationPtr hit;
    candidates(index, QRectF(point, QSizeF(0, 0)), [&](int i) {
        const Entry& e = index.entries[size_t(i)];
        if (e.link && e.bounds.contains(point))
            hit = page->annotationForKey(e.key);
        return !hit;
    });
    return hit;
}

pdf::AnnotationPtr AnnotationHitIndex::annotationAt(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page,
                                                    QPointF point)
{
    const PageIndex& index = completeIndex(pageIndex, generation, page);
    pdf::AnnotationPtr hit;
    candidates(index, QRectF(point, QSizeF(0, 0)), [&](int i) {
        const Entry& e = index.entries[size_t(i)];
        if (!e.popup && e.bounds.contains(point))
            hit = page->annotationForKey(e.key);
        return !hit;
    });
    return hit;
}

} // namespace vmk::pdfview
