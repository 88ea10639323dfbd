#include "editor/Editor.h"

#include "editor/ReadingPositions.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <algorithm>

namespace vmk {

namespace {
constexpr double kMinGridItemWidth = 90;
constexpr double kMaxGridItemWidth = 340;
constexpr double kReadingPositionDelay = 0.8;
} // namespace

void Editor::goToPage(int index)
{
    const pdf::DocumentPtr pdf = pdfDocument();
    const int count = pdf->pageCount();
    const pdf::PagePtr page = pdf->page(std::clamp(index, 0, std::max(0, count - 1)));
    if (!page)
        return;
    if (m_mode == EditorMode::pages)
        setOrganizerSelection({pdf->indexOf(page)});
    m_canvas->goToPage(page);
}

void Editor::jumpToPage(int index)
{
    if (m_mode == EditorMode::pages) {
        goToPage(index);
        return;
    }
    const pdf::DocumentPtr pdf = pdfDocument();
    const pdf::PagePtr page = pdf->page(std::clamp(index, 0, std::max(0, pdf->pageCount() - 1)));
    if (page)
        m_canvas->scrollToPageAnimated(page);
    else
        goToPage(index);
}

void Editor::zoomStep(double factor)
{
    if (m_mode == EditorMode::pages && m_pageGrid) {
        const double width = std::max(std::min(factor * m_pageGrid->itemWidth(), kMaxGridItemWidth), kMinGridItemWidth);
        m_pageGrid->setItemWidth(width);
        return;
    }
    m_canvas->setAutoScales(false);
    const double scale = std::max(std::min(factor * m_canvas->scaleFactor(), m_canvas->maxScaleFactor()),
                                  m_canvas->minScaleFactor());
    m_canvas->setScaleFactor(scale, true);
}

void Editor::zoomToFit()
{
    const pdf::PagePtr page = m_canvas->currentPage();
    if (!page)
        return;
    const QSizeF bounds = m_canvas->boundsSize();
    const QSizeF available(bounds.width() - 48, bounds.height() - 48);
    QSizeF pageSize = page->cropBox().size();
    const int rotation = ((page->rotation() % 360) + 360) % 360;
    if (rotation == 90 || rotation == 270)
        pageSize.transpose();
    if (pageSize.width() <= 0 || pageSize.height() <= 0)
        return;
    m_canvas->setAutoScales(false);
    m_canvas->setScaleFactor(std::min(available.width() / pageSize.width(), available.height() / pageSize.height()),
                             false);
    m_canvas->goToPage(page);
}

void Editor::notePageChange()
{
    // The canvas also calls this once a long document's page tree is walked, which may count otherwise.
    setPageCountValue(pdfDocument()->pageCountForShowing());
    const pdf::PagePtr page = m_canvas->currentPage();
    if (!page)
        return;
    const int index = pdfDocument()->indexOf(page);
    if (index < 0)
        return;
    setPageIndexValue(index);
    if (m_windowHost)
        m_windowHost->updateSubtitle();
    // The save holds only the index, the path and the store, so it still runs after the window closes.
    m_positionSave.cancel();
    const QString path = documentFilePath();
    platform::UserDefaults* defaults = m_defaults;
    m_positionSave = m_scheduler->schedule(kReadingPositionDelay, [defaults, path, index] {
        ReadingPositions::save(*defaults, path, index);
    });
}

void Editor::restoreReadingPosition()
{
    if (m_isLocked)
        return;
    const std::optional<int> saved = ReadingPositions::load(*m_defaults, documentFilePath());
    if (!saved)
        return;
    const pdf::DocumentPtr pdf = pdfDocument();
    if (*saved < 1 || *saved >= pdf->pageCount())
        return;
    m_canvas->goToPage(pdf->page(*saved));
    notePageChange();
}

} // namespace vmk
