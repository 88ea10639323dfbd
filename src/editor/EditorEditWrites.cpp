// Edit mode's writes: each rewrites a page inside the edit session, then the session is saved to memory and
// the new document swapped in under one undo step that holds the previous document whole.

#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "core/pdfium/EditFidelity.h"
#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/FontMatching.h"
#include "core/pdfium/PDFEditSession.h"
#include "platform/doc/UndoManager.h"
#include "platform/fonts/FontService.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/RegularFile.h"
#include "platform/services/WindowDialogs.h"

#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vmk {

namespace {

const QString kWarningSymbol = QStringLiteral("exclamationmark.triangle.fill");
const QString kMovedOn = QStringLiteral("This part of the page changed while you were editing, so the change "
                                        "wasn\u2019t made. Try again.");

// The area an edit of a text block may change: its old place and its new one, with room for the glyphs'
// overhang beyond the typographic bounds.
QList<QRectF> textRegions(const core::EditableTextBlock& block, const QRectF& newBounds)
{
    const qreal margin = std::max(2.0, 0.3 * block.fontSize);
    QList<QRectF> regions{block.bounds.adjusted(-margin, -margin, margin, margin)};
    if (!newBounds.isNull())
        regions.append(newBounds.adjusted(-margin, -margin, margin, margin));
    return regions;
}

QRectF grown(const QRectF& r, qreal by) { return r.adjusted(-by, -by, by, by); }

// The block of the fresh page model that overlaps the laid-out bounds most.
std::optional<core::EditableTextBlock> blockCovering(const QList<core::EditableTextBlock>& blocks, const QRectF& area)
{
    std::optional<core::EditableTextBlock> best;
    qreal bestArea = 0;
    for (const core::EditableTextBlock& block : blocks) {
        const QRectF common = block.bounds.intersected(area);
        const qreal a = common.width() * common.height();
        if (a > bestArea) {
            bestArea = a;
            best = block;
        }
    }
    return best;
}

} // namespace

void Editor::commitTextEdit(const core::EditableTextBlock& typedBlock, int typedPage, const QString& newText)
{
    if (!m_editSession || newText == typedBlock.text)
        return;
    int pageIndex = typedPage;
    if (!followDocumentChanges(pageIndex))
        return;
    const std::optional<core::EditableTextBlock> found = refoundBlock(typedBlock, pageIndex);
    if (!found) {
        showToast(kMovedOn, kWarningSymbol, Toast::Style::info);
        return;
    }
    const core::EditableTextBlock& block = *found;
    if (core::editrules::trimmedWhitespaceAndNewlines(newText).isEmpty()) {
        if (const auto error = m_editSession->deleteBlock(block, pageIndex)) {
            showEditError(*error);
            return;
        }
        if (!reloadAfterEdit(QStringLiteral("Delete Text"), pageIndex, textRegions(block, {})))
            return;
        // The block is gone; a selection naming it would hold handles of deleted objects.
        if (m_editSelection && m_editSelection->isText() && m_editSelection->block.id == block.id)
            setEditSelection(std::nullopt);
        return;
    }
    const auto result = m_editSession->replaceText(block, newText, pageIndex);
    if (!result) {
        showEditError(result.error());
        return;
    }
    if (!reloadAfterEdit(QStringLiteral("Edit Text"), pageIndex, textRegions(block, result->newBounds)))
        return;

    // The written text's own bounds may start a little off the laid-out ones (side bearings, a stand-in's
    // metrics): pick the block that overlaps the new text most rather than the one under a single point.
    const QRectF newBounds = result->newBounds.isNull() ? block.bounds : result->newBounds;
    std::optional<EditTarget> reselected;
    if (m_editSession) {
        if (const auto model = m_editSession->model(pageIndex))
            if (const auto found = blockCovering(model->blocks, newBounds))
                reselected = EditTarget::text(*found, pageIndex);
    }
    setEditSelection(reselected);

    if (result->overlapsNextBlock) {
        showToast(QStringLiteral("It’s longer now and runs into the text below. Trim it, or move things around."),
                  kWarningSymbol, Toast::Style::info);
        return;
    }
    if (result->embeddedFontName && !result->reusedOriginalFont) {
        // The page's own font could not draw the text (a character it does not have): say which installed
        // face took its place, by the name people know it by.
        const QString embedded = core::editrules::stripSubsetPrefix(*result->embeddedFontName);
        const platform::Font face = platform::FontService::fontNamed(embedded, 12);
        const QString name = face.isValid() ? face.fullName() : embedded;
        showToast(QStringLiteral("Some characters weren\u2019t in the original font, so ") + name
                      + QStringLiteral(" stepped in."),
                  QStringLiteral("textformat"), Toast::Style::info);
    }
}

void Editor::deleteEditTarget()
{
    if (!m_editSession || !m_editSelection)
        return;
    EditTarget target = *m_editSelection;
    if (target.isText() && !target.block.isEditable) {
        showToast(target.block.reason.value_or(QStringLiteral("This text can\u2019t be edited.")),
                  QStringLiteral("lock.fill"), Toast::Style::info);
        return;
    }
    if (!followDocumentChanges(target.page))
        return;
    if (target.isImage()) {
        const auto image = refoundImage(target.image, target.page);
        if (!image) {
            showToast(kMovedOn, kWarningSymbol, Toast::Style::info);
            return;
        }
        target.image = *image;
    } else {
        const auto block = refoundBlock(target.block, target.page);
        if (!block) {
            showToast(kMovedOn, kWarningSymbol, Toast::Style::info);
            return;
        }
        target.block = *block;
    }
    if (target.isImage()) {
        if (const auto error = m_editSession->deleteImage(target.image, target.page)) {
            showEditError(*error);
            return;
        }
        if (!reloadAfterEdit(QStringLiteral("Delete Image"), target.page, {grown(target.image.bounds, 1.5)}))
            return;
    } else {
        if (const auto error = m_editSession->deleteBlock(target.block, target.page)) {
            showEditError(*error);
            return;
        }
        if (!reloadAfterEdit(QStringLiteral("Delete Text"), target.page, textRegions(target.block, {})))
            return;
    }
    setEditSelection(std::nullopt);
}

void Editor::moveImage(const core::EditableImage& movedImage, int movedPage, const QRectF& frame)
{
    if (!m_editSession)
        return;
    if (!(frame.width() > 2 && frame.height() > 2))
        return;
    int pageIndex = movedPage;
    if (!followDocumentChanges(pageIndex))
        return;
    const std::optional<core::EditableImage> found = refoundImage(movedImage, pageIndex);
    if (!found) {
        showToast(kMovedOn, kWarningSymbol, Toast::Style::info);
        return;
    }
    const core::EditableImage& image = *found;
    if (const auto error = m_editSession->setImageFrame(image, frame, pageIndex)) {
        showEditError(*error);
        return;
    }
    if (!reloadAfterEdit(QStringLiteral("Move Image"), pageIndex, {grown(image.bounds, 1.5), grown(frame, 1.5)}))
        return;
    if (!m_editSession)
        return;
    const auto model = m_editSession->model(pageIndex);
    if (!model)
        return;
    for (const core::EditableImage& candidate : model->images) {
        if (std::abs(candidate.bounds.left() - frame.left()) < 1 && std::abs(candidate.bounds.top() - frame.top()) < 1) {
            setEditSelection(EditTarget::picture(candidate, pageIndex));
            return;
        }
    }
}

void Editor::chooseReplacementImage()
{
    if (!m_editSelection || !m_editSelection->isImage())
        return;
    QWidget* window = m_windowHost ? m_windowHost->window() : nullptr;
    if (!window)
        return;
    const core::EditableImage image = m_editSelection->image;
    const int pageIndex = m_editSelection->page;
    auto* dialog = platform::windowFileDialog(window, QStringLiteral("Replace Picture"),
                                              QStringLiteral("The new picture fits inside the old one’s frame."),
                                              platform::startFolderFor(m_windowHost->documentPath()));
    dialog->setFileMode(QFileDialog::ExistingFile);
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    dialog->setNameFilter(QStringLiteral("Images (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Replace"));
    QPointer<Editor> self(this);
    connect(dialog, &QFileDialog::fileSelected, this, [self, image, pageIndex](const QString& path) {
        if (self)
            self->replaceImage(path, image, pageIndex);
    });
    dialog->open();
}

void Editor::replaceImage(const QString& path, const core::EditableImage& chosenFor, int chosenPage)
{
    if (path.isEmpty() || !m_editSession)
        return;
    // Read whole first, as documents are: a pipe or a device chosen here never holds up the window.
    platform::RegularFileRead file = platform::readRegularFile(path);
    if (!file.ok()) {
        if (file.kind != platform::FileKind::regular && file.kind != platform::FileKind::missing)
            showToast(platform::notRegularFileMessage(QFileInfo(path).fileName(), file.kind), kWarningSymbol,
                      Toast::Style::info);
        return;
    }
    QBuffer buffer(&file.data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QImage picture = reader.read();
    if (picture.isNull())
        return;
    int pageIndex = chosenPage;
    if (!followDocumentChanges(pageIndex))
        return;
    const std::optional<core::EditableImage> found = refoundImage(chosenFor, pageIndex);
    if (!found) {
        showToast(kMovedOn, kWarningSymbol, Toast::Style::info);
        return;
    }
    const core::EditableImage& image = *found;
    if (const auto error = m_editSession->replaceImage(image, picture, pageIndex)) {
        showEditError(*error);
        return;
    }
    if (!reloadAfterEdit(QStringLiteral("Replace Image"), pageIndex, {grown(image.bounds, 1.5)}))
        return;
    setEditSelection(std::nullopt);
}

bool Editor::reloadAfterEdit(const QString& actionName, int pageIndex, const QList<QRectF>& regions)
{
    if (!m_editSession)
        return false;
    const auto bytes = m_editSession->save();
    if (!bytes) {
        showEditError(bytes.error());
        discardEditSessionChanges();
        return false;
    }
    const auto document = pdf::Document::fromData(bytes.value());
    if (!document || !document.value()) {
        showEditError(core::PDFiumError::saveFailed());
        discardEditSessionChanges();
        return false;
    }
    const pdf::DocumentPtr edited = document.value();
    // A protected document comes back protected as it was: open it with the password that unlocked it.
    if (edited->isLocked() && m_unlockedPassword)
        edited->unlock(*m_unlockedPassword);
    const pdf::DocumentPtr current = m_document ? m_document->pdf() : nullptr;
    const bool samePages = current && !edited->isLocked() && edited->pageCount() == current->pageCount();
    const core::fidelity::Verdict verdict = samePages
        ? core::fidelity::comparePages(current->page(pageIndex), edited->page(pageIndex), regions)
        : core::fidelity::Verdict{false, 1, QRect()};
    if (!verdict.intact) {
        showToast(verdict.drawn ? QStringLiteral("This edit would also have changed other parts of the page, so it "
                                                 "wasn\u2019t made. The page is as it was.")
                                : QStringLiteral("This page takes too long to draw to check the edit, so it wasn\u2019t "
                                                 "made. The page is as it was."),
                  kWarningSymbol, Toast::Style::info);
        discardEditSessionChanges();
        return false;
    }
    swapDocument(edited, actionName, true);
    return true;
}

void Editor::discardEditSessionChanges()
{
    // The session holds the refused change: start again from the document as it is.
    m_editSession.reset();
    setEditHover(std::nullopt);
    setEditSelection(std::nullopt);
    if (m_mode == EditorMode::edit)
        enterEditMode();
}

void Editor::swapDocument(const pdf::DocumentPtr& document, const QString& actionName, bool keepsSession)
{
    if (!m_document || !document)
        return;
    const pdf::DocumentPtr old = m_document->pdf();
    const double scale = m_canvas->scaleFactor();
    const bool autoScales = m_canvas->autoScales();

    m_document->setPdf(document);
    setSelectedAnnotation(nullptr);
    setIsLockedValue(document->isLocked());
    setPageCountValue(document->pageCount());
    // The canvas keeps its page, point and scroll offset across the swap, so the page does not jump.
    m_canvas->swapDocument(document);
    if (m_canvas->autoScales() != autoScales)
        m_canvas->setAutoScales(autoScales);
    if (!autoScales && m_canvas->scaleFactor() != scale)
        m_canvas->setScaleFactor(scale, false);

    setEditHover(std::nullopt);
    if (!keepsSession) {
        m_editSession.reset();
        setEditSelection(std::nullopt);
        if (m_mode == EditorMode::edit)
            enterEditMode();
    }
    documentDidReload();
    QPointer<Editor> self(this);
    m_savingEdit = keepsSession;
    registerUndo(actionName, [self, old, actionName] {
        if (self)
            self->swapDocument(old, actionName, false);
    });
    m_savingEdit = false;
    if (keepsSession)
        rememberEditSessionPages();
}

} // namespace vmk
