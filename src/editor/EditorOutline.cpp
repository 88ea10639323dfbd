#include "editor/Editor.h"

#include "platform/pdf/document/Document.h"

namespace vmk {

namespace {

// Items are built nine levels deep at most; the ninth level's items get no children.
constexpr int kLastDepthWithChildren = 7;

QList<OutlineItemPtr> makeOutlineItems(const pdf::Document& document, const pdf::OutlineItem& node, int depth)
{
    QList<OutlineItemPtr> items;
    for (const pdf::OutlineItem& child : node.children) {
        auto item = std::make_shared<OutlineItem>();
        // A label that is absent (not merely empty) reads "Untitled".
        item->title = child.label.isNull() ? QStringLiteral("Untitled") : child.label;
        item->destination = child.destination;
        if (child.destination && child.destination->page) {
            const int index = document.indexOf(child.destination->page);
            if (index >= 0)
                item->pageIndex = index;
        }
        if (depth <= kLastDepthWithChildren && !child.children.isEmpty())
            item->children = makeOutlineItems(document, child, depth + 1);
        items.append(item);
    }
    return items;
}

} // namespace

void Editor::loadOutline()
{
    const pdf::DocumentPtr pdf = pdfDocument();
    const std::optional<pdf::OutlineItem> root = pdf->outline();
    if (!root) {
        setOutline(std::nullopt);
        return;
    }
    QList<OutlineItemPtr> items = makeOutlineItems(*pdf, *root, 0);
    setOutline(items.isEmpty() ? Outline() : Outline(items));
}

} // namespace vmk
