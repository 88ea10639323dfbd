// The commands about the document's file (Duplicate, Rename…, Move To…, Revert To Saved and To Original…) and the Edit
// menu's text commands, which go to the focused text field before the canvas.
#include "app/DocumentWindowController.h"

#include "app/AppDocumentController.h"
#include "app/DocumentQuestions.h"

#include "core/VMKDocument.h"
#include "platform/doc/KeptOriginals.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace vmk::app {

namespace {

const QSet<QString>& textCommands()
{
    static const QSet<QString> commands = {"cut:", "copy:", "paste:", "selectAll:"};
    return commands;
}

QString canvasText(Editor* editor)
{
    if (!editor || !editor->pdfView())
        return {};
    const auto selection = editor->pdfView()->currentSelection();
    return selection ? selection->string().trimmed() : QString();
}

// The text field of window that has the keyboard, if any.
QWidget* focusedTextField(QWidget* window)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !window || focus->window() != window)
        return nullptr;
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) || qobject_cast<QPlainTextEdit*>(focus))
        return focus;
    return nullptr;
}

bool textFieldCan(QWidget* field, const QString& action)
{
    const bool hasClipboardText = !QApplication::clipboard()->text().isEmpty();
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        const bool selected = line->hasSelectedText();
        const bool secret = line->echoMode() != QLineEdit::Normal;
        if (action == QLatin1String("cut:"))
            return selected && !secret && !line->isReadOnly();
        if (action == QLatin1String("copy:"))
            return selected && !secret;
        if (action == QLatin1String("paste:"))
            return hasClipboardText && !line->isReadOnly();
        return !line->text().isEmpty();
    }
    auto* text = qobject_cast<QTextEdit*>(field);
    auto* plain = qobject_cast<QPlainTextEdit*>(field);
    const bool selected = text ? text->textCursor().hasSelection() : plain->textCursor().hasSelection();
    const bool readOnly = text ? text->isReadOnly() : plain->isReadOnly();
    if (action == QLatin1String("cut:"))
        return selected && !readOnly;
    if (action == QLatin1String("copy:"))
        return selected;
    if (action == QLatin1String("paste:"))
        return hasClipboardText && !readOnly;
    return true;
}

void textFieldDo(QWidget* field, const QString& action)
{
    // Each kind of field has the same four slots.
    const QByteArray slot = action.chopped(1).toLatin1();
    QMetaObject::invokeMethod(field, slot.constData());
}

QString keptLabel(const platform::KeptOriginals::Version& version)
{
    const QLocale locale;
    return QStringLiteral("Opened before %1 (%2)")
        .arg(locale.toString(version.keptAt.toLocalTime(), QLocale::ShortFormat), locale.formattedDataSize(version.size));
}

} // namespace

bool DocumentWindowController::validateFileAndTextCommand(const QString& action, bool* enabled) const
{
    if (textCommands().contains(action)) {
        if (QWidget* field = focusedTextField(m_window)) {
            *enabled = textFieldCan(field, action);
        } else if (action == QLatin1String("copy:")) {
            *enabled = !canvasText(m_editor.get()).isEmpty()
                       && m_editor->pdfDocument()->permits(pdf::Document::Permission::CopyContent);
        } else if (action == QLatin1String("selectAll:")) {
            *enabled = !m_editor->isLocked() && m_editor->pageCount() > 0;
        } else {
            *enabled = false; // the page's text is not edited through the clipboard here
        }
        return true;
    }
    const bool hasFile = m_document && !m_document->isUntitled();
    if (action == QLatin1String("duplicateDocument:"))
        *enabled = !m_editor->isLocked();
    else if (action == QLatin1String("renameDocument:") || action == QLatin1String("moveDocument:"))
        *enabled = hasFile;
    else if (action == QLatin1String("revertToOriginal:"))
        *enabled = hasFile && !m_document->keptOriginalPaths().isEmpty();
    else
        return false;
    return true;
}

bool DocumentWindowController::performFileAndTextCommand(const QString& action)
{
    if (textCommands().contains(action)) {
        if (QWidget* field = focusedTextField(m_window)) {
            if (textFieldCan(field, action))
                textFieldDo(field, action);
        } else if (action == QLatin1String("copy:")) {
            const QString text = canvasText(m_editor.get());
            if (!text.isEmpty() && m_editor->contentMayBeCopied())
                QApplication::clipboard()->setText(text);
        } else if (action == QLatin1String("selectAll:")) {
            selectAllOnCanvas();
        }
        return true;
    }
    if (action == QLatin1String("duplicateDocument:"))
        duplicateDocument();
    else if (action == QLatin1String("renameDocument:"))
        renameDocument();
    else if (action == QLatin1String("moveDocument:"))
        moveDocument();
    else if (action == QLatin1String("revertToOriginal:"))
        revertToOriginal();
    else
        return false;
    return true;
}

void DocumentWindowController::selectAllOnCanvas()
{
    if (m_editor->isLocked() || m_editor->pageCount() < 1)
        return;
    if (m_editor->mode() == EditorMode::pages) {
        IndexSet all;
        for (int i = 0; i < m_editor->pageCount(); ++i)
            all.insert(i);
        m_editor->setOrganizerSelection(all);
        return;
    }
    // The text of the page in view: the whole document's would mean reading every page's text first.
    auto* canvas = m_editor->pdfView();
    const pdf::PagePtr page = canvas ? canvas->currentPage() : nullptr;
    if (!page)
        return;
    const int length = int(page->text().size());
    if (length > 0)
        canvas->setCurrentSelection(page->selection(0, length), false);
}

void DocumentWindowController::duplicateDocument()
{
    auto* controller = DocumentController::sharedController();
    if (!controller || m_editor->isLocked())
        return;
    commitPendingEdits();
    // In memory only: the copy is decrypted to be opened again, and takes over the password below.
    const auto bytes = m_editor->pdfDocument()->dataRepresentation(pdf::WriteOptions::withoutEncryption());
    if (!bytes)
        return;
    auto copy = pdf::Document::fromData(*bytes);
    if (!copy || !copy.value())
        return;
    const std::optional<core::Protection> protection = m_editor->protectionForDerivedDocument();
    Editor* duplicate = controller->newDocument(copy.value(), m_editor->documentBaseName() + QStringLiteral(" copy"));
    if (duplicate && protection)
        duplicate->setProtection(protection, false);
}

void DocumentWindowController::renameDocument()
{
    if (!m_document || m_document->isUntitled())
        return;
    const QFileInfo current(m_document->filePath());
    const auto name = documentQuestions().chooseNewName(current.fileName(), m_window);
    if (!name || *name == current.fileName())
        return;
    QString fileName = *name;
    fileName.replace(QLatin1Char('/'), QLatin1Char('-'));
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".") + current.suffix();
    moveDocumentFile(current.dir().filePath(fileName));
}

void DocumentWindowController::moveDocument()
{
    if (!m_document || m_document->isUntitled())
        return;
    const QFileInfo current(m_document->filePath());
    const auto folder = documentQuestions().chooseFolder(current.absolutePath(), m_window);
    if (!folder || QDir(*folder) == current.dir())
        return;
    moveDocumentFile(QDir(*folder).filePath(current.fileName()));
}

void DocumentWindowController::moveDocumentFile(const QString& target)
{
    if (const platform::MaybeError error = m_document->moveFile(target)) {
        if (auto* controller = platform::DocumentController::shared())
            controller->presentError(*error);
        return;
    }
    if (auto* controller = platform::DocumentController::shared())
        controller->noteNewRecentDocument(m_document->filePath());
    updateSubtitle();
}

void DocumentWindowController::revertToOriginal()
{
    if (!m_document || m_document->isUntitled())
        return;
    const QList<platform::KeptOriginals::Version> versions = platform::KeptOriginals::versionsOf(m_document->filePath());
    if (versions.isEmpty())
        return;
    QStringList labels;
    for (const auto& version : versions)
        labels << keptLabel(version);
    const auto chosen = documentQuestions().chooseKeptOriginal(labels, m_window);
    if (!chosen || *chosen < 0 || *chosen >= versions.size())
        return;
    if (const platform::MaybeError error = m_document->revertToKeptOriginal(versions[*chosen].keptPath)) {
        if (auto* controller = platform::DocumentController::shared())
            controller->presentError(*error);
    }
}

void DocumentWindowController::confirmRevertToSaved()
{
    if (!m_window || !m_document || m_document->isUntitled())
        return;
    AlertRequest request;
    request.message = QStringLiteral("Revert to the saved version?");
    request.informativeText = QStringLiteral("Your changes since the last save will be lost. This can’t be undone.");
    request.buttons = {QStringLiteral("Revert"), QStringLiteral("Cancel")};
    QPointer<DocumentWindowController> self(this);
    runAlert(request, [self](int button) {
        if (!self || button != 0 || !self->m_document)
            return;
        if (const platform::MaybeError error = self->m_document->revertToSaved(); error && !error->isCancel()) {
            if (auto* controller = platform::DocumentController::shared())
                controller->presentError(*error);
        }
    });
}

} // namespace vmk::app
