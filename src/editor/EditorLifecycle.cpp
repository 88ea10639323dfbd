#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/TextReader.h"
#include "platform/services/Logger.h"

namespace vmk {

namespace {

// A document whose first pages are pictures without text is taken for a scan.
constexpr int kPagesLookedAtForScan = 2;

// An image among the resources, directly or inside a form (the layer expands forms two levels deep).
bool containsImage(const QList<pdf::XObjectNode>& nodes)
{
    for (const pdf::XObjectNode& node : nodes) {
        if (node.subtype == QLatin1String("Image"))
            return true;
        if (node.subtype == QLatin1String("Form") && containsImage(node.children))
            return true;
    }
    return false;
}

bool looksScanned(const pdf::PagePtr& page)
{
    // A page whose text could not be read on a worker is never read here: that would hold up the window.
    if (!page || !page->hasLoadedText() || !page->text().trimmed().isEmpty())
        return false;
    return containsImage(page->xObjects());
}

} // namespace

void Editor::attachDocument(bool restorePosition)
{
    setSelectedAnnotation(nullptr);
    // A check for text belongs to the document it was started on; its workers need not go on reading it.
    if (m_textCheck)
        m_textCheck->cancel();
    const pdf::DocumentPtr pdf = pdfDocument();
    setIsLockedValue(pdf->isLocked());
    setPageCountValue(pdf->pageCountForShowing());
    if (m_isLocked)
        m_canvas->setDocument(nullptr);
    else
        showDocument(restorePosition);
}

void Editor::showDocument(bool restorePosition)
{
    platform::SignpostInterval signpost(QStringLiteral("Show Document"));
    m_canvas->setDocument(pdfDocument());
    setPageCountValue(pdfDocument()->pageCountForShowing());
    notePageChange();
    QPointer<Editor> self(this);
    if (restorePosition && m_canvas->isInWindow()) {
        m_scheduler->schedule(0, [self] {
            if (self)
                self->restoreReadingPosition();
        });
    }
    setOutline(std::nullopt);
    m_outlineLoaded = false;
    m_scheduler->schedule(0.6, [self] {
        if (self)
            self->detectScan();
    });
}

bool Editor::unlock(const QString& password, bool* cancelled)
{
    const pdf::DocumentPtr pdf = pdfDocument();
    if (!pdf->unlock(password, cancelled))
        return false;
    platform::wipe(m_unlockedPassword);
    m_unlockedPassword = platform::ownedCopy(password);
    if (m_document)
        m_document->setUnlockPassword(password);
    setIsLockedValue(false);
    showDocument(true);
    return true;
}

void Editor::detectScan()
{
    if (m_isLocked || m_mode != EditorMode::read)
        return;
    const int count = std::min(pdfDocument()->pageCount(), kPagesLookedAtForScan);
    if (count == 0) {
        setShowScanSuggestion(false);
        return;
    }
    // Reading a page's text interprets the page, which a hostile or huge page can make last minutes: it is
    // read on a worker, and the pages keep it for the decision.
    if (!m_scanCheck) {
        m_scanCheck = new pdf::TextReader(this);
        connect(m_scanCheck, &pdf::TextReader::finished, this, [this] {
            if (m_isLocked || m_mode != EditorMode::read)
                return;
            const pdf::DocumentPtr pdf = pdfDocument();
            const int looked = std::min(pdf->pageCount(), kPagesLookedAtForScan);
            bool result = looked > 0;
            for (int i = 0; i < looked && result; ++i)
                result = looksScanned(pdf->page(i));
            setShowScanSuggestion(result);
        });
    }
    m_scanCheck->start(pdfDocument(), {}, count);
}

bool Editor::isCheckingForScan() const { return m_scanCheck && m_scanCheck->isRunning(); }

void Editor::documentDidReload()
{
    setPageCountValue(pdfDocument()->pageCount());
    bumpDocumentVersion();
    m_canvas->layoutDocumentView();
    IndexSet kept;
    for (int index : m_organizerSelection)
        if (index < m_pageCount)
            kept.insert(index);
    setOrganizerSelection(kept);
    notePageChange();
    if (m_windowHost)
        m_windowHost->updateSubtitle();
}

void Editor::commitPendingEdits()
{
    m_canvas->commitTextSession();
}

void Editor::documentDidSave(bool userInitiated)
{
    if (userInitiated)
        showToast(QStringLiteral("Saved."), QStringLiteral("checkmark.circle.fill"), Toast::Style::success);
}

void Editor::documentDidRevert()
{
    attachDocument(true);
    // Its pages are new: thumbnails and everything else drawn from the old ones are redone.
    if (!m_isLocked)
        documentDidReload();
}

void Editor::annotationsChanged(const pdf::PagePtr& page)
{
    if (page)
        m_canvas->annotationsChanged(page);
    bumpAnnotationVersion();
    m_canvas->setOverlayNeedsDisplay();
}

} // namespace vmk
