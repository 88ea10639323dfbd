#include "app/PlainCanvas.h"

#include "editor/Editor.h"
#include "platform/pdf/Document.h"
#include "platform/pdfview/PDFView.h"

namespace vmk::app {

PlainCanvas::PlainCanvas()
    : m_view(std::make_unique<pdfview::PDFView>())
{
    QObject::connect(m_view.get(), &pdfview::PDFView::currentPageChanged, m_view.get(), [this](int index) {
        if (document() && index >= 0)
            HeadlessCanvas::goToPage(document()->page(index));
    });
}

PlainCanvas::~PlainCanvas()
{
    // The window may still hold the view as a child; let Qt's parent delete it if so.
    if (m_view && m_view->parent())
        m_view.release()->deleteLater();
}

QWidget* PlainCanvas::canvasWidget()
{
    return m_view.get();
}

void PlainCanvas::setDocument(const pdf::DocumentPtr& document)
{
    HeadlessCanvas::setDocument(document);
    m_view->setDocument(document);
}

void PlainCanvas::swapDocument(const pdf::DocumentPtr& document)
{
    HeadlessCanvas::swapDocument(document);
    m_view->swapDocument(document);
}

bool PlainCanvas::isInWindow() const
{
    return m_view->window() != m_view.get() || m_view->isVisible();
}

void PlainCanvas::layoutDocumentView()
{
    m_view->layoutDocumentView();
    HeadlessCanvas::layoutDocumentView();
}

void PlainCanvas::annotationsChanged(const pdf::PagePtr& page)
{
    if (document() && page)
        m_view->annotationsChanged(document()->indexOf(page));
}

void PlainCanvas::goToPage(const pdf::PagePtr& page)
{
    if (!page || !document())
        return;
    const int index = document()->indexOf(page);
    if (index < 0)
        return;
    m_view->goToPage(index);
    HeadlessCanvas::goToPage(page);
}

void PlainCanvas::goToDestination(const pdf::Destination& destination)
{
    m_view->goToDestination(destination);
}

double PlainCanvas::scaleFactor() const { return m_view->scaleFactor(); }
void PlainCanvas::setScaleFactor(double scale, bool animated)
{
    if (animated)
        m_view->setScaleFactorAnimated(scale);
    else
        m_view->setScaleFactor(scale);
}
double PlainCanvas::minScaleFactor() const { return m_view->minScaleFactor(); }
double PlainCanvas::maxScaleFactor() const { return m_view->maxScaleFactor(); }
bool PlainCanvas::autoScales() const { return m_view->autoScales(); }
void PlainCanvas::setAutoScales(bool on) { m_view->setAutoScales(on); }
QSizeF PlainCanvas::boundsSize() const { return m_view->viewport()->size(); }

void PlainCanvas::setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex)
{
    HeadlessCanvas::setHighlightedSelections(selections, currentIndex);
    m_view->setHighlightedSelections(selections, currentIndex);
}

void PlainCanvas::goToSelection(const pdf::Selection& selection) { m_view->goToSelection(selection); }

void PlainCanvas::setCurrentSelection(const std::optional<pdf::Selection>& selection, bool)
{
    m_view->setCurrentSelection(selection);
}

std::optional<pdf::Selection> PlainCanvas::currentSelection() const { return m_view->currentSelection(); }
void PlainCanvas::clearSelection() { m_view->clearSelection(); }

} // namespace vmk::app
