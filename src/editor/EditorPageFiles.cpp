#include "editor/Editor.h"

#include "editor/PageSetHelpers.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/structure/OutlineSplice.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/RegularFile.h"
#include "platform/services/WindowDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace vmk {

void Editor::insertPagesFromFile()
{
    QWidget* window = m_windowHost ? m_windowHost->window() : nullptr;
    if (!window)
        return;
    auto* dialog = platform::windowFileDialog(window, QStringLiteral("Insert Pages"),
                                              QStringLiteral("Pages go in after the selected page."),
                                              platform::startFolderFor(m_windowHost->documentPath()));
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setNameFilter(QStringLiteral("PDF (*.pdf *.PDF)"));
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Insert"));
    QPointer<Editor> self(this);
    connect(dialog, &QFileDialog::filesSelected, this, [self](const QStringList& files) {
        if (!self)
            return;
        int index = 0;
        if (self->m_mode == EditorMode::pages)
            index = self->m_organizerSelection.empty() ? self->m_pageCount : *self->m_organizerSelection.rbegin() + 1;
        else
            index = self->m_pageIndex + 1;
        self->insertPages(files, index);
    });
    dialog->open();
}

void Editor::insertPages(const QStringList& paths, int insertionIndex)
{
    const pdf::DocumentPtr pdf = pdfDocument();
    QList<pdf::PagePtr> pages = pageList(*pdf);
    QStringList failed;
    QStringList notFiles; // pipes, devices, folders: never opened
    QList<pdf::PagePtr> inserted;
    QList<pdf::OutlineItem> outline;
    const int position = std::max(0, std::min(insertionIndex, int(pages.size())));
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        if (const platform::FileKind kind = platform::fileKindOf(path);
            kind != platform::FileKind::regular && kind != platform::FileKind::missing) {
            notFiles.append(platform::notRegularFileMessage(name, kind));
            continue;
        }
        pdf::Result<pdf::DocumentPtr> other = pdf::Document::fromFile(path);
        if (!other.ok() || other.value()->isLocked()) {
            failed.append(name);
            continue;
        }
        // The copies are made in the document, so that their fields, destinations and links join it;
        // they are taken out again for the arrangement below, which puts them back with its undo.
        for (const pdf::PagePtr& copy : core::PDFOps::insertPages(*pdf, *other.value(), pdf->pageCount(), &outline))
            inserted.append(copy);
    }
    for (const pdf::PagePtr& copy : inserted)
        pdf->removePage(pdf->indexOf(copy));
    if (!inserted.isEmpty()) {
        const int outlinePosition = outline.isEmpty() ? 0 : core::PDFOps::outlineInsertionPoint(*pdf, position);
        for (int i = 0; i < inserted.size(); ++i)
            pages.insert(position + i, inserted[i]);
        IndexSet selection;
        for (int i = 0; i < inserted.size(); ++i)
            selection.insert(position + i);
        const QString actionName = QStringLiteral("Insert Pages");
        applyPageArrangement(pages, actionName, selection);
        // The inserted file's outline joins the document's where its pages went, in the same undo step.
        if (std::shared_ptr<pdf::OutlineSplice> splice = pdf::OutlineSplice::insert(*pdf, outline, outlinePosition)) {
            registerUndo(actionName, [this, splice, actionName] { exchangeOutlineEntries(splice, actionName); });
            if (m_outlineLoaded)
                loadOutline();
        }
        const int n = int(inserted.size());
        showToast(QStringLiteral("Merged. %1 page%2 added.").arg(n).arg(n != 1 ? QStringLiteral("s") : QString()),
                  QStringLiteral("doc.on.doc.fill"), Toast::Style::merge);
    }
    if (!failed.isEmpty() || !notFiles.isEmpty()) {
        QStringList sentences = notFiles;
        if (!failed.isEmpty())
            sentences.prepend(QStringLiteral("Couldn’t read ") + failed.join(QStringLiteral(", ")) +
                              QStringLiteral(". Locked or not a PDF."));
        showToast(sentences.join(QLatin1Char(' ')), QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
    }
}

void Editor::exchangeOutlineEntries(const std::shared_ptr<pdf::OutlineSplice>& splice, const QString& actionName)
{
    splice->exchange();
    registerUndo(actionName, [this, splice, actionName] { exchangeOutlineEntries(splice, actionName); });
    if (m_outlineLoaded)
        loadOutline();
}

void Editor::extractPages(const IndexSet& indexes)
{
    if (indexes.empty())
        return;
    const pdf::DocumentPtr extracted = core::PDFOps::extractPages(toQSet(indexes), *pdfDocument());
    const QString base = documentBaseName();
    const QString label = indexes.size() == 1 ? QStringLiteral("page %1").arg(*indexes.begin() + 1)
                                              : QStringLiteral("%1 pages").arg(indexes.size());
    showToast(QStringLiteral("Split off %1 into a new PDF.").arg(label),
              QStringLiteral("rectangle.portrait.and.arrow.forward"), Toast::Style::split);
    if (UntitledDocumentMaker* maker = documentMaker()) {
        const std::optional<core::Protection> protection = protectionForDerivedDocument();
        if (Editor* other = maker->newDocument(extracted, base + QStringLiteral(" (") + label + QStringLiteral(")"))) {
            // Pages of a protected document stay behind its password until the user removes it.
            if (protection)
                other->setProtection(protection, false);
            other->showToast(QStringLiteral("Extracted %1. Save it anywhere.").arg(label), QStringLiteral("doc"),
                             Toast::Style::split);
        }
    }
}

} // namespace vmk
