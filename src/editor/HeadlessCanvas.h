#pragma once

#include "editor/EditorCanvas.h"

namespace vmk {

// A canvas without a window: it keeps the document, the current page, the scale and the selection, and
// reports page changes to its Editor like the real canvas does. The Editor uses it when given no canvas;
// tests derive from it to watch what the Editor asks of the canvas.
class HeadlessCanvas : public EditorCanvas {
public:
    void setEditor(Editor* editor) override { m_editor = editor; }
    Editor* editor() const { return m_editor; }

    void commitTextSession() override {}
    void endBlockSession(bool) override {}
    void toolDidChange() override;
    void resetGesture() override {}
    void setOverlayNeedsDisplay() override {}
    void refreshCursor() override {}
    void playMarkupSweep(const QList<AnnotationItem>&, const QString&, const QColor&) override {}
    void playSignatureWrite(const pdf::AnnotationPtr&, const pdf::PagePtr&, const QImage&) override {}

    void setDocument(const pdf::DocumentPtr& document) override;
    void swapDocument(const pdf::DocumentPtr& document) override;
    pdf::DocumentPtr document() const override { return m_document; }
    bool isInWindow() const override { return m_inWindow; }
    void setInWindow(bool inWindow) { m_inWindow = inWindow; }
    void layoutDocumentView() override;
    void annotationsChanged(const pdf::PagePtr&) override {}

    pdf::PagePtr currentPage() const override { return m_currentPage; }
    std::optional<pdf::Destination> currentDestination() const override;
    void goToPage(const pdf::PagePtr& page) override;
    void scrollToPageAnimated(const pdf::PagePtr& page) override { goToPage(page); }
    void goToDestination(const pdf::Destination& destination) override { goToPage(destination.page); }

    double scaleFactor() const override { return m_scale; }
    void setScaleFactor(double scale, bool animated) override;
    double minScaleFactor() const override { return 0.1; }
    double maxScaleFactor() const override { return 16.0; }
    bool autoScales() const override { return m_autoScales; }
    void setAutoScales(bool on) override { m_autoScales = on; }
    QSizeF boundsSize() const override { return m_size; }
    void setBoundsSize(QSizeF size) { m_size = size; }

    void setHighlightedSelections(const QList<pdf::Selection>& selections, int currentIndex) override;
    void goToSelection(const pdf::Selection& selection) override;
    void setCurrentSelection(const std::optional<pdf::Selection>& selection, bool animated) override;
    std::optional<pdf::Selection> currentSelection() const override { return m_selection; }
    void clearSelection() override { m_selection.reset(); }

    QPointF visibleCentreInPage(const pdf::PagePtr& page) const override;
    // Where visibleCentreInPage answers; by default the middle of the page's crop box.
    void setVisibleCentre(std::optional<QPointF> centre) { m_centre = centre; }

    QList<pdf::Selection> highlightedSelections() const { return m_highlighted; }
    // The highlighted selection drawn as current; -1 for none.
    int currentHighlightIndex() const { return m_currentHighlight; }

protected:
    // Moves to the page and tells the Editor when it changed.
    void showPage(const pdf::PagePtr& page);

private:
    Editor* m_editor = nullptr;
    pdf::DocumentPtr m_document;
    pdf::PagePtr m_currentPage;
    bool m_inWindow = false;
    double m_scale = 1.0;
    bool m_autoScales = true;
    QSizeF m_size{800, 600};
    std::optional<pdf::Selection> m_selection;
    QList<pdf::Selection> m_highlighted;
    int m_currentHighlight = -1;
    std::optional<QPointF> m_centre;
};

} // namespace vmk
