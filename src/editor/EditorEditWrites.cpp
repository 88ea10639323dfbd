// Edit mode's writes: each rewrites a page inside the edit session, then the session is saved to memory and
// the new document swapped in under one undo step that holds the previous document whole.

#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "core/pdfium/EditTextRules.h"
#include "core/pdfium/FontMatching.h"
#include "core/pdfium/PDFEditSession.h"
#include "platform/doc/UndoManager.h"
#include "platform/fonts/FontService.h"
#include "platform/pdf/Document.h"

#include <QFileDialog>
#include <QImageReader>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vmk {

namespace {

const QString kWarningSymbol = QStringLiteral("exclamationmark.triangle.fill");

QString familyOf(const platform::Font& font)
{
    return font.isValid() ? font.familyName() : QString();
}

} // namespace

void Editor::commitTextEdit(const core::EditableTextBlock& block, int pageIndex, const QString& newText)
{
    if (!m_editSession || newText == block.text)
        return;
    if (core::editrules::trimmedWhitespaceAndNewlines(newText).isEmpty()) {
        if (const auto error = m_editSession->deleteBlock(block, pageIndex)) {
            showEditError(*error);
            return;
        }
        reloadAfterEdit(QStringLiteral("Delete Text"));
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
    reloadAfterEdit(QStringLiteral("Edit Text"));

    const QRectF newBounds = result->newBounds;
    const double x = newBounds.isNull() ? block.bounds.center().x() : newBounds.left() + 1;
    const double y = block.firstBaseline + 0.3 * block.fontSize;
    setEditSelection(editTargetAt(pageIndex, QPointF(x, y)));

    if (result->overlapsNextBlock) {
        showToast(QStringLiteral("It’s longer now and runs into the text below. Trim it, or move things around."),
                  kWarningSymbol, Toast::Style::info);
        return;
    }
    if (result->embeddedFontName && !result->reusedOriginalFont) {
        const bool bold = core::editrules::wantsBold(block.baseFontName, block.fontWeight);
        const bool italic = core::editrules::wantsItalic(block.baseFontName, block.fontFlags);
        const QString blockFamily = familyOf(core::fontmatching::matchSystemFont(
            block.baseFontName, block.fontSize, bold, italic, block.fontFlags));
        // The embedded font's name carries a subset-style tag; people know the font by its own name.
        const QString name = core::editrules::stripSubsetPrefix(*result->embeddedFontName);
        const QString embeddedFamily = familyOf(platform::FontService::fontNamed(name, 12));
        if (embeddedFamily != blockFamily)
            showToast(QStringLiteral("Some characters weren’t in the original font, so ") + name
                          + QStringLiteral(" stepped in."),
                      QStringLiteral("textformat"), Toast::Style::info);
    }
}

void Editor::deleteEditTarget()
{
    if (!m_editSession || !m_editSelection)
        return;
    const EditTarget target = *m_editSelection;
    if (target.isImage()) {
        if (const auto error = m_editSession->deleteImage(target.image, target.page)) {
            showEditError(*error);
            return;
        }
        reloadAfterEdit(QStringLiteral("Delete Image"));
    } else {
        if (!target.block.isEditable) {
            showToast(target.block.reason.value_or(QStringLiteral("This text can’t be edited.")),
                      QStringLiteral("lock.fill"), Toast::Style::info);
            return;
        }
        if (const auto error = m_editSession->deleteBlock(target.block, target.page)) {
            showEditError(*error);
            return;
        }
        reloadAfterEdit(QStringLiteral("Delete Text"));
    }
    setEditSelection(std::nullopt);
}

void Editor::moveImage(const core::EditableImage& image, int pageIndex, const QRectF& frame)
{
    if (!m_editSession)
        return;
    if (!(frame.width() > 2 && frame.height() > 2))
        return;
    if (const auto error = m_editSession->setImageFrame(image, frame, pageIndex)) {
        showEditError(*error);
        return;
    }
    reloadAfterEdit(QStringLiteral("Move Image"));
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
    auto* dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setFileMode(QFileDialog::ExistingFile);
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    dialog->setNameFilter(QStringLiteral("Images (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Replace"));
    dialog->setWindowTitle(QStringLiteral("The new picture fits inside the old one’s frame."));
    QPointer<Editor> self(this);
    connect(dialog, &QFileDialog::fileSelected, this, [self, image, pageIndex](const QString& path) {
        if (self)
            self->replaceImage(path, image, pageIndex);
    });
    dialog->open();
}

void Editor::replaceImage(const QString& path, const core::EditableImage& image, int pageIndex)
{
    if (path.isEmpty() || !m_editSession)
        return;
    QImageReader reader(path);
    const QImage picture = reader.read();
    if (picture.isNull())
        return;
    if (const auto error = m_editSession->replaceImage(image, picture, pageIndex)) {
        showEditError(*error);
        return;
    }
    reloadAfterEdit(QStringLiteral("Replace Image"));
    setEditSelection(std::nullopt);
}

void Editor::reloadAfterEdit(const QString& actionName)
{
    if (!m_editSession)
        return;
    const auto bytes = m_editSession->save();
    if (!bytes) {
        showEditError(bytes.error());
        return;
    }
    const auto document = pdf::Document::fromData(bytes.value());
    if (!document || !document.value()) {
        showEditError(core::PDFiumError::saveFailed());
        return;
    }
    swapDocument(document.value(), actionName, true);
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
    registerUndo(actionName, [self, old, actionName] {
        if (self)
            self->swapDocument(old, actionName, false);
    });
}

} // namespace vmk
