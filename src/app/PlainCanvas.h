#pragma once

#include "editor/HeadlessCanvas.h"

#include <memory>

namespace vmk::pdfview {
class PDFView;
}

namespace vmk::app {

// The editor's canvas until the annotating page canvas is hosted: our plain PDF view, driven through
// the editor's canvas interface, so that pages show, scroll, zoom and report their page changes.
class PlainCanvas : public HeadlessCanvas {
public:
    PlainCanvas();
    ~PlainCanvas() override;

    QWidget* canvasWidget() override;
    pdfview::PDFView* view() const { return m_view.get(); }

    void setDocument(const pdf::DocumentPtr& document) override;
    void swapDocument(const pdf::DocumentPtr& document) override;
    bool isInWindow() const override;
    void layoutDocumentView() override;
    void annotationsChanged(const pdf::PagePtr& page) override;
    void goToPage(const pdf::PagePtr& page) override;
    void scrollToPageAnimated(const pdf::PagePtr& page) override { goToPage(page); }
    void goToDestination(const pdf::Destination& destination) override;
    double scaleFactor() const override;
    void setScaleFactor(double scale, bool animated) override;
    double minScaleFactor() const override;
    double maxScaleFactor() const override;
    bool autoScales() const override;
    void setAutoScales(bool on) override;
    QSizeF boundsSize() const override;
    void setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex) override;
    void goToSelection(const pdf::Selection& selection) override;
    void setCurrentSelection(const std::optional<pdf::Selection>& selection, bool animated) override;
    std::optional<pdf::Selection> currentSelection() const override;
    void clearSelection() override;

private:
    std::unique_ptr<pdfview::PDFView> m_view;
};

} // namespace vmk::app
