#include "views/OrganizerCollectionView.h"

#include "views/OrganizerDragDrop.h"
#include "views/PageCell.h"
#include "views/PageOrganizerView.h"

#include "platform/pdfview/PDFView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vmk::views {

OrganizerCollectionView::OrganizerCollectionView(PageOrganizerView* organizer)
    : QAbstractItemView(organizer), m_organizer(organizer)
{
    setEditTriggers(NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(DragDrop);
    setDropIndicatorShown(false);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents);
}

void OrganizerCollectionView::relayout()
{
    m_layout.setCount(model() ? model()->rowCount() : 0);
    m_layout.setWidth(viewport()->width());
    updateGeometries();
    viewport()->update();
    if (m_organizer)
        m_organizer->updateVisibleCells();
}

std::pair<double, double> OrganizerCollectionView::visibleBand() const
{
    const double top = verticalOffset();
    return {top, top + viewport()->height()};
}

QRectF OrganizerCollectionView::contentRect(int index) const
{
    return m_layout.itemRect(index);
}

QRect OrganizerCollectionView::visualRect(const QModelIndex& index) const
{
    if (!index.isValid())
        return QRect();
    return contentRect(index.row()).translated(0, -verticalOffset()).toAlignedRect();
}

void OrganizerCollectionView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const QRectF rect = contentRect(index.row());
    const double top = verticalOffset();
    const double height = viewport()->height();
    double value = top;
    switch (hint) {
    case PositionAtTop:
        value = rect.top();
        break;
    case PositionAtBottom:
        value = rect.bottom() - height;
        break;
    case PositionAtCenter:
        value = rect.center().y() - height / 2;
        break;
    case EnsureVisible:
        // To the nearer edge, moving as little as needed.
        if (rect.top() < top)
            value = rect.top();
        else if (rect.bottom() > top + height)
            value = rect.bottom() - height;
        break;
    }
    verticalScrollBar()->setValue(int(std::lround(value)));
}

QModelIndex OrganizerCollectionView::indexAt(const QPoint& point) const
{
    if (!model())
        return QModelIndex();
    const int index = m_layout.indexAt(QPointF(point) + QPointF(0, verticalOffset()));
    return index >= 0 ? model()->index(index, 0) : QModelIndex();
}

QModelIndex OrganizerCollectionView::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int count = m_layout.count();
    if (!model() || count == 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0);
    const int n = m_layout.columns();
    const double pitch = m_layout.itemSize().height() + 1;
    const int page = n * std::max(1, int(viewport()->height() / pitch));
    int row = current.row();
    switch (action) {
    case MoveLeft:
    case MovePrevious:
        row -= 1;
        break;
    case MoveRight:
    case MoveNext:
        row += 1;
        break;
    case MoveUp:
        row = row - n >= 0 ? row - n : row;
        break;
    case MoveDown:
        row = row + n < count ? row + n : row;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    case MovePageUp:
        row -= page;
        break;
    case MovePageDown:
        row += page;
        break;
    }
    return model()->index(std::clamp(row, 0, count - 1), 0);
}

int OrganizerCollectionView::horizontalOffset() const
{
    return 0;
}

int OrganizerCollectionView::verticalOffset() const
{
    return verticalScrollBar()->value();
}

bool OrganizerCollectionView::isIndexHidden(const QModelIndex&) const
{
    return false;
}

void OrganizerCollectionView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags)
{
    if (!model() || !selectionModel())
        return;
    const QRectF area = QRectF(rect.normalized()).translated(0, verticalOffset());
    const auto [first, last] = m_layout.indexesBetween(area.top(), area.bottom());
    QItemSelection selection;
    for (int i = first; i <= last; ++i) {
        const QRectF item = contentRect(i);
        const bool hit = area.isEmpty() ? item.contains(area.topLeft()) : item.intersects(area);
        if (hit)
            selection.select(model()->index(i, 0), model()->index(i, 0));
    }
    selectionModel()->select(selection, flags);
}

QRegion OrganizerCollectionView::visualRegionForSelection(const QItemSelection& selection) const
{
    QRegion region;
    for (const QItemSelectionRange& range : selection)
        for (int row = range.top(); row <= range.bottom(); ++row)
            region += visualRect(model()->index(row, 0));
    return region;
}

void OrganizerCollectionView::updateGeometries()
{
    const int content = int(std::ceil(m_layout.contentSize().height()));
    verticalScrollBar()->setRange(0, std::max(0, content - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(24);
    QAbstractItemView::updateGeometries();
}

void OrganizerCollectionView::scrollContentsBy(int dx, int dy)
{
    QAbstractItemView::scrollContentsBy(dx, dy);
    viewport()->update();
    if (m_organizer)
        m_organizer->updateVisibleCells();
}

void OrganizerCollectionView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    if (m_organizer && m_organizer->metrics().drawsBackground)
        painter.fillRect(viewport()->rect(), pdfview::PDFView::underPageBackgroundColor());
    if (!m_organizer || !model())
        return;
    const auto [top, bottom] = visibleBand();
    const auto [first, last] = m_layout.indexesBetween(top, bottom);
    const QPalette pal = palette();
    // Items at whole pixels and all of one size, so that cards of pages of one shape share one card size
    // and the faces made for it with their thumbnails.
    for (int i = first; i <= last; ++i)
        if (PageCell* cell = m_organizer->cellAt(i))
            cell->paint(painter, QRectF(visualRect(model()->index(i, 0)).topLeft(), m_layout.itemSize()), pal);
    if (m_dropIndex >= 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(pal.color(QPalette::Highlight));
        painter.drawRoundedRect(m_layout.dropIndicatorRect(m_dropIndex).translated(0, -top), 1.5, 1.5);
    }
    if (!m_rubberBand.isNull()) {
        QColor fill = pal.color(QPalette::Highlight);
        fill.setAlphaF(0.15f);
        painter.setPen(pal.color(QPalette::Highlight));
        painter.setBrush(fill);
        painter.drawRect(m_rubberBand.adjusted(0, 0, -1, -1));
    }
}

void OrganizerCollectionView::resizeEvent(QResizeEvent* event)
{
    QAbstractItemView::resizeEvent(event);
    relayout();
}

void OrganizerCollectionView::mousePressEvent(QMouseEvent* event)
{
    m_pressContent = event->position().toPoint() + QPoint(0, verticalOffset());
    QAbstractItemView::mousePressEvent(event);
}

void OrganizerCollectionView::mouseMoveEvent(QMouseEvent* event)
{
    QAbstractItemView::mouseMoveEvent(event);
    if (state() == DragSelectingState) {
        m_rubberBand = QRect(m_pressContent - QPoint(0, verticalOffset()), event->position().toPoint()).normalized();
        viewport()->update();
    }
    if (event->buttons() == Qt::NoButton)
        setHovered(indexAt(event->position().toPoint()).row());
}

void OrganizerCollectionView::mouseReleaseEvent(QMouseEvent* event)
{
    QAbstractItemView::mouseReleaseEvent(event);
    if (!m_rubberBand.isNull()) {
        m_rubberBand = QRect();
        viewport()->update();
    }
}

void OrganizerCollectionView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->button() == Qt::LeftButton) {
        if (m_organizer)
            m_organizer->openPage(index.row());
        event->accept();
        return;
    }
    QAbstractItemView::mouseDoubleClickEvent(event);
}

void OrganizerCollectionView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_organizer)
            m_organizer->openLowestSelected();
        event->accept();
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (m_organizer)
            m_organizer->deleteSelection();
        event->accept();
        return;
    default:
        QAbstractItemView::keyPressEvent(event);
    }
}

void OrganizerCollectionView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_organizer)
        return;
    const QModelIndex index = indexAt(event->pos());
    std::unique_ptr<QMenu> menu(
        m_organizer->makeContextMenu(index.isValid() ? std::optional<int>(index.row()) : std::nullopt, this));
    if (menu)
        menu->exec(event->globalPos());
    event->accept();
}

void OrganizerCollectionView::wheelEvent(QWheelEvent* event)
{
    // Ctrl and the wheel stand in for a pinch on mice without one.
    if (event->modifiers() & Qt::ControlModifier) {
        if (m_organizer && event->angleDelta().y() != 0)
            m_organizer->magnify(event->angleDelta().y() / 1200.0);
        event->accept();
        return;
    }
    QAbstractItemView::wheelEvent(event);
}

bool OrganizerCollectionView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        setHovered(-1);
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            if (m_organizer)
                m_organizer->magnify(gesture->value());
            event->accept();
            return true;
        }
    }
    return QAbstractItemView::viewportEvent(event);
}

bool OrganizerCollectionView::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture)
        return viewportEvent(event);
    return QAbstractItemView::event(event);
}

void OrganizerCollectionView::setHovered(int index)
{
    if (index == m_hovered)
        return;
    if (m_organizer) {
        if (PageCell* old = m_organizer->cellAt(m_hovered))
            old->setHovering(false);
        if (PageCell* cell = m_organizer->cellAt(index))
            cell->setHovering(true);
    }
    m_hovered = index;
}

void OrganizerCollectionView::startDrag(Qt::DropActions)
{
    if (!m_organizer || !selectionModel())
        return;
    IndexSet indexes;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        indexes.insert(index.row());
    if (indexes.empty())
        return;
    setHovered(-1);
    auto* drag = new QDrag(this);
    drag->setMimeData(pageIndexMimeData(indexes));
    const QRect first = visualRect(model()->index(*indexes.begin(), 0));
    if (!first.isEmpty()) {
        drag->setPixmap(viewport()->grab(first));
        drag->setHotSpot(mapFromGlobal(QCursor::pos()) - first.topLeft());
    }
    m_organizer->playLift(indexes);
    QPointer<OrganizerCollectionView> self(this);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    if (self && m_organizer)
        m_organizer->playSettle();
}

bool OrganizerCollectionView::handleDragOver(QDropEvent* event)
{
    const bool own = event->source() == this;
    const auto op = m_organizer ? m_organizer->validateDrop(event->mimeData(), own)
                                : PageOrganizerView::DropOperation::none;
    const int previous = m_dropIndex;
    if (op == PageOrganizerView::DropOperation::none) {
        m_dropIndex = -1;
        event->ignore();
    } else {
        event->setDropAction(op == PageOrganizerView::DropOperation::move ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
        m_dropIndex = m_layout.dropIndexAt(event->position() + QPointF(0, verticalOffset()));
    }
    if (previous != m_dropIndex)
        viewport()->update();
    return op != PageOrganizerView::DropOperation::none;
}

void OrganizerCollectionView::dragEnterEvent(QDragEnterEvent* event)
{
    handleDragOver(event);
}

void OrganizerCollectionView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!handleDragOver(event))
        return;
    // Scroll while the pointer rests near the top or bottom edge.
    const double y = event->position().y();
    if (y < 32)
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 20);
    else if (y > viewport()->height() - 32)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 20);
}

void OrganizerCollectionView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_dropIndex = -1;
    viewport()->update();
}

void OrganizerCollectionView::dropEvent(QDropEvent* event)
{
    const bool own = event->source() == this;
    const int index = m_layout.dropIndexAt(event->position() + QPointF(0, verticalOffset()));
    m_dropIndex = -1;
    viewport()->update();
    const auto op = m_organizer ? m_organizer->validateDrop(event->mimeData(), own)
                                : PageOrganizerView::DropOperation::none;
    if (op != PageOrganizerView::DropOperation::none && m_organizer->acceptDrop(event->mimeData(), own, index)) {
        event->setDropAction(op == PageOrganizerView::DropOperation::move ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace vmk::views
