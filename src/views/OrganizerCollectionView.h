#pragma once

#include "views/OrganizerLayout.h"

#include <QAbstractItemView>
#include <QPointer>

namespace vmk::views {

class PageOrganizerView;

// The item view of the page organizer: lays its items out in flowing rows, paints the organizer's page
// cells, and turns mouse, keys, pinch, drags and the context menu into the organizer's actions.
class OrganizerCollectionView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit OrganizerCollectionView(PageOrganizerView* organizer);

    OrganizerFlowLayout& flowLayout() { return m_layout; }
    const OrganizerFlowLayout& flowLayout() const { return m_layout; }
    // Lays the items out again for the model's row count and the viewport's width.
    void relayout();
    // The content band shown, top and bottom in content coordinates.
    std::pair<double, double> visibleBand() const;
    // The drop position being shown while a drag hovers, or -1.
    int dropIndex() const { return m_dropIndex; }

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QRectF contentRect(int index) const;
    void setHovered(int index);
    bool handleDragOver(QDropEvent* event);

    QPointer<PageOrganizerView> m_organizer;
    OrganizerFlowLayout m_layout;
    int m_hovered = -1;
    int m_dropIndex = -1;
    QPoint m_pressContent;
    QRect m_rubberBand;
};

} // namespace vmk::views
