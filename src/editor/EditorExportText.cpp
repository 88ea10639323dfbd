#include "editor/Editor.h"

#include "core/TextExport.h"
#include "core/VMKDocument.h"
#include "editor/PageWork.h"
#include "platform/pdf/document/Document.h"

#include <QSaveFile>

namespace vmk {

namespace {

// Writes the bytes through a temporary file that replaces the target only when complete. The error text
// is empty on success.
QString writeAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(data) != data.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

} // namespace

void Editor::exportText()
{
    if (!m_windowHost || !m_windowHost->window() || !contentMayBeCopied())
        return;
    SavePanelRequest request{documentBaseName() + QStringLiteral(".txt"), QStringLiteral("Plain Text"),
                             QStringLiteral("txt"), QString(), QStringLiteral("Export as Text")};
    QPointer<Editor> self(this);
    m_windowHost->runSavePanel(request, [self](std::optional<QString> path) {
        if (path && self)
            self->writeExportedText(*path);
    });
}

void Editor::writeExportedText(const QString& path)
{
    const QString text = core::PDFOps::plainText(*pdfDocument());
    const QString error = writeAtomically(path, text.toUtf8());
    if (!error.isNull()) {
        if (m_windowHost)
            m_windowHost->showErrorAlert(QStringLiteral("The text couldn\u2019t be saved."), error);
        return;
    }
    if (text.trimmed().isEmpty())
        showToast(QStringLiteral("Exported, but it\u2019s empty. Try Make Searchable first."),
                  QStringLiteral("text.viewfinder"), Toast::Style::info);
    else
        showToast(QStringLiteral("Text exported."), QStringLiteral("doc.plaintext.fill"), Toast::Style::success);
}

void Editor::exportFlattened()
{
    if (m_isLocked || m_progress || !contentMayBeCopied())
        return;
    m_canvas->commitTextSession();
    // The copy carries the protection the document has now, a password set but not saved yet included:
    // the worker opens the bytes with the password they were written with.
    const pdf::Result<QByteArray> data = m_document ? pdfDocument()->dataRepresentation(m_document->writeOptions())
                                                    : pdfDocument()->dataRepresentation();
    if (!data || data->isEmpty())
        return;
    const std::optional<QString> password = m_document ? m_document->writtenPassword() : std::nullopt;
    startRunningTask(TaskProgress{TaskProgress::Kind::generic, QStringLiteral("Flattening\u2026"), std::nullopt, {}});
    QPointer<Editor> self(this);
    runDetached<std::optional<QByteArray>>(
        detachedRunner(), this, [bytes = *data, password] { return makeFlattenedData(bytes, password); },
        [self](std::optional<QByteArray> flattened) {
            if (self)
                self->saveFlattenedCopy(flattened);
        });
}

void Editor::saveFlattenedCopy(const std::optional<QByteArray>& data)
{
    endRunningTask();
    if (!data) {
        showToast(QStringLiteral("Couldn\u2019t flatten this one."), QStringLiteral("exclamationmark.triangle.fill"),
                  Toast::Style::info);
        return;
    }
    if (!m_windowHost || !m_windowHost->window())
        return;
    SavePanelRequest request{documentBaseName() + QStringLiteral(" (flattened).pdf"), QStringLiteral("PDF"),
                             QStringLiteral("pdf"),
                             QStringLiteral("Markups, signatures and form entries become part of the page. No more "
                                            "editing them."),
                             QStringLiteral("Export Flattened")};
    QPointer<Editor> self(this);
    const QByteArray bytes = *data;
    m_windowHost->runSavePanel(request, [self, bytes](std::optional<QString> path) {
        if (!self)
            return;
        saveDataFromPanel(path, bytes, [self](const QString&) {
            if (self)
                self->showToast(QStringLiteral("Flattened copy saved."),
                                QStringLiteral("square.stack.3d.down.forward.fill"), Toast::Style::success);
        }, self->m_windowHost);
    });
}

void Editor::saveDataFromPanel(const std::optional<QString>& path, const QByteArray& data,
                               const std::function<void(const QString&)>& onSuccess, EditorWindowHost* host)
{
    if (!path)
        return;
    const QString error = writeAtomically(*path, data);
    if (!error.isNull()) {
        if (host)
            host->showErrorAlert(QStringLiteral("The file couldn\u2019t be saved."), error);
        return;
    }
    if (onSuccess)
        onSuccess(*path);
}

} // namespace vmk
