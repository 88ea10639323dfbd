#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <vector>

namespace vmk::pdfview {

enum class DisplayMode {
    SinglePage,           // one page at a time, fitted to the window when scaling automatically
    SinglePageContinuous, // every page in one vertical column
    TwoUp,                // one pair of pages at a time
    TwoUpContinuous,      // pairs of pages in one vertical column
};

bool isContinuous(DisplayMode mode);

// What the layout needs to know of a page: its crop box in page space (PDF user space, y up,
// possibly away from the origin) and its rotation in degrees, any multiple of 90.
struct PageGeometry {
    QRectF cropBox;
    int rotation = 0;

    int normalizedRotation() const; // 0, 90, 180 or 270
    QSizeF displaySize() const;     // the crop box's size, width and height swapped at 90 and 270
};

// Maps page space to display space: the rotated crop box with its origin at the lower left, y up.
QTransform pageToDisplayTransform(const PageGeometry& page);

// Places the pages of a document for one display mode, scale, viewport size and scroll position,
// and converts between the three spaces involved:
//  - page space: PDF user space of one page, unrotated, y up;
//  - document space: points at scale 1, y down, origin at the top left of the laid-out pages;
//  - view space: viewport pixels, y down; view = document * scale - scroll + centring.
// Plain geometry, so that it can be driven without a window or a PDF.
class PageLayout {
public:
    // Space between pages and around them when page breaks are shown, in points.
    static constexpr double kPageBreakMargin = 8.0;

    void setPages(std::vector<PageGeometry> pages);
    const std::vector<PageGeometry>& pages() const { return m_pages; }
    int pageCount() const { return int(m_pages.size()); }

    void setDisplayMode(DisplayMode mode);
    DisplayMode displayMode() const { return m_mode; }
    void setPageBreaks(bool on);
    bool pageBreaks() const { return m_pageBreaks; }
    void setViewportSize(QSizeF size);
    QSizeF viewportSize() const { return m_viewport; }
    void setScale(double scale); // clamped to a small positive minimum
    double scale() const { return m_scale; }

    // Rows: one page (single modes) or a pair of pages (two-up modes). In the non-continuous modes
    // only the shown row is laid out in the document; the others share its place but are hidden.
    int rowCount() const;
    int rowOfPage(int index) const;
    int firstPageOfRow(int row) const;
    int lastPageOfRow(int row) const;
    void setShownRow(int row); // only matters in the non-continuous modes
    int shownRow() const { return m_shownRow; }
    bool isPageShown(int index) const;

    // Document space.
    QSizeF documentSize() const;
    QRectF pageRectInDocument(int index) const;

    // Pixels: the scaled document, and how far the viewport is scrolled into it.
    QSizeF contentSize() const;
    QPointF maxScroll() const;
    void setScroll(QPointF scroll); // clamped to [0, maxScroll]
    QPointF scroll() const { return m_scroll; }
    // Where the content's origin lies in the viewport when it is smaller than the viewport (centred).
    QPointF centringOffset() const;

    QRectF pageRectInView(int index) const;
    QPointF pageToView(int index, QPointF pagePoint) const;
    QPointF viewToPage(int index, QPointF viewPoint) const;
    QRectF pageRectToView(int index, const QRectF& pageRect) const;
    QRectF viewRectToPage(int index, const QRectF& viewRect) const;
    QPointF documentToView(QPointF documentPoint) const;
    QPointF viewToDocument(QPointF viewPoint) const;
    // Page space → document space for one page (y flipped, rotation applied).
    QTransform pageToDocumentTransform(int index) const;

    // The shown page whose rectangle contains the point, or -1. With nearest, the shown page closest
    // to the point instead of -1 (always a page when the document has any).
    int pageAt(QPointF viewPoint, bool nearest) const;
    // Shown pages that intersect a view-space rectangle, in order.
    std::vector<int> pagesIn(const QRectF& viewRect) const;
    // The row that covers most of the viewport's height (the first such on a tie); -1 without pages.
    int mostVisibleRow() const;

    // Scroll position that puts a document point at the viewport's top left (before clamping).
    QPointF scrollToShow(QPointF documentPoint) const;

    // Automatic scales for the current viewport.
    double fitWidthScale() const; // the widest row (continuous) or the shown row across the viewport
    double fitPageScale() const;  // the shown row, or the largest row when continuous, fits entirely
    double autoScale() const;     // fit width when continuous, fit page otherwise
    // The scale at which one page, as displayed (rotation applied), fits the viewport less an inset.
    double fitPageScale(int index, double inset) const;

private:
    struct Row {
        int first = 0;
        int last = 0;
        double height = 0;
        double top = 0; // document space
    };
    void rebuild();
    const Row* rowAt(int row) const;
    // The first row whose bottom is at or below the document-space height (rowCount() when none).
    int firstRowEndingBelow(double documentY) const;
    double margin() const { return m_pageBreaks ? kPageBreakMargin : 0.0; }

    std::vector<PageGeometry> m_pages;
    DisplayMode m_mode = DisplayMode::SinglePageContinuous;
    bool m_pageBreaks = true;
    QSizeF m_viewport{800, 600};
    double m_scale = 1.0;
    QPointF m_scroll;
    int m_shownRow = 0;

    // Derived by rebuild().
    std::vector<Row> m_rows;
    std::vector<QRectF> m_docRects; // per page, in document space
    double m_leftColumn = 0;        // two-up: width of the left column
    double m_rightColumn = 0;       // two-up: width of the right column
    QSizeF m_docSize;
};

} // namespace vmk::pdfview
