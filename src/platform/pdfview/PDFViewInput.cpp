#include "platform/pdfview/PDFViewPrivate.h"

#include "platform/pdf/document/Document.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vmk::pdfview {

// --- Selection --------------------------------------------------------------------------------------

std::optional<pdf::Selection> PDFView::currentSelection() const
{
    return d->selection;
}

void PDFView::setCurrentSelection(const std::optional<pdf::Selection>& selection)
{
    std::optional<pdf::Selection> next = selection;
    if (next && next->isEmpty())
        next.reset();
    if (next == d->selection)
        return;
    d->selection = std::move(next);
    viewport()->update();
    emit selectionChanged();
}

void PDFView::clearSelection()
{
    setCurrentSelection(std::nullopt);
}

void PDFView::setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex)
{
    d->highlights = selections;
    d->currentHighlight = currentIndex;
    viewport()->update();
}

void PDFView::clearHighlightedSelections()
{
    setHighlightedSelections({}, -1);
}

// The page point where a page's text starts and ends as read: its displayed top left and bottom right.
static QPointF displayedCorner(const PageLayout& layout, int page, bool start)
{
    const QRectF r = layout.pageRectInDocument(page);
    return layout.pageToDocumentTransform(page).inverted().map(start ? r.topLeft() : r.bottomRight());
}

bool PDFView::Private::textReady(int page) const
{
    if (page < 0 || page >= int(pages.size()) || !pages[size_t(page)])
        return false;
    return texts.ready(page, generations[size_t(page)], pages[size_t(page)]);
}

void PDFView::Private::onPageTextRead(int page)
{
    if (pendingDrag.page >= 0)
        selectTo(std::exchange(pendingDrag, PendingDrag{}));
    if (pendingClick.page == page) {
        const PendingClick click = std::exchange(pendingClick, PendingClick{});
        if (click.line)
            selectLineAt(click.page, click.pagePoint);
        else
            selectWordAt(click.page, click.pagePoint);
    }
    if (q->viewport()->rect().contains(q->viewport()->mapFromGlobal(QCursor::pos())))
        q->refreshCursor();
}

void PDFView::Private::updateDragSelection(QPointF viewPoint)
{
    if (pressPage < 0 || pressPage >= int(pages.size()))
        return;
    const int page = layout.pageAt(viewPoint, true);
    if (page < 0)
        return;
    selectTo(PendingDrag{page, layout.viewToPage(page, viewPoint)});
}

void PDFView::Private::selectTo(const PendingDrag& to)
{
    if (pressPage < 0 || pressPage >= int(pages.size()) || to.page >= int(pages.size()))
        return;
    const int page = to.page;
    const QPointF point = to.pagePoint;
    // Pages whose text is still being read add nothing yet; the selection is made again when they are,
    // even if the drag has ended meanwhile.
    pdf::Selection selection;
    auto add = [&](int i, auto&& part) {
        if (textReady(i))
            selection.add(part(*pages[size_t(i)]));
        else
            pendingDrag = to;
    };
    pendingDrag = {};
    if (page == pressPage) {
        add(page, [&](const pdf::Page& p) { return p.selection(pressPagePoint, point); });
    } else {
        // Across pages: from the press to the end of its page, whole pages between, then the start
        // of the last page to the pointer.
        const bool forward = page > pressPage;
        const int first = forward ? pressPage : page;
        const int last = forward ? page : pressPage;
        const QPointF firstPoint = forward ? pressPagePoint : point;
        const QPointF lastPoint = forward ? point : pressPagePoint;
        add(first, [&](const pdf::Page& p) { return p.selection(firstPoint, displayedCorner(layout, first, false)); });
        for (int i = first + 1; i < last; ++i)
            add(i, [](const pdf::Page& p) { return p.selection(0, p.textLayout().size()); });
        add(last, [&](const pdf::Page& p) { return p.selection(displayedCorner(layout, last, true), lastPoint); });
    }
    q->setCurrentSelection(selection);
}

void PDFView::Private::selectWordAt(int page, QPointF pagePoint)
{
    if (!textReady(page)) {
        pendingClick = PendingClick{page, pagePoint, false};
        return;
    }
    const pdf::PagePtr& handle = pages[size_t(page)];
    const int index = handle->characterIndexAt(pagePoint);
    if (index < 0)
        return;
    const pdf::TextLayout& characters = handle->textLayout();
    auto isWord = [&](int i) {
        const QStringView t = characters.characterText(i);
        return !t.isEmpty() && (t.at(0).isLetterOrNumber() || t.at(0) == QLatin1Char('_') || t.at(0).isMark()
                                || t.at(0).isSurrogate());
    };
    int start = index, end = index + 1;
    if (isWord(index)) {
        while (start > 0 && isWord(start - 1) && characters.line(start - 1) == characters.line(index))
            --start;
        while (end < characters.size() && isWord(end) && characters.line(end) == characters.line(index))
            ++end;
    }
    q->setCurrentSelection(handle->selection(start, end - start));
}

void PDFView::Private::selectLineAt(int page, QPointF pagePoint)
{
    if (!textReady(page)) {
        pendingClick = PendingClick{page, pagePoint, true};
        return;
    }
    q->setCurrentSelection(pages[size_t(page)]->lineSelection(pagePoint));
}

// --- Links ------------------------------------------------------------------------------------------

pdf::AnnotationPtr PDFView::Private::linkAt(QPointF viewPoint, bool hovering) const
{
    if (!q->followsLinks())
        return nullptr;
    const int page = layout.pageAt(viewPoint, false);
    if (page < 0 || !pages[size_t(page)])
        return nullptr;
    if (hovering && !hitsReadyAt(viewPoint))
        return nullptr;
    const QPointF point = layout.viewToPage(page, viewPoint);
    return hits.linkAt(page, generations[size_t(page)], pages[size_t(page)], point);
}

bool PDFView::Private::putOffWhileWriting() const
{
    if (!pdf::Document::isWritingUnderWay())
        return false;
    if (!hitsAfterWriting) {
        hitsAfterWriting = true;
        pdf::Document::afterWriting(q, [this] {
            hitsAfterWriting = false;
            const_cast<QTimer&>(hitsAhead).start();
        });
    }
    return true;
}

bool PDFView::Private::hitsReadyAt(QPointF viewPoint) const
{
    // An ordinary page is read at once, within the part a turn may take; only a crowded one waits.
    const int page = layout.pageAt(viewPoint, false);
    if (page >= 0 && pages[size_t(page)] && putOffWhileWriting()) {
        hoverPending = true;
        hoverPoint = viewPoint;
        return false;
    }
    if (page < 0 || !pages[size_t(page)] || hits.advance(page, generations[size_t(page)], pages[size_t(page)], 2))
        return true;
    hoverPending = true;
    hoverPoint = viewPoint;
    const_cast<QTimer&>(hitsAhead).start();
    return false;
}

void PDFView::Private::indexHitsAhead()
{
    // A small part of a frame's time per turn of the event loop; the page under the pointer first, then the
    // others on screen from the top, no more than the index keeps.
    constexpr double kBudgetMs = 2;
    if (putOffWhileWriting())
        return;
    std::vector<int> order = layout.pagesIn(QRectF(q->viewport()->rect()));
    if (hoverPending) {
        const int hovered = layout.pageAt(hoverPoint, false);
        order.erase(std::remove(order.begin(), order.end(), hovered), order.end());
        if (hovered >= 0)
            order.insert(order.begin(), hovered);
    }
    if (order.size() > AnnotationHitIndex::kPagesKept)
        order.resize(AnnotationHitIndex::kPagesKept);
    QElapsedTimer clock;
    clock.start();
    bool more = false;
    for (int page : order) {
        if (page < 0 || page >= int(pages.size()) || !pages[size_t(page)])
            continue;
        const double left = kBudgetMs - double(clock.nsecsElapsed()) / 1e6;
        if (left <= 0 || !hits.advance(page, generations[size_t(page)], pages[size_t(page)], left))
            more = true;
    }
    if (more) {
        hitsAhead.start();
        return;
    }
    if (hoverPending) {
        hoverPending = false;
        if (press == Press::None && q->viewport()->rect().contains(hoverPoint.toPoint())) {
            q->viewport()->setCursor(q->cursorShapeAt(hoverPoint));
            updateHoverLink(hoverPoint);
        }
    }
}

void PDFView::Private::activateLink(const pdf::AnnotationPtr& link)
{
    if (const std::optional<pdf::Destination> destination = link->linkDestination(); destination && destination->page) {
        q->goToDestination(*destination);
        return;
    }
    const QString uri = link->linkURI();
    if (uri.isEmpty()) {
        if (const QString file = link->linkLaunchFile(); !file.isEmpty())
            emit q->externalLinkActivated(QUrl::fromLocalFile(file));
        return;
    }
    // Only well-formed absolute addresses leave the application; anything else is ignored.
    const QUrl url(uri, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty())
        emit q->externalLinkActivated(url);
}

QString PDFView::Private::linkTarget(const pdf::AnnotationPtr& link) const
{
    if (!link)
        return {};
    if (const std::optional<pdf::Destination> destination = link->linkDestination(); destination && destination->page) {
        const int index = q->indexOfPage(destination->page);
        return index >= 0 ? QStringLiteral("Page %1").arg(index + 1) : QString();
    }
    if (const QString uri = link->linkURI(); !uri.isEmpty())
        return uri;
    return link->linkLaunchFile();
}

void PDFView::Private::updateHoverLink(QPointF viewPoint)
{
    pdf::AnnotationPtr link = linkAt(viewPoint, true);
    if (link == hoverLink)
        return;
    hoverLink = std::move(link);
    emit q->linkHovered(linkTarget(hoverLink));
}

// --- Mouse ------------------------------------------------------------------------------------------

void PDFView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPointF point = event->position();
    const QPointF previousPress = d->pressPoint;
    d->press = Private::Press::None;
    d->pressPoint = point;
    d->lastDragPoint = point;
    d->pendingClick = {};
    d->pendingDrag = {};
    const int page = pageIndexAt(point, false);
    if (page < 0 || !d->pages[size_t(page)]) {
        clearSelection();
        event->accept();
        return;
    }
    if (pdf::AnnotationPtr link = d->linkAt(point)) {
        d->press = Private::Press::Link;
        d->pressLink = link;
        event->accept();
        return;
    }
    if (pdf::AnnotationPtr annotation = annotationAt(point); annotation && annotation->isWidget()) {
        d->press = Private::Press::Ignored;
        emit formWidgetActivated(page);
        d->fields->press(annotation, page);
        event->accept();
        return;
    }
    d->press = Private::Press::Select;
    if (event->modifiers() & Qt::ShiftModifier && d->selection && d->pressPage >= 0) {
        d->updateDragSelection(point); // extends the selection from its anchor
    } else if (d->clickCount == 2 && previousPress == point) {
        d->selectLineAt(page, d->layout.viewToPage(page, point)); // a third click selects the line
        d->press = Private::Press::Ignored;
    } else {
        d->pressPage = page;
        d->pressPagePoint = d->layout.viewToPage(page, point);
        clearSelection();
    }
    d->clickCount = 1;
    event->accept();
}

void PDFView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const QPointF point = event->position();
    const int page = pageIndexAt(point, false);
    d->pressPoint = point;
    d->clickCount = 2;
    if (page >= 0 && d->pages[size_t(page)] && !d->linkAt(point)) {
        d->selectWordAt(page, d->layout.viewToPage(page, point));
        d->press = Private::Press::Ignored;
    }
    event->accept();
}

void PDFView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF point = event->position();
    if (event->buttons() & Qt::LeftButton) {
        d->lastDragPoint = point;
        if (d->press == Private::Press::Select) {
            d->updateDragSelection(point);
            const bool outside = !QRectF(viewport()->rect()).contains(point);
            if (outside && !d->autoscrollTimer.isActive())
                d->autoscrollTimer.start();
            else if (!outside)
                d->autoscrollTimer.stop();
        }
        event->accept();
        return;
    }
    // What is under the pointer is read from the document: while one is being written, that is looked at
    // once the writing is over (the hover goes on from where the pointer is then).
    if (d->putOffWhileWriting()) {
        d->hoverPending = true;
        d->hoverPoint = point;
        event->accept();
        return;
    }
    viewport()->setCursor(cursorShapeAt(point));
    d->updateHoverLink(point);
    event->accept();
}

void PDFView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    d->autoscrollTimer.stop();
    const QPointF point = event->position();
    const double slop = QApplication::styleHints()->startDragDistance();
    if (d->press == Private::Press::Link && QLineF(point, d->pressPoint).length() <= slop) {
        if (pdf::AnnotationPtr link = d->linkAt(point); link == d->pressLink)
            d->activateLink(link);
    }
    d->press = Private::Press::None;
    d->pressLink.reset();
    if (d->clickCount != 2)
        d->clickCount = 0;
    event->accept();
}

// --- Keys and wheel ---------------------------------------------------------------------------------

void PDFView::keyPressEvent(QKeyEvent* event)
{
    const bool continuous = isContinuous(displayMode());
    const QPointF scroll = d->layout.scroll();
    const QPointF max = d->layout.maxScroll();
    const double line = 40;
    const double page = std::max(line, viewport()->height() - line);
    auto scrollBy = [&](double dx, double dy) { d->setScroll(scroll + QPointF(dx, dy)); };
    // In the one-page modes, scrolling past an edge turns the page.
    auto down = [&](double by) {
        if (!continuous && scroll.y() >= max.y() - 0.5 && canGoToNextPage())
            goToNextPage();
        else
            scrollBy(0, by);
    };
    auto up = [&](double by) {
        if (!continuous && scroll.y() <= 0.5 && canGoToPreviousPage()) {
            goToPreviousPage();
            d->setScroll(QPointF(d->layout.scroll().x(), d->layout.maxScroll().y()));
        } else {
            scrollBy(0, -by);
        }
    };

    if (event->matches(QKeySequence::ZoomIn)) {
        zoomIn();
    } else if (event->matches(QKeySequence::ZoomOut)) {
        zoomOut();
    } else {
        switch (event->key()) {
        case Qt::Key_Down:
            down(line);
            break;
        case Qt::Key_Up:
            up(line);
            break;
        case Qt::Key_PageDown:
            down(page);
            break;
        case Qt::Key_PageUp:
            up(page);
            break;
        case Qt::Key_Space:
            if (event->modifiers() & Qt::ShiftModifier)
                up(page);
            else
                down(page);
            break;
        case Qt::Key_Home:
            goToFirstPage();
            break;
        case Qt::Key_End:
            goToLastPage();
            break;
        case Qt::Key_Left:
            if (max.x() > 0.5)
                scrollBy(-line, 0);
            else
                goToPreviousPage();
            break;
        case Qt::Key_Right:
            if (max.x() > 0.5)
                scrollBy(line, 0);
            else
                goToNextPage();
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
    }
    event->accept();
}

void PDFView::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        d->autoScales = false;
        d->setScale(scaleFactor() * std::pow(1.1, delta.y() / 120.0), event->position());
        event->accept();
        return;
    }
    if (!isContinuous(displayMode()) && delta.y() != 0) {
        const bool atBottom = d->layout.scroll().y() >= d->layout.maxScroll().y() - 0.5;
        const bool atTop = d->layout.scroll().y() <= 0.5;
        if (delta.y() < 0 && atBottom && canGoToNextPage()) {
            goToNextPage();
            event->accept();
            return;
        }
        if (delta.y() > 0 && atTop && canGoToPreviousPage()) {
            goToPreviousPage();
            d->setScroll(QPointF(d->layout.scroll().x(), d->layout.maxScroll().y()));
            event->accept();
            return;
        }
    }
    QAbstractScrollArea::wheelEvent(event);
}

bool PDFView::viewportEvent(QEvent* event)
{
    // What the user does acts on the pages as they are.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        d->settlePages();
        break;
    default:
        break;
    }
    if (event->type() == QEvent::Leave)
        viewport()->unsetCursor();
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace vmk::pdfview
