#include "core/Flatten.h"

#include "platform/pdf/document/Page.h"

namespace vmk::core::PDFOps {

pdf::DocumentPtr flatten(const pdf::Document& document)
{
    if (document.isLocked())
        return nullptr;
    pdf::DocumentPtr flattened = pdf::Document::createEmpty();
    for (const pdf::PagePtr& page : document.pages()) {
        if (!page)
            continue;
        pdf::Result<QByteArray> onePage = page->flattenedPdf();
        if (!onePage)
            return nullptr;
        pdf::Result<pdf::DocumentPtr> drawn = pdf::Document::fromData(onePage.value());
        if (!drawn || !drawn.value() || drawn.value()->pageCount() != 1)
            return nullptr;
        pdf::PagePtr flat = drawn.value()->removePage(0);
        if (!flat || !flattened->insertPage(flat, flattened->pageCount()))
            return nullptr;
    }
    flattened->setAttributes(document.attributes());
    return flattened;
}

} // namespace vmk::core::PDFOps
