#include "platform/pdfview/PageLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vmk::pdfview {

bool isContinuous(DisplayMode mode)
{
    return mode == DisplayMode::SinglePageContinuous || mode == DisplayMode::TwoUpContinuous;
}

static bool isTwoUp(DisplayMode mode)
{
    return mode == DisplayMode::TwoUp || mode == DisplayMode::TwoUpContinuous;
}

int PageGeometry::normalizedRotation() const
{
    const int r = ((rotation % 360) + 360) % 360;
    return r - r % 90;
}

QSizeF PageGeometry::displaySize() const
{
    const int r = normalizedRotation();
    return (r == 90 || r == 270) ? cropBox.size().transposed() : cropBox.size();
}

QTransform pageToDisplayTransform(const PageGeometry& page)
{
    const double x0 = page.cropBox.x(), y0 = page.cropBox.y();
    const double w = page.cropBox.width(), h = page.cropBox.height();
    switch (page.normalizedRotation()) {
    case 90: // shown turned clockwise: the page's left edge becomes the top
        return QTransform(0, -1, 1, 0, -y0, w + x0);
    case 180:
        return QTransform(-1, 0, 0, -1, x0 + w, y0 + h);
    case 270:
        return QTransform(0, 1, -1, 0, y0 + h, -x0);
    default:
        return QTransform(1, 0, 0, 1, -x0, -y0);
    }
}

void PageLayout::setPages(std::vector<PageGeometry> pages)
{
    m_pages = std::move(pages);
    rebuild();
}

void PageLayout::setDisplayMode(DisplayMode mode)
{
    m_mode = mode;
    rebuild();
}

void PageLayout::setPageBreaks(bool on)
{
    m_pageBreaks = on;
    rebuild();
}

void PageLayout::setViewportSize(QSizeF size)
{
    m_viewport = QSizeF(std::max(0.0, size.width()), std::max(0.0, size.height()));
    setScroll(m_scroll);
}

void PageLayout::setScale(double scale)
{
    m_scale = std::max(0.01, std::isfinite(scale) ? scale : 1.0);
    setScroll(m_scroll);
}

int PageLayout::rowCount() const
{
    return int(m_rows.size());
}

int PageLayout::rowOfPage(int index) const
{
    if (index < 0 || index >= pageCount())
        return -1;
    return isTwoUp(m_mode) ? index / 2 : index;
}

int PageLayout::firstPageOfRow(int row) const
{
    const Row* r = rowAt(row);
    return r ? r->first : -1;
}

int PageLayout::lastPageOfRow(int row) const
{
    const Row* r = rowAt(row);
    return r ? r->last : -1;
}

const PageLayout::Row* PageLayout::rowAt(int row) const
{
    return row >= 0 && row < rowCount() ? &m_rows[size_t(row)] : nullptr;
}

void PageLayout::setShownRow(int row)
{
    m_shownRow = std::clamp(row, 0, std::max(0, rowCount() - 1));
    rebuild();
}

bool PageLayout::isPageShown(int index) const
{
    if (index < 0 || index >= pageCount())
        return false;
    return isContinuous(m_mode) || rowOfPage(index) == m_shownRow;
}

void PageLayout::rebuild()
{
    m_rows.clear();
    m_docRects.assign(m_pages.size(), QRectF());
    const int n = pageCount();
    const int perRow = isTwoUp(m_mode) ? 2 : 1;
    for (int first = 0; first < n; first += perRow) {
        Row row{first, std::min(n - 1, first + perRow - 1), 0.0, 0.0};
        for (int i = row.first; i <= row.last; ++i)
            row.height = std::max(row.height, m_pages[size_t(i)].displaySize().height());
        m_rows.push_back(row);
    }
    m_shownRow = std::clamp(m_shownRow, 0, std::max(0, rowCount() - 1));

    const double m = margin();
    const bool continuous = isContinuous(m_mode);
    // Columns: in two-up the left pages sit against the gutter from the left, the right pages from
    // the right, so that facing pages meet in the middle whatever their sizes.
    auto columnsOf = [&](int fromRow, int toRow, double& left, double& right) {
        left = right = 0;
        for (int r = fromRow; r <= toRow; ++r) {
            const Row& row = m_rows[size_t(r)];
            left = std::max(left, m_pages[size_t(row.first)].displaySize().width());
            if (row.last > row.first)
                right = std::max(right, m_pages[size_t(row.last)].displaySize().width());
        }
    };
    auto placeRow = [&](Row& row, double y, double left, double right) {
        row.top = y;
        const double width = left + (right > 0 ? m + right : 0);
        for (int i = row.first; i <= row.last; ++i) {
            const QSizeF s = m_pages[size_t(i)].displaySize();
            double x;
            if (!isTwoUp(m_mode))
                x = m + (width - s.width()) / 2;
            else if (i == row.first)
                x = m + left - s.width();
            else
                x = m + left + m;
            m_docRects[size_t(i)] = QRectF(x, y + (row.height - s.height()) / 2, s.width(), s.height());
        }
        return width;
    };

    if (m_rows.empty()) {
        m_docSize = QSizeF(0, 0);
        return;
    }
    if (continuous) {
        columnsOf(0, rowCount() - 1, m_leftColumn, m_rightColumn);
        double y = m;
        double width = 0;
        for (Row& row : m_rows) {
            width = placeRow(row, y, m_leftColumn, m_rightColumn);
            y += row.height + m;
        }
        m_docSize = QSizeF(width + 2 * m, y);
    } else {
        // Every row takes the same place; only the shown one counts for the document's size.
        for (int r = 0; r < rowCount(); ++r) {
            double left, right;
            columnsOf(r, r, left, right);
            const double width = placeRow(m_rows[size_t(r)], m, left, right);
            if (r == m_shownRow) {
                m_leftColumn = left;
                m_rightColumn = right;
                m_docSize = QSizeF(width + 2 * m, m_rows[size_t(r)].height + 2 * m);
            }
        }
    }
    setScroll(m_scroll);
}

QSizeF PageLayout::documentSize() const
{
    return m_docSize;
}

QRectF PageLayout::pageRectInDocument(int index) const
{
    if (index < 0 || index >= pageCount())
        return {};
    return m_docRects[size_t(index)];
}

QSizeF PageLayout::contentSize() const
{
    return m_docSize * m_scale;
}

QPointF PageLayout::maxScroll() const
{
    const QSizeF c = contentSize();
    return QPointF(std::max(0.0, c.width() - m_viewport.width()), std::max(0.0, c.height() - m_viewport.height()));
}

void PageLayout::setScroll(QPointF scroll)
{
    const QPointF mx = maxScroll();
    m_scroll = QPointF(std::clamp(scroll.x(), 0.0, mx.x()), std::clamp(scroll.y(), 0.0, mx.y()));
}

QPointF PageLayout::centringOffset() const
{
    const QSizeF c = contentSize();
    return QPointF(std::max(0.0, (m_viewport.width() - c.width()) / 2),
                   std::max(0.0, (m_viewport.height() - c.height()) / 2));
}

QPointF PageLayout::documentToView(QPointF p) const
{
    return p * m_scale - m_scroll + centringOffset();
}

QPointF PageLayout::viewToDocument(QPointF p) const
{
    return (p + m_scroll - centringOffset()) / m_scale;
}

QRectF PageLayout::pageRectInView(int index) const
{
    const QRectF r = pageRectInDocument(index);
    if (r.isNull())
        return {};
    return QRectF(documentToView(r.topLeft()), r.size() * m_scale);
}

QTransform PageLayout::pageToDocumentTransform(int index) const
{
    if (index < 0 || index >= pageCount())
        return {};
    const QRectF r = m_docRects[size_t(index)];
    const QTransform flip(1, 0, 0, -1, r.x(), r.y() + r.height());
    return pageToDisplayTransform(m_pages[size_t(index)]) * flip;
}

QPointF PageLayout::pageToView(int index, QPointF pagePoint) const
{
    return documentToView(pageToDocumentTransform(index).map(pagePoint));
}

QPointF PageLayout::viewToPage(int index, QPointF viewPoint) const
{
    return pageToDocumentTransform(index).inverted().map(viewToDocument(viewPoint));
}

QRectF PageLayout::pageRectToView(int index, const QRectF& pageRect) const
{
    const QRectF doc = pageToDocumentTransform(index).mapRect(pageRect.normalized());
    return QRectF(documentToView(doc.topLeft()), doc.size() * m_scale);
}

QRectF PageLayout::viewRectToPage(int index, const QRectF& viewRect) const
{
    const QRectF v = viewRect.normalized();
    const QRectF doc(viewToDocument(v.topLeft()), v.size() / m_scale);
    return pageToDocumentTransform(index).inverted().mapRect(doc);
}

static double distanceTo(const QRectF& r, QPointF p)
{
    const double dx = std::max({r.left() - p.x(), 0.0, p.x() - r.right()});
    const double dy = std::max({r.top() - p.y(), 0.0, p.y() - r.bottom()});
    return std::hypot(dx, dy);
}

int PageLayout::firstRowEndingBelow(double documentY) const
{
    // Rows are placed top to bottom in the continuous modes; in the others only the shown one counts.
    if (!isContinuous(m_mode))
        return std::clamp(m_shownRow, 0, std::max(0, rowCount() - 1));
    const auto it = std::partition_point(m_rows.begin(), m_rows.end(),
                                         [&](const Row& row) { return row.top + row.height < documentY; });
    return int(it - m_rows.begin());
}

int PageLayout::pageAt(QPointF viewPoint, bool nearest) const
{
    if (m_rows.empty())
        return -1;
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    auto tryRow = [&](int r) {
        const Row& row = m_rows[size_t(r)];
        for (int i = row.first; i <= row.last; ++i) {
            if (!isPageShown(i))
                continue;
            const QRectF rect = pageRectInView(i);
            if (rect.contains(viewPoint)) {
                bestDistance = -1;
                best = i;
                return;
            }
            const double d = distanceTo(rect, viewPoint);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
    };
    if (!isContinuous(m_mode)) {
        tryRow(firstRowEndingBelow(0));
    } else {
        // Outwards from the row at the point, until rows are farther away than the nearest page found.
        const double y = viewToDocument(viewPoint).y();
        const int start = std::min(firstRowEndingBelow(y), rowCount() - 1);
        auto rowDistance = [&](int r) {
            const Row& row = m_rows[size_t(r)];
            const double top = documentToView(QPointF(0, row.top)).y();
            return std::max({0.0, top - viewPoint.y(), viewPoint.y() - (top + row.height * m_scale)});
        };
        int up = start, down = start + 1;
        while (bestDistance >= 0) {
            // Rows only get farther in each direction, and the nearest distance only shrinks.
            const bool upNear = up >= 0 && rowDistance(up) <= bestDistance;
            const bool downNear = down < rowCount() && rowDistance(down) <= bestDistance;
            if (!upNear && !downNear)
                break;
            if (upNear)
                tryRow(up--);
            if (bestDistance >= 0 && downNear)
                tryRow(down++);
        }
    }
    return bestDistance < 0 || nearest ? best : -1;
}

std::vector<int> PageLayout::pagesIn(const QRectF& viewRect) const
{
    std::vector<int> result;
    if (m_rows.empty())
        return result;
    const int first = firstRowEndingBelow(viewToDocument(viewRect.topLeft()).y());
    const double bottom = viewToDocument(viewRect.bottomRight()).y();
    const int last = isContinuous(m_mode) ? rowCount() - 1 : first;
    for (int r = first; r <= last; ++r) {
        const Row& row = m_rows[size_t(r)];
        if (isContinuous(m_mode) && row.top > bottom)
            break;
        for (int i = row.first; i <= row.last; ++i)
            if (isPageShown(i) && pageRectInView(i).intersects(viewRect))
                result.push_back(i);
    }
    return result;
}

int PageLayout::mostVisibleRow() const
{
    if (m_rows.empty())
        return -1;
    if (!isContinuous(m_mode))
        return m_shownRow;
    int best = 0;
    double bestHeight = -1;
    for (int r = std::min(firstRowEndingBelow(viewToDocument(QPointF(0, 0)).y()), rowCount() - 1); r < rowCount(); ++r) {
        const Row& row = m_rows[size_t(r)];
        const double rowTop = documentToView(QPointF(0, row.top)).y();
        const double bottom = rowTop + row.height * m_scale;
        const double visible = std::min(bottom, m_viewport.height()) - std::max(rowTop, 0.0);
        if (visible > bestHeight) {
            bestHeight = visible;
            best = r;
        }
        if (rowTop > m_viewport.height())
            break;
    }
    return best;
}

QPointF PageLayout::scrollToShow(QPointF documentPoint) const
{
    return documentPoint * m_scale;
}

double PageLayout::fitWidthScale() const
{
    if (m_docSize.width() <= 0)
        return 1.0;
    return std::max(0.01, m_viewport.width() / m_docSize.width());
}

double PageLayout::fitPageScale() const
{
    if (m_docSize.isEmpty())
        return 1.0;
    double height = m_docSize.height();
    if (isContinuous(m_mode)) {
        double tallest = 0;
        for (const Row& row : m_rows)
            tallest = std::max(tallest, row.height);
        height = tallest + 2 * margin();
    }
    return std::max(0.01, std::min(m_viewport.width() / m_docSize.width(), m_viewport.height() / height));
}

double PageLayout::autoScale() const
{
    return isContinuous(m_mode) ? fitWidthScale() : fitPageScale();
}

double PageLayout::fitPageScale(int index, double inset) const
{
    if (index < 0 || index >= pageCount())
        return m_scale;
    const QSizeF s = m_pages[size_t(index)].displaySize();
    if (s.isEmpty())
        return m_scale;
    const double w = std::max(1.0, m_viewport.width() - 2 * inset);
    const double h = std::max(1.0, m_viewport.height() - 2 * inset);
    return std::max(0.01, std::min(w / s.width(), h / s.height()));
}

} // namespace vmk::pdfview
