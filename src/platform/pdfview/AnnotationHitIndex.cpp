#include "platform/pdfview/AnnotationHitIndex.h"

#include "platform/pdf/Annotation.h"
#include "platform/pdf/Page.h"

#include <algorithm>
#include <cmath>

namespace vmk::pdfview {

const AnnotationHitIndex::PageIndex& AnnotationHitIndex::indexFor(int pageIndex, std::uint32_t generation,
                                                                  const pdf::PagePtr& page)
{
    // The count guards against additions and removals nobody announced; moves are announced by the
    // editor through a new generation.
    const std::size_t count = page ? page->annotationCount() : 0;
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
        if (it->pageIndex == pageIndex && it->generation == generation && it->page == page.get()
            && it->entries.size() == count) {
            m_pages.splice(m_pages.begin(), m_pages, it);
            return m_pages.front();
        }
    }
    m_pages.remove_if([pageIndex](const PageIndex& p) { return p.pageIndex == pageIndex; });
    PageIndex index;
    index.pageIndex = pageIndex;
    index.generation = generation;
    index.page = page.get();
    // Plain rectangles: handles are made only for the annotations found.
    if (page) {
        for (const pdf::Page::AnnotationOutline& a : page->annotationOutlines()) {
            Entry e{a.bounds.normalized(), a.key, a.link, a.popup};
            index.extent = index.extent.isNull() ? e.bounds : index.extent.united(e.bounds);
            index.entries.push_back(e);
        }
    }
    index.cells.resize(std::size_t(kGrid) * kGrid);
    const double cw = std::max(index.extent.width() / kGrid, 1e-6);
    const double ch = std::max(index.extent.height() / kGrid, 1e-6);
    for (int i = 0; i < int(index.entries.size()); ++i) {
        const QRectF& b = index.entries[size_t(i)].bounds;
        const int c0 = std::clamp(int((b.left() - index.extent.left()) / cw), 0, kGrid - 1);
        const int c1 = std::clamp(int((b.right() - index.extent.left()) / cw), 0, kGrid - 1);
        const int r0 = std::clamp(int((b.top() - index.extent.top()) / ch), 0, kGrid - 1);
        const int r1 = std::clamp(int((b.bottom() - index.extent.top()) / ch), 0, kGrid - 1);
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                index.cells[size_t(r * kGrid + c)].push_back(i);
    }
    m_pages.push_front(std::move(index));
    while (m_pages.size() > kPagesKept)
        m_pages.pop_back();
    return m_pages.front();
}

// Overlap with edges included, so that a point (an empty rectangle) finds the rectangles around it.
static bool touches(const QRectF& a, const QRectF& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

void AnnotationHitIndex::candidates(const PageIndex& index, const QRectF& area,
                                    const std::function<bool(int)>& visit) const
{
    if (index.entries.empty() || !touches(area, index.extent))
        return;
    const double cw = std::max(index.extent.width() / kGrid, 1e-6);
    const double ch = std::max(index.extent.height() / kGrid, 1e-6);
    const int c0 = std::clamp(int((area.left() - index.extent.left()) / cw), 0, kGrid - 1);
    const int c1 = std::clamp(int((area.right() - index.extent.left()) / cw), 0, kGrid - 1);
    const int r0 = std::clamp(int((area.top() - index.extent.top()) / ch), 0, kGrid - 1);
    const int r1 = std::clamp(int((area.bottom() - index.extent.top()) / ch), 0, kGrid - 1);
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
    const PageIndex& index = indexFor(pageIndex, generation, page);
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
    const PageIndex& index = indexFor(pageIndex, generation, page);
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
    const PageIndex& index = indexFor(pageIndex, generation, page);
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
