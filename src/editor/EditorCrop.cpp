#include "editor/Editor.h"

#include "editor/PageSetHelpers.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

namespace vmk {

void Editor::applyCrop(bool allPages)
{
    if (!m_pendingCrop)
        return;
    const pdf::DocumentPtr pdf = pdfDocument();
    IndexSet indexes;
    if (allPages) {
        for (int i = 0; i < pdf->pageCount(); ++i)
            indexes.insert(i);
    } else if (const int index = pdf->indexOf(m_pendingCrop->page); index >= 0) {
        indexes.insert(index);
    }
    QList<pdf::PagePtr> pages;
    QList<QRectF> boxes;
    for (int index : indexes) {
        if (pdf::PagePtr page = pdf->page(index)) {
            pages.append(page);
            boxes.append(page->cropBox());
        }
    }
    core::PDFOps::crop(*pdf, toQSet(indexes), m_pendingCrop->rect);
    // A crop that changed no page leaves nothing to undo and nothing to announce.
    bool changed = false;
    for (int i = 0; i < pages.size(); ++i)
        changed = changed || pages[i]->cropBox() != boxes[i];
    setPendingCrop(std::nullopt);
    setTool(Tool::select);
    if (!changed)
        return;
    registerCropUndo(pages, boxes);
    documentDidReload();
    if (allPages)
        showToast(QStringLiteral("Cropped all %1 pages.").arg(pages.size()), QStringLiteral("crop"), Toast::Style::info);
    else
        showToast(QStringLiteral("Cropped. Undo if you went too far."), QStringLiteral("crop"), Toast::Style::info);
}

void Editor::registerCropUndo(const QList<pdf::PagePtr>& pages, const QList<QRectF>& boxes)
{
    registerUndo(QStringLiteral("Crop"), [this, pages, boxes] { restoreCropBoxes(pages, boxes); });
}

void Editor::restoreCropBoxes(const QList<pdf::PagePtr>& pages, const QList<QRectF>& boxes)
{
    QList<QRectF> current;
    for (const pdf::PagePtr& page : pages)
        current.append(page->cropBox());
    for (int i = 0; i < std::min(pages.size(), boxes.size()); ++i)
        pages[i]->setCropBox(boxes[i]);
    registerCropUndo(pages, current);
    documentDidReload();
}

} // namespace vmk
