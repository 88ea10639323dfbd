#pragma once

#include <QMarginsF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <utility>

namespace vmk::views {

// How one style of the page organizer lays out and keeps its items.
struct OrganizerMetrics {
    double firstItemWidth = 150;
    double minInteritemSpacing = 20; // between items of a row
    double minLineSpacing = 26;      // between rows
    QMarginsF insets{30, 72, 30, 80}; // left, top, right, bottom
    bool multipleSelection = true;
    bool drawsBackground = true;
    qint64 cacheCostLimit = 167772160;
    bool itemWidthFollowsView = false;
    bool registersAsPageGrid = true;

    static OrganizerMetrics grid();
    static OrganizerMetrics sidebar();
};

// The smallest and largest item width of pinch and zoom steps.
inline constexpr double kMinItemWidth = 90;
inline constexpr double kMaxItemWidth = 340;

// Item size for an item width: the card and its page-number badge below it.
QSizeF organizerItemSize(double width);
// The current width times a factor, clamped to the item width range.
double zoomedItemWidth(double current, double factor);
// The sidebar's item width for its view width, or the current width when the change is 4 points or less.
double sidebarItemWidth(double viewWidth, double current);

// Rows of equal items flowing left to right, as wide as the view, in content coordinates (y down, the
// top of the scrolled content at 0). Rows are spread so that the columns fill the width; a single
// column is centred.
class OrganizerFlowLayout {
public:
    void setItemSize(QSizeF size) { m_item = size; }
    QSizeF itemSize() const { return m_item; }
    void setSpacing(double interitem, double line) { m_interitem = interitem; m_line = line; }
    void setInsets(const QMarginsF& insets) { m_insets = insets; }
    void setWidth(double width) { m_width = width; }
    void setCount(int count) { m_count = count; }
    int count() const { return m_count; }

    int columns() const;
    int rows() const;
    QRectF itemRect(int index) const;
    QSizeF contentSize() const;
    // The item whose rectangle holds the point, or -1.
    int indexAt(QPointF point) const;
    // Where a drop at the point goes, 0...count: before the item whose left three quarters the point
    // is over, after the last item of its row when it lies to the right of them.
    int dropIndexAt(QPointF point) const;
    // A thin rectangle in the gap before the item at the drop index (after the last item for count).
    QRectF dropIndicatorRect(int dropIndex) const;
    // First and last index of the items that meet the vertical band y0...y1; (0, -1) when none.
    std::pair<int, int> indexesBetween(double y0, double y1) const;

private:
    double columnX(int column) const;
    double rowY(int row) const;

    QSizeF m_item{150, 225};
    double m_interitem = 20;
    double m_line = 26;
    QMarginsF m_insets;
    double m_width = 0;
    int m_count = 0;
};

} // namespace vmk::views
