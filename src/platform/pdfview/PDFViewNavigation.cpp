#include "platform/pdfview/PDFViewPrivate.h"

#include <QCursor>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace vmk::pdfview {

// --- Current page and places ------------------------------------------------------------------------

void PDFView::Private::setCurrentPage(int index)
{
    if (index == currentPage)
        return;
    currentPage = index;
    emit q->currentPageChanged(index);
}

void PDFView::Private::updateCurrentPage()
{
    if (pages.empty()) {
        setCurrentPage(-1);
        return;
    }
    const int row = layout.mostVisibleRow();
    if (row >= 0 && layout.rowOfPage(currentPage) != row)
        setCurrentPage(layout.firstPageOfRow(row));
}

ViewLocation PDFView::Private::location() const
{
    if (currentPage < 0 || currentPage >= layout.pageCount())
        return {};
    return ViewLocation{currentPage, layout.viewToPage(currentPage, QPointF(0, 0))};
}

void PDFView::Private::showRowOf(int page)
{
    if (isContinuous(layout.displayMode()) || layout.rowOfPage(page) == layout.shownRow())
        return;
    layout.setShownRow(layout.rowOfPage(page));
    if (autoScales)
        setScale(layout.autoScale(), QPointF(0, 0));
    // Tiles of the hidden row are of no use any more.
    q->viewport()->update();
}

void PDFView::Private::showLocation(const ViewLocation& where)
{
    if (where.page < 0 || where.page >= layout.pageCount())
        return;
    showRowOf(where.page);
    const QPointF documentPoint = layout.pageToDocumentTransform(where.page).map(where.point);
    setScroll(documentPoint * layout.scale() + layout.centringOffset());
    setCurrentPage(where.page);
}

int PDFView::currentPageIndex() const
{
    return d->currentPage;
}

std::shared_ptr<pdf::Page> PDFView::currentPage() const
{
    return d->currentPage >= 0 && d->currentPage < int(d->pages.size()) ? d->pages[size_t(d->currentPage)] : nullptr;
}

// The page point shown at the viewport's top left when a page's top is shown there, a page break
// above it.
static QPointF topOfPage(const PageLayout& layout, int page)
{
    const QRectF r = layout.pageRectInDocument(page);
    const double m = layout.pageBreaks() ? PageLayout::kPageBreakMargin : 0.0;
    return layout.pageToDocumentTransform(page).inverted().map(QPointF(r.left() - m, r.top() - m));
}

void PDFView::goToPage(int pageIndex)
{
    if (pageIndex < 0 || pageIndex >= int(d->pages.size()))
        return;
    d->history.recordJumpFrom(d->location());
    d->showRowOf(pageIndex);
    d->showLocation(ViewLocation{pageIndex, topOfPage(d->layout, pageIndex)});
    emit historyChanged();
}

bool PDFView::canGoToNextPage() const
{
    return d->currentPage >= 0 && d->layout.rowOfPage(d->currentPage) < d->layout.rowCount() - 1;
}

bool PDFView::canGoToPreviousPage() const
{
    return d->currentPage >= 0 && d->layout.rowOfPage(d->currentPage) > 0;
}

void PDFView::goToNextPage()
{
    if (canGoToNextPage())
        goToPage(d->layout.firstPageOfRow(d->layout.rowOfPage(d->currentPage) + 1));
}

void PDFView::goToPreviousPage()
{
    if (canGoToPreviousPage())
        goToPage(d->layout.firstPageOfRow(d->layout.rowOfPage(d->currentPage) - 1));
}

void PDFView::goToFirstPage()
{
    goToPage(0);
}

void PDFView::goToLastPage()
{
    goToPage(int(d->pages.size()) - 1);
}

void PDFView::goToPoint(int pageIndex, QPointF pagePoint)
{
    if (pageIndex < 0 || pageIndex >= int(d->pages.size()))
        return;
    // A destination may leave a coordinate unspecified: keep to the page's left or top edge.
    const QPointF top = topOfPage(d->layout, pageIndex);
    if (!std::isfinite(pagePoint.x()))
        pagePoint.setX(top.x());
    if (!std::isfinite(pagePoint.y()))
        pagePoint.setY(top.y());
    d->history.recordJumpFrom(d->location());
    d->showLocation(ViewLocation{pageIndex, pagePoint});
    emit historyChanged();
}

void PDFView::goToDestination(const pdf::Destination& destination)
{
    goToPoint(indexOfPage(destination.page), destination.point);
}

void PDFView::goToRect(int pageIndex, const QRectF& pageRect)
{
    if (pageIndex < 0 || pageIndex >= int(d->pages.size()))
        return;
    d->showRowOf(pageIndex);
    const QRectF target = d->layout.pageRectToView(pageIndex, pageRect);
    // Out from under the floating bars, unless they leave too little room to show anything.
    QRectF view = QRectF(viewport()->rect());
    const QRectF clear = QRectF(viewport()->rect().marginsRemoved(d->obscured ? d->obscured() : QMargins()));
    if (clear.width() >= view.width() / 2 && clear.height() >= view.height() / 2)
        view = clear;
    QPointF delta;
    // Scroll only as far as needed along each axis; centre what is larger than the viewport.
    auto axis = [](double lo, double hi, double viewLo, double viewHi) {
        if (hi - lo > viewHi - viewLo)
            return (lo + hi) / 2 - (viewLo + viewHi) / 2;
        if (lo < viewLo)
            return lo - viewLo;
        if (hi > viewHi)
            return hi - viewHi;
        return 0.0;
    };
    delta.setX(axis(target.left(), target.right(), view.left(), view.right()));
    delta.setY(axis(target.top(), target.bottom(), view.top(), view.bottom()));
    d->setScroll(d->layout.scroll() + delta);
    d->setCurrentPage(pageIndex);
}

void PDFView::setObscuredMargins(std::function<QMargins()> margins)
{
    d->obscured = std::move(margins);
}

void PDFView::goToSelection(const pdf::Selection& selection)
{
    const QList<pdf::PagePtr> pages = selection.pages();
    if (pages.isEmpty())
        return;
    const int index = indexOfPage(pages.first());
    if (index < 0)
        return;
    const QRectF bounds = selection.bounds(pages.first());
    if (bounds.isNull())
        goToPage(index);
    else
        goToRect(index, bounds.adjusted(-8, -8, 8, 8));
}

bool PDFView::canGoBack() const
{
    return d->history.canGoBack();
}

bool PDFView::canGoForward() const
{
    return d->history.canGoForward();
}

void PDFView::goBack()
{
    ViewLocation target;
    if (d->history.goBack(d->location(), &target)) {
        d->showLocation(target);
        emit historyChanged();
    }
}

void PDFView::goForward()
{
    ViewLocation target;
    if (d->history.goForward(d->location(), &target)) {
        d->showLocation(target);
        emit historyChanged();
    }
}

// --- Scrolling --------------------------------------------------------------------------------------

QRectF PDFView::visibleRect() const
{
    return QRectF(d->layout.scroll(), QSizeF(viewport()->size()));
}

QPointF PDFView::scrollOrigin() const
{
    return d->layout.scroll();
}

void PDFView::scrollToY(double y, bool animated)
{
    if (d->scrollAnimation)
        d->scrollAnimation->stop();
    const double target = std::clamp(y, 0.0, d->layout.maxScroll().y());
    if (!animated || d->reduceMotion() || !isVisible()) {
        d->setScroll(QPointF(d->layout.scroll().x(), target));
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(d->layout.scroll().y());
    animation->setEndValue(target);
    animation->setDuration(250);
    animation->setEasingCurve(QEasingCurve::InOutCubic);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { d->setScroll(QPointF(d->layout.scroll().x(), v.toDouble())); });
    d->scrollAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QPointF PDFView::viewportCentreInPage(int* pageIndex) const
{
    const QPointF centre = QRectF(viewport()->rect()).center();
    const int page = d->layout.pageAt(centre, true);
    if (pageIndex)
        *pageIndex = page;
    return page >= 0 ? d->layout.viewToPage(page, centre) : QPointF();
}

bool PDFView::autoscroll(QPointF viewPoint)
{
    // Proportional to how far outside the pointer is, so that the user controls the speed.
    const QRectF view = QRectF(viewport()->rect());
    auto speed = [](double p, double lo, double hi) {
        if (p < lo)
            return std::max(-60.0, (p - lo) / 2 - 2);
        if (p > hi)
            return std::min(60.0, (p - hi) / 2 + 2);
        return 0.0;
    };
    const QPointF delta(speed(viewPoint.x(), view.left(), view.right()),
                        speed(viewPoint.y(), view.top(), view.bottom()));
    if (delta.isNull())
        return false;
    const QPointF before = d->layout.scroll();
    d->setScroll(before + delta);
    return d->layout.scroll() != before;
}

// --- Coordinates ------------------------------------------------------------------------------------

int PDFView::pageIndexAt(QPointF viewPoint, bool nearest) const
{
    return d->layout.pageAt(viewPoint, nearest);
}

std::shared_ptr<pdf::Page> PDFView::pageAt(QPointF viewPoint, bool nearest) const
{
    const int index = pageIndexAt(viewPoint, nearest);
    return index >= 0 ? d->pages[size_t(index)] : nullptr;
}

int PDFView::indexOfPage(const std::shared_ptr<pdf::Page>& page) const
{
    if (!page)
        return -1;
    // The layout's own list answers for the pages shown, even while the document is being changed.
    const auto it = std::find(d->pages.begin(), d->pages.end(), page);
    return it == d->pages.end() ? -1 : int(it - d->pages.begin());
}

QPointF PDFView::convertPointToPage(QPointF viewPoint, int pageIndex) const
{
    return d->layout.viewToPage(pageIndex, viewPoint);
}

QPointF PDFView::convertPointFromPage(QPointF pagePoint, int pageIndex) const
{
    return d->layout.pageToView(pageIndex, pagePoint);
}

QRectF PDFView::convertRectToPage(const QRectF& viewRect, int pageIndex) const
{
    return d->layout.viewRectToPage(pageIndex, viewRect);
}

QRectF PDFView::convertRectFromPage(const QRectF& pageRect, int pageIndex) const
{
    return d->layout.pageRectToView(pageIndex, pageRect);
}

QRectF PDFView::pageRectInView(int pageIndex) const
{
    return d->layout.pageRectInView(pageIndex);
}

const PageLayout& PDFView::layout() const
{
    return d->layout;
}

// --- Hit-testing ------------------------------------------------------------------------------------

std::shared_ptr<pdf::Annotation> PDFView::annotationAt(QPointF viewPoint) const
{
    const int index = pageIndexAt(viewPoint, false);
    if (index < 0 || !d->pages[size_t(index)])
        return nullptr;
    const QPointF point = d->layout.viewToPage(index, viewPoint);
    return d->hits.annotationAt(index, d->generations[size_t(index)], d->pages[size_t(index)], point);
}

std::vector<std::shared_ptr<pdf::Annotation>> PDFView::annotationsNear(const std::shared_ptr<pdf::Page>& page,
                                                                       QPointF pagePoint, double tolerance) const
{
    if (!page)
        return {};
    const auto it = std::find(d->pages.begin(), d->pages.end(), page);
    if (it == d->pages.end())
        return page->annotations();
    const int index = int(it - d->pages.begin());
    return d->hits.at(index, d->generations[size_t(index)], page, pagePoint, tolerance);
}

int PDFView::characterIndexAt(QPointF viewPoint) const
{
    const int index = pageIndexAt(viewPoint, false);
    if (index < 0 || !d->textReady(index))
        return -1;
    return d->pages[size_t(index)]->characterIndexAt(d->layout.viewToPage(index, viewPoint));
}

void PDFView::refreshCursor()
{
    const QPoint position = viewport()->mapFromGlobal(QCursor::pos());
    viewport()->setCursor(cursorShapeAt(position));
}

Qt::CursorShape PDFView::cursorShapeAt(QPointF viewPoint) const
{
    if (d->linkAt(viewPoint, true))
        return Qt::PointingHandCursor;
    if (characterIndexAt(viewPoint) >= 0)
        return Qt::IBeamCursor;
    return Qt::ArrowCursor;
}

} // namespace vmk::pdfview
