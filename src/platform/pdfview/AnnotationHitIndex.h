#pragma once

#include "platform/pdf/PdfTypes.h"

#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <functional>
#include <list>
#include <vector>

namespace vmk::pdfview {

// Where the annotations of a page are, read once per look of the page (its generation) and bucketed on
// a grid, so that following the mouse over a page with a hundred thousand links costs a few lookups
// instead of a walk through all of them on every move.
class AnnotationHitIndex {
public:
    static constexpr int kGrid = 32;
    static constexpr std::size_t kPagesKept = 8;

    // Annotations of the page whose rectangle (grown by `tolerance`) contains `point`, bottom to top.
    std::vector<pdf::AnnotationPtr> at(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page,
                                       QPointF point, double tolerance = 0);
    // The topmost link at the point, or null.
    pdf::AnnotationPtr linkAt(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page, QPointF point);
    // The topmost annotation at the point that is not a pop-up, or null.
    pdf::AnnotationPtr annotationAt(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page, QPointF point);

    void clear() { m_pages.clear(); }
    std::size_t pagesIndexed() const { return m_pages.size(); }

private:
    struct Entry {
        QRectF bounds;
        int key = -1; // finds the handle (Page::annotationForKey)
        bool link = false;
        bool popup = false;
    };
    struct PageIndex {
        int pageIndex = -1;
        std::uint32_t generation = 0;
        const pdf::Page* page = nullptr;
        std::vector<Entry> entries; // in the page's order, bottom to top
        QRectF extent;
        std::vector<std::vector<int>> cells; // kGrid × kGrid, entry numbers ascending
    };
    const PageIndex& indexFor(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page);
    void candidates(const PageIndex& index, const QRectF& area, const std::function<bool(int)>& visit) const;

    std::list<PageIndex> m_pages; // most recently used first
};

} // namespace vmk::pdfview
