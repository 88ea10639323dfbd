#include "platform/pdfview/PDFView.h"

#include <QPainter>

namespace vmk::pdfview {

struct PDFView::Private {
    PageLayout layout;
};

PDFView::PDFView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , d(std::make_unique<Private>())
{
}

PDFView::~PDFView() = default;

const PageLayout& PDFView::layout() const { return d->layout; }
void PDFView::paintOverlay(QPainter&, const QRect&) {}
Qt::CursorShape PDFView::cursorShapeAt(QPointF) const { return Qt::ArrowCursor; }
void PDFView::paintEvent(QPaintEvent* e) { QAbstractScrollArea::paintEvent(e); }
void PDFView::resizeEvent(QResizeEvent* e) { QAbstractScrollArea::resizeEvent(e); }
void PDFView::scrollContentsBy(int, int) {}
void PDFView::mousePressEvent(QMouseEvent* e) { QAbstractScrollArea::mousePressEvent(e); }
void PDFView::mouseMoveEvent(QMouseEvent* e) { QAbstractScrollArea::mouseMoveEvent(e); }
void PDFView::mouseReleaseEvent(QMouseEvent* e) { QAbstractScrollArea::mouseReleaseEvent(e); }
void PDFView::mouseDoubleClickEvent(QMouseEvent* e) { QAbstractScrollArea::mouseDoubleClickEvent(e); }
void PDFView::keyPressEvent(QKeyEvent* e) { QAbstractScrollArea::keyPressEvent(e); }
void PDFView::wheelEvent(QWheelEvent* e) { QAbstractScrollArea::wheelEvent(e); }
bool PDFView::viewportEvent(QEvent* e) { return QAbstractScrollArea::viewportEvent(e); }

} // namespace vmk::pdfview
