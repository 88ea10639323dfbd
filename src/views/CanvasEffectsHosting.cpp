// The page canvas as the host of its effects: where a mark is on screen, and leaving a mark out of the
// page's drawing while its effect stands in for it.

#include "views/PDFCanvasView.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"

#include <QTimer>

namespace vmk::views {

QRectF PDFCanvasView::effectViewRect(const pdf::AnnotationPtr& annotation, const pdf::PagePtr& page) const
{
    const pdf::DocumentPtr doc = PDFView::document();
    const int index = doc && page && annotation ? doc->indexOf(page) : -1;
    if (index < 0)
        return QRectF();
    return convertRectFromPage(annotation->bounds(), index);
}

void PDFCanvasView::setEffectHidden(const pdf::AnnotationPtr& annotation, bool hidden)
{
    // A text box being typed into stays out of the drawing whatever its effect does.
    if (!hidden && m_textSession && m_textSession->annotation == annotation)
        return;
    setAnnotationExcluded(annotation, hidden);
}

void PDFCanvasView::afterRendering(std::function<void()> done)
{
    if (!done)
        return;
    if (!isVisible() || isFullyRendered()) {
        done();
        return;
    }
    m_renderWaiters.push_back(std::move(done));
    // Whatever happens to the tiles, nothing stands in for long.
    QTimer::singleShot(1500, this, [this] { runRenderWaiters(); });
}

void PDFCanvasView::runRenderWaiters()
{
    std::vector<std::function<void()>> waiters = std::move(m_renderWaiters);
    m_renderWaiters.clear();
    for (auto& done : waiters)
        done();
}

} // namespace vmk::views
