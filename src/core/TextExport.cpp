#include "core/TextExport.h"

#include "platform/pdf/document/Page.h"

#include <QStringList>

namespace vmk::core::PDFOps {

QString plainText(const pdf::Document& document)
{
    QStringList texts;
    const int count = document.pageCount();
    for (int i = 0; i < count; ++i) {
        const pdf::PagePtr page = document.page(i);
        texts.append(page ? page->text() : QString());
    }
    return texts.join(kPageSeparator);
}

} // namespace vmk::core::PDFOps
