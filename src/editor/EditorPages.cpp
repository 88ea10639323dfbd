#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "editor/PageSetHelpers.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/scrub/RedactionScrub.h"

#include <algorithm>
#include <set>

namespace vmk {

namespace {

QList<pdf::PagePtr> pagesAt(const pdf::DocumentPtr& pdf, const IndexSet& indexes)
{
    QList<pdf::PagePtr> pages;
    for (int index : indexes)
        if (pdf::PagePtr page = pdf->page(index))
            pages.append(page);
    return pages;
}

IndexSet range(int from, int count)
{
    IndexSet set;
    for (int i = 0; i < count; ++i)
        set.insert(from + i);
    return set;
}

} // namespace

IndexSet Editor::selectedPageIndexes() const
{
    if (m_mode == EditorMode::pages && !m_organizerSelection.empty())
        return m_organizerSelection;
    return {m_pageIndex};
}

void Editor::applyPageArrangement(const QList<pdf::PagePtr>& pages, const QString& actionName,
                                  const std::optional<IndexSet>& selection)
{
    if (!document()) {
        documentDidReload();
        return;
    }
    const pdf::DocumentPtr pdf = pdfDocument();
    const QList<pdf::PagePtr> earlier = pageList(*pdf);
    const std::set<pdf::Page*> wanted = [&] {
        std::set<pdf::Page*> set;
        for (const pdf::PagePtr& page : pages)
            set.insert(page.get());
        return set;
    }();
    for (int i = int(earlier.size()) - 1; i >= 0; --i)
        if (!wanted.contains(earlier[i].get()))
            pdf->removePage(i);
    std::set<pdf::Page*> present;
    for (const pdf::PagePtr& page : pageList(*pdf))
        present.insert(page.get());
    for (int i = 0; i < pages.size(); ++i) {
        if (present.contains(pages[i].get()))
            continue;
        pdf->insertPage(pages[i], std::min(i, pdf->pageCount()));
        present.insert(pages[i].get());
    }
    core::PDFOps::reorder(*pdf, std::vector<pdf::PagePtr>(pages.begin(), pages.end()));
    const IndexSet earlierSelection = m_organizerSelection;
    registerUndo(actionName, [this, earlier, actionName, earlierSelection] {
        applyPageArrangement(earlier, actionName, earlierSelection);
    });
    if (selection)
        setOrganizerSelection(*selection);
    documentDidReload();
}

void Editor::rotatePages(const QList<pdf::PagePtr>& pages, int degrees)
{
    for (const pdf::PagePtr& page : pages) {
        int rotation = (page->rotation() + degrees) % 360;
        if (rotation < 0)
            rotation += 360;
        page->setRotation(rotation);
    }
    registerUndo(degrees <= 0 ? QStringLiteral("Rotate Left") : QStringLiteral("Rotate Right"),
                 [this, pages, degrees] { rotatePages(pages, -degrees); });
    m_canvas->layoutDocumentView();
    documentDidReload();
}

void Editor::rotateSelectedPages(const IndexSet& indexes, int degrees)
{
    rotatePages(pagesAt(pdfDocument(), indexes), degrees);
}

void Editor::insertBlankPage(std::optional<int> afterIndex)
{
    const pdf::DocumentPtr pdf = pdfDocument();
    const int after = afterIndex.value_or(m_pageIndex);
    const int position = after + 1;
    const int count = pdf->pageCount();
    const pdf::PagePtr reference = pdf->page(std::max(0, std::min(count - 1, after)));
    pdf::PagePtr blank;
    if (reference) {
        const QRectF media = reference->mediaBox();
        blank = pdf::Page::createBlank(QRectF(0, 0, media.width(), media.height()), reference->rotation());
    } else {
        blank = pdf::Page::createBlank(QRectF(0, 0, 612, 792), 0);
    }
    QList<pdf::PagePtr> pages = pageList(*pdf);
    pages.insert(std::min(int(pages.size()), position), blank);
    applyPageArrangement(pages, QStringLiteral("Insert Blank Page"),
                         IndexSet{std::min(int(pages.size()) - 1, position)});
    if (m_mode != EditorMode::pages)
        goToPage(position);
}

void Editor::deletePages(const IndexSet& indexes)
{
    if (indexes.empty())
        return;
    const pdf::DocumentPtr pdf = pdfDocument();
    if (int(indexes.size()) >= pdf->pageCount()) {
        showToast(QStringLiteral("A PDF needs at least one page. Even this one."),
                  QStringLiteral("exclamationmark.circle.fill"), Toast::Style::info);
        return;
    }
    const QList<pdf::PagePtr> doomed = pagesAt(pdf, indexes);
    QList<pdf::PagePtr> remaining = pageList(*pdf);
    remaining.removeIf([&](const pdf::PagePtr& page) { return doomed.contains(page); });
    const int selected = std::max(0, std::min(int(remaining.size()) - 1, *indexes.begin()));
    applyPageArrangement(remaining, indexes.size() == 1 ? QStringLiteral("Delete Page") : QStringLiteral("Delete Pages"),
                         IndexSet{selected});
}

void Editor::movePages(const IndexSet& indexes, int dropIndex)
{
    const pdf::DocumentPtr pdf = pdfDocument();
    const QList<pdf::PagePtr> current = pageList(*pdf);
    QList<pdf::PagePtr> moving;
    for (int index : indexes)
        if (index >= 0 && index < current.size())
            moving.append(current[index]);
    const int shift = int(std::count_if(indexes.begin(), indexes.end(), [&](int i) { return i < dropIndex; }));
    QList<pdf::PagePtr> result = current;
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
        if (*it >= 0 && *it < result.size())
            result.removeAt(*it);
    const int position = std::max(0, std::min(dropIndex - shift, int(result.size())));
    for (int i = 0; i < moving.size(); ++i)
        result.insert(position + i, moving[i]);
    if (result == current)
        return;
    applyPageArrangement(result, moving.size() == 1 ? QStringLiteral("Move Page") : QStringLiteral("Move Pages"),
                         range(position, int(moving.size())));
}

void Editor::duplicatePages(const IndexSet& indexes)
{
    if (indexes.empty())
        return;
    const pdf::DocumentPtr pdf = pdfDocument();
    QList<pdf::PagePtr> copies;
    for (const pdf::PagePtr& page : pagesAt(pdf, indexes))
        if (pdf::PagePtr copy = page->copy())
            copies.append(copy);
    QList<pdf::PagePtr> pages = pageList(*pdf);
    const int position = std::min(*indexes.rbegin() + 1, int(pages.size()));
    for (int i = 0; i < copies.size(); ++i)
        pages.insert(position + i, copies[i]);
    applyPageArrangement(pages, QStringLiteral("Duplicate"), range(position, int(copies.size())));
}

void Editor::swapPages(const QList<PageSwap>& swaps, const QString& actionName,
                       const std::shared_ptr<pdf::ObjectEdits>& edits, bool redacting, int direction)
{
    const pdf::DocumentPtr pdf = pdfDocument();
    QList<PageSwap> reverse;
    for (const PageSwap& swap : swaps) {
        // A page deleted since stays deleted; its own undo brings it back as it was then.
        if (!swap.drawing || pdf->indexOf(swap.page) < 0 || !swap.page->exchangeDrawing(*swap.drawing))
            continue;
        for (const pdf::AnnotationPtr& annotation : swap.page->annotations())
            if (!swap.newAnnotations.contains(annotation))
                swap.page->removeAnnotation(annotation);
        for (const pdf::AnnotationPtr& annotation : swap.newAnnotations)
            if (annotation->page() != swap.page)
                swap.page->addAnnotation(annotation);
        reverse.append(swap.reversed());
    }
    if (edits)
        edits->exchange();
    if (redacting && m_document)
        m_document->countRedactions(direction);
    registerUndo(actionName, [this, reverse, actionName, edits, redacting, direction] {
        swapPages(reverse, actionName, edits, redacting, -direction);
    });
    setSelectedAnnotation(nullptr);
    documentDidReload();
    bumpAnnotationVersion();
}

} // namespace vmk
