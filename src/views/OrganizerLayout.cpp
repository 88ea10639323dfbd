#include "views/OrganizerLayout.h"

#include <algorithm>
#include <cmath>

namespace vmk::views {

OrganizerMetrics OrganizerMetrics::grid()
{
    return OrganizerMetrics{};
}

OrganizerMetrics OrganizerMetrics::sidebar()
{
    OrganizerMetrics m;
    m.firstItemWidth = 120;
    m.minInteritemSpacing = 400; // one item per row
    m.minLineSpacing = 10;
    m.insets = QMarginsF(12, 4, 12, 24);
    m.multipleSelection = false;
    m.drawsBackground = false;
    m.cacheCostLimit = 62914560;
    m.itemWidthFollowsView = true;
    m.registersAsPageGrid = false;
    return m;
}

QSizeF organizerItemSize(double width)
{
    return QSizeF(width, 1.3 * width + 30);
}

double zoomedItemWidth(double current, double factor)
{
    return std::clamp(current * factor, kMinItemWidth, kMaxItemWidth);
}

double sidebarItemWidth(double viewWidth, double current)
{
    const double width = std::clamp(viewWidth - 40, 60.0, 220.0);
    return std::abs(width - current) > 4 ? width : current;
}

int OrganizerFlowLayout::columns() const
{
    const double available = m_width - m_insets.left() - m_insets.right();
    const int n = int(std::floor((available + m_interitem) / (m_item.width() + m_interitem)));
    return std::max(1, n);
}

int OrganizerFlowLayout::rows() const
{
    const int n = columns();
    return (m_count + n - 1) / n;
}

double OrganizerFlowLayout::columnX(int column) const
{
    const int n = columns();
    const double available = m_width - m_insets.left() - m_insets.right();
    if (n == 1)
        return m_insets.left() + std::max(0.0, (available - m_item.width()) / 2);
    const double spacing = std::max(m_interitem, (available - n * m_item.width()) / (n - 1));
    return m_insets.left() + column * (m_item.width() + spacing);
}

double OrganizerFlowLayout::rowY(int row) const
{
    return m_insets.top() + row * (m_item.height() + m_line);
}

QRectF OrganizerFlowLayout::itemRect(int index) const
{
    if (index < 0 || index >= m_count)
        return QRectF();
    const int n = columns();
    return QRectF(QPointF(columnX(index % n), rowY(index / n)), m_item);
}

QSizeF OrganizerFlowLayout::contentSize() const
{
    const int r = rows();
    const double body = r > 0 ? r * m_item.height() + (r - 1) * m_line : 0;
    return QSizeF(m_width, m_insets.top() + body + m_insets.bottom());
}

int OrganizerFlowLayout::indexAt(QPointF point) const
{
    if (m_count == 0 || point.y() < m_insets.top())
        return -1;
    const int row = int((point.y() - m_insets.top()) / (m_item.height() + m_line));
    const int n = columns();
    for (int i = row * n; i < std::min(m_count, (row + 1) * n); ++i)
        if (itemRect(i).contains(point))
            return i;
    return -1;
}

int OrganizerFlowLayout::dropIndexAt(QPointF point) const
{
    if (m_count == 0)
        return 0;
    const double pitch = m_item.height() + m_line;
    const int row = std::clamp(int(std::floor((point.y() - m_insets.top() + m_line / 2) / pitch)), 0, rows() - 1);
    const int n = columns();
    const int first = row * n;
    const int end = std::min(m_count, first + n);
    for (int i = first; i < end; ++i)
        if (point.x() < itemRect(i).left() + 0.75 * m_item.width())
            return i;
    return end;
}

QRectF OrganizerFlowLayout::dropIndicatorRect(int dropIndex) const
{
    if (m_count == 0)
        return QRectF(m_insets.left(), m_insets.top(), 3, m_item.height());
    const bool after = dropIndex >= m_count;
    const QRectF item = itemRect(after ? m_count - 1 : std::max(0, dropIndex));
    const double x = after ? item.right() + 6 : item.left() - 6;
    return QRectF(x - 1.5, item.top(), 3, item.height());
}

std::pair<int, int> OrganizerFlowLayout::indexesBetween(double y0, double y1) const
{
    if (m_count == 0 || y1 < y0)
        return {0, -1};
    const double pitch = m_item.height() + m_line;
    const int firstRow = std::max(0, int(std::floor((y0 - m_insets.top() - m_item.height()) / pitch)) + 1);
    const int lastRow = std::min(rows() - 1, int(std::floor((y1 - m_insets.top()) / pitch)));
    if (lastRow < firstRow)
        return {0, -1};
    const int n = columns();
    return {firstRow * n, std::min(m_count - 1, (lastRow + 1) * n - 1)};
}

} // namespace vmk::views
