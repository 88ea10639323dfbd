#pragma once

#include "platform/pdf/document/PdfTypes.h"

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
//
// Reading a crowded page's annotations takes tens of milliseconds, so it is done a part at a time
// (advance), between other work of the thread, for the pages being looked at; questions that cannot wait
// (a click) read what is left at once, those that can (the pointer passing over) ask whether the page is
// ready first.
class AnnotationHitIndex {
public:
    static constexpr int kGrid = 32;
    static constexpr std::size_t kPagesKept = 8;
    static constexpr int kPart = 512; // annotations read between looks at the clock

    // Annotations of the page whose rectangle (grown by `tolerance`) contains `point`, bottom to top.
    std::vector<pdf::AnnotationPtr> at(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page,
                                       QPointF point, double tolerance = 0);
    // The topmost link at the point, or null.
    pdf::AnnotationPtr linkAt(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page, QPointF point);
    // The topmost annotation at the point that is not a pop-up, or null.
    pdf::AnnotationPtr annotationAt(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page, QPointF point);

    // Whether the page is read in full for this look, so that the lookups above answer without reading.
    bool ready(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page);
    // Reads more of the page for about `budgetMs`; true once it is read in full.
    bool advance(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page, double budgetMs);

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
        // How far the page's list is read, and which list it was (see Page::AnnotationOutlinePart).
        int next = 0;
        int total = -1;
        const void* list = nullptr;
        bool complete = false;
        QRectF extent;   // of every entry
        QRectF gridArea; // the page's box: entries outside it go to the cells at its edges
        std::vector<std::vector<int>> cells; // kGrid × kGrid, entry numbers ascending
    };
    PageIndex& indexFor(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page);
    PageIndex& completeIndex(int pageIndex, std::uint32_t generation, const pdf::PagePtr& page);
    static void start(PageIndex& index, const pdf::PagePtr& page);
    // Reads the next part of the page into the index; false when the page's list changed under it.
    static bool readPart(PageIndex& index, const pdf::PagePtr& page, int count);
    static void insert(PageIndex& index, const Entry& entry);
    void candidates(const PageIndex& index, const QRectF& area, const std::function<bool(int)>& visit) const;

    std::list<PageIndex> m_pages; // most recently used first
};

} // namespace vmk::pdfview
