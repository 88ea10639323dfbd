#include "core/PDFOps.h"

#include <QFileInfo>

#include <algorithm>

namespace vmk::core::PDFOps {

std::vector<pdf::PagePtr> pages(const pdf::Document& document)
{
    std::vector<pdf::PagePtr> result;
    const int count = document.pageCount();
    result.reserve(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        if (pdf::PagePtr page = document.page(i))
            result.push_back(std::move(page));
    }
    return result;
}

pdf::DocumentPtr merge(const std::vector<pdf::DocumentPtr>& documents)
{
    pdf::DocumentPtr merged = pdf::Document::createEmpty();
    for (const pdf::DocumentPtr& source : documents) {
        if (!source)
            continue;
        int index = merged->pageCount();
        for (const pdf::PagePtr& page : pages(*source)) {
            // Copies keep the sources unchanged; a page that cannot be copied is skipped.
            pdf::PagePtr copy = page->copy();
            if (copy && merged->insertPage(copy, index))
                ++index;
        }
    }
    return merged;
}

Expected<pdf::DocumentPtr, PDFOpsError> combine(const QStringList& paths)
{
    std::vector<pdf::DocumentPtr> opened;
    opened.reserve(size_t(paths.size()));
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        auto document = pdf::Document::fromFile(path);
        if (!document || !document.value())
            return PDFOpsError::unreadable(name);
        if (document.value()->isLocked())
            return PDFOpsError::locked(name);
        opened.push_back(document.value());
    }
    return merge(opened);
}

pdf::DocumentPtr extractPages(const QSet<int>& indices, const pdf::Document& document)
{
    QList<int> sorted(indices.begin(), indices.end());
    std::sort(sorted.begin(), sorted.end());
    pdf::DocumentPtr extracted = pdf::Document::createEmpty();
    for (int index : sorted) {
        pdf::PagePtr page = document.page(index);
        if (!page)
            continue;
        if (pdf::PagePtr copy = page->copy())
            extracted->insertPage(copy, extracted->pageCount());
    }
    return extracted;
}

void reorder(pdf::Document& document, const std::vector<pdf::PagePtr>& order)
{
    const int count = document.pageCount();
    for (int i = 0; i < int(order.size()) && i < count; ++i) {
        const int j = document.indexOf(order[size_t(i)]);
        if (j >= 0 && j != i)
            document.exchangePages(j, i);
    }
}

QMap<int, QRectF> crop(pdf::Document& document, const QSet<int>& indices, const QRectF& rect)
{
    QList<int> sorted(indices.begin(), indices.end());
    std::sort(sorted.begin(), sorted.end());
    QMap<int, QRectF> previous;
    const QRectF wanted = rect.normalized();
    for (int index : sorted) {
        if (index < 0 || index >= document.pageCount())
            continue;
        pdf::PagePtr page = document.page(index);
        if (!page)
            continue;
        previous.insert(index, page->cropBox());
        const QRectF box = wanted.intersected(page->mediaBox());
        if (box.isEmpty() || box.width() < 1.0 || box.height() < 1.0)
            continue;
        page->setCropBox(box);
    }
    return previous;
}

} // namespace vmk::core::PDFOps
