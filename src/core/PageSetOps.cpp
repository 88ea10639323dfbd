#include "core/PDFOps.h"

#include "platform/pdf/structure/PageTransfer.h"

#include <QFileInfo>

#include <algorithm>
#include <map>

namespace vmk::core::PDFOps {

namespace {

using PageMap = std::map<const pdf::Page*, pdf::PagePtr>;

// The outline entry re-pointed at the copies of its pages; entries into pages left behind go, unless
// entries below them stay.
std::optional<pdf::OutlineItem> carriedEntry(const pdf::OutlineItem& item, const PageMap& copies)
{
    pdf::OutlineItem carried;
    carried.label = item.label;
    carried.isOpen = item.isOpen;
    for (const pdf::OutlineItem& child : item.children) {
        if (std::optional<pdf::OutlineItem> kept = carriedEntry(child, copies))
            carried.children.append(*kept);
    }
    if (item.destination) {
        const auto found = copies.find(item.destination->page.get());
        if (found != copies.end())
            carried.destination = pdf::Destination{found->second, item.destination->point};
    }
    if (!carried.destination && carried.children.isEmpty())
        return std::nullopt;
    return carried;
}

// Copies the pages with their structure into target at index; the source's outline entries into them
// are appended to `outline`. Returns the copies.
std::vector<pdf::PagePtr> carryPages(pdf::Document& target, const pdf::Document& source, const std::vector<int>& indices,
                                     int index, QList<pdf::OutlineItem>& outline)
{
    pdf::Result<std::vector<pdf::PagePtr>> copies = pdf::transferPages(target, source, indices, index);
    if (!copies)
        return {};
    PageMap map;
    for (size_t k = 0; k < indices.size() && k < copies->size(); ++k) {
        if (pdf::PagePtr page = source.page(indices[k]))
            map.emplace(page.get(), (*copies)[k]);
    }
    if (std::optional<pdf::OutlineItem> root = source.outline()) {
        for (const pdf::OutlineItem& entry : root->children) {
            if (std::optional<pdf::OutlineItem> kept = carriedEntry(entry, map))
                outline.append(*kept);
        }
    }
    return copies.value();
}

void setOutlineEntries(pdf::Document& document, const QList<pdf::OutlineItem>& entries)
{
    if (entries.isEmpty())
        return;
    pdf::OutlineItem root;
    root.isOpen = true;
    root.children = entries;
    document.setOutline(root);
}

std::vector<int> allIndices(const pdf::Document& document)
{
    std::vector<int> indices(size_t(std::max(document.pageCount(), 0)));
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = int(i);
    return indices;
}

} // namespace

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
    QList<pdf::OutlineItem> outline;
    bool first = true;
    for (const pdf::DocumentPtr& source : documents) {
        if (!source || source->isLocked())
            continue;
        carryPages(*merged, *source, allIndices(*source), merged->pageCount(), outline);
        if (first)
            merged->setAttributes(source->attributes());
        first = false;
    }
    setOutlineEntries(*merged, outline);
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
    QList<pdf::OutlineItem> outline;
    carryPages(*extracted, document, std::vector<int>(sorted.begin(), sorted.end()), 0, outline);
    setOutlineEntries(*extracted, outline);
    extracted->setAttributes(document.attributes());
    return extracted;
}

std::vector<pdf::PagePtr> insertPages(pdf::Document& target, const pdf::Document& source, int index,
                                      QList<pdf::OutlineItem>* outline)
{
    QList<pdf::OutlineItem> entries;
    std::vector<pdf::PagePtr> copies = carryPages(target, source, allIndices(source), index, entries);
    if (outline)
        outline->append(entries);
    return copies;
}

int outlineInsertionPoint(const pdf::Document& document, int pageIndex)
{
    const std::optional<pdf::OutlineItem> root = document.outline();
    if (!root)
        return 0;
    const QList<pdf::OutlineItem>& entries = root->children;
    for (int i = 0; i < entries.size(); ++i) {
        const std::optional<pdf::Destination>& destination = entries[i].destination;
        if (destination && document.indexOf(destination->page) >= pageIndex)
            return i;
    }
    return int(entries.size());
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
