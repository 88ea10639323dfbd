#include "editor/HeadlessCanvas.h"

#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <algorithm>

namespace vmk {

void HeadlessCanvas::toolDidChange()
{
    commitTextSession();
    if (m_editor && m_editor->tool() != Tool::crop)
        m_editor->setPendingCrop(std::nullopt);
    setOverlayNeedsDisplay();
}

void HeadlessCanvas::setDocument(const pdf::DocumentPtr& document)
{
    m_document = document;
    m_selection.reset();
    m_highlighted.clear();
    m_currentHighlight = -1;
    showPage(document ? document->page(0) : nullptr);
}

void HeadlessCanvas::swapDocument(const pdf::DocumentPtr& document)
{
    const int index = (m_document && m_currentPage) ? m_document->indexOf(m_currentPage) : 0;
    m_document = document;
    if (!document) {
        showPage(nullptr);
        return;
    }
    showPage(document->page(std::clamp(index, 0, std::max(0, document->pageCount() - 1))));
}

void HeadlessCanvas::layoutDocumentView()
{
    // A removed current page falls back to the nearest remaining one, as a laid-out view shows.
    if (!m_document)
        return;
    if (m_currentPage && m_document->indexOf(m_currentPage) >= 0)
        return;
    showPage(m_document->page(0));
}

std::optional<pdf::Destination> HeadlessCanvas::currentDestination() const
{
    if (!m_currentPage)
        return std::nullopt;
    const QRectF box = m_currentPage->cropBox();
    return pdf::Destination{m_currentPage, QPointF(box.left(), box.bottom() + box.height())};
}

void HeadlessCanvas::goToPage(const pdf::PagePtr& page)
{
    if (page && m_document && m_document->indexOf(page) >= 0)
        showPage(page);
}

void HeadlessCanvas::setScaleFactor(double scale, bool)
{
    m_scale = std::clamp(scale, minScaleFactor(), maxScaleFactor());
}

void HeadlessCanvas::setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex)
{
    m_highlighted = selections;
    m_currentHighlight = currentIndex;
}

void HeadlessCanvas::goToSelection(const pdf::Selection& selection)
{
    const QList<pdf::PagePtr> pages = selection.pages();
    if (!pages.isEmpty())
        goToPage(pages.first());
}

void HeadlessCanvas::setCurrentSelection(const std::optional<pdf::Selection>& selection, bool)
{
    m_selection = selection;
}

QPointF HeadlessCanvas::visibleCentreInPage(const pdf::PagePtr& page) const
{
    if (m_centre)
        return *m_centre;
    return page ? page->cropBox().center() : QPointF();
}

void HeadlessCanvas::showPage(const pdf::PagePtr& page)
{
    if (page == m_currentPage)
        return;
    m_currentPage = page;
    if (m_editor)
        m_editor->notePageChange();
}

} // namespace vmk
