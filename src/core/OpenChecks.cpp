#include "core/PDFOps.h"
#include "core/PdfMarker.h"

namespace vmk::core::PDFOps {

Expected<pdf::DocumentPtr, PDFOpenError> openChecked(const QByteArray& data, const QString& name)
{
    if (data.isEmpty())
        return PDFOpenError::empty(name);
    if (!hasPdfMarker(data))
        return PDFOpenError::notPDF(name);
    auto opened = pdf::Document::fromData(data);
    if (!opened || !opened.value())
        return PDFOpenError::damaged(name);
    pdf::DocumentPtr document = opened.value();
    // A locked document's pages can't be counted yet; it is unlocked later.
    if (!document->isLocked() && document->pageCount() == 0)
        return PDFOpenError::damaged(name);
    return document;
}

bool verifySavedFile(const QString& path, int pageCount, const std::optional<QString>& password)
{
    auto opened = pdf::Document::fromFile(path);
    if (!opened || !opened.value())
        return false;
    pdf::Document& document = *opened.value();
    if (document.isLocked()) {
        if (!password || !document.unlock(*password))
            return false;
    }
    return document.pageCount() == pageCount;
}

} // namespace vmk::core::PDFOps
