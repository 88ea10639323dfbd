#include "editor/Editor.h"

#include "core/ImageEncoding.h"
#include "core/PageRebuild.h"
#include "editor/ImageExportOptions.h"
#include "editor/ImageExportReport.h"
#include "editor/PageWork.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QDir>

namespace vmk {

namespace {

QString exportingTitle(int index, int count)
{
    return QStringLiteral("Exporting page %1 of %2\u2026").arg(index + 1).arg(count);
}

} // namespace

void Editor::exportPagesAsImages()
{
    if (!m_windowHost || !m_windowHost->window() || !contentMayBeCopied())
        return;
    // Made new for every panel: PNG at 150 dpi whatever was chosen last time.
    auto options = std::make_shared<ImageExportOptions>();
    FolderPanelRequest request{QStringLiteral("Export"), QStringLiteral("Choose a folder. Each page becomes its own image.")};
    QPointer<Editor> self(this);
    m_windowHost->runImageExportPanel(request, options, pdfDocument()->pageCount(),
                                      [self, options](std::optional<QString> folder) {
                                          if (folder && self)
                                              self->exportPageImages(*folder, options);
                                      });
}

void Editor::exportPageImages(const QString& folder, const std::shared_ptr<ImageExportOptions>& options)
{
    const int count = pdfDocument()->pageCount();
    const int digits = ImageExportOptions::digitWidth(count);
    const QString baseName = documentBaseName();
    const RunningTaskPtr task = startRunningTask(
        TaskProgress{TaskProgress::Kind::generic, exportingTitle(0, count), 0.0, makeCancelAction()});

    auto report = std::make_shared<ImageExportReport>();
    QPointer<Editor> self(this);
    TaskLoop loop;
    loop.step = [self, task, options, folder, baseName, count, digits, report](int i, std::function<void()> next) {
        const pdf::PagePtr page = self->pdfDocument()->page(i);
        if (!page) {
            // The document lost pages while the export ran: stop here, keep what was written and name the
            // pages that were not.
            for (int lost = i; lost < count; ++lost)
                report->missed(lost, ImageExportReport::Miss::removed);
            task->cancel();
            return false;
        }
        if (self->m_progress) {
            TaskProgress progress = *self->m_progress;
            progress.title = exportingTitle(i, count);
            progress.fraction = double(i) / count;
            self->setProgress(progress);
        }
        std::optional<core::PDFOps::PageSnapshot> snapshot = core::PDFOps::snapshot(*page);
        if (!snapshot) {
            report->missed(i, ImageExportReport::Miss::unreadable);
            return false;
        }
        const ImageExportOptions::Format format = options->format();
        const QString path = QDir(folder).filePath(ImageExportOptions::fileName(baseName, i, digits, format));
        const double scale = options->dpi() / 72.0;
        runDetached<pdf::DrawResult>(
            self->detachedRunner(), self, [snapshot = *snapshot, scale] { return renderPageImage(snapshot, scale); },
            [self, page, i, format, path, report, next](pdf::DrawResult drawn) {
                if (drawn.image.isNull()) {
                    report->missed(i, ImageExportReport::missFor(drawn.outcome));
                    next();
                    return;
                }
                // Annotations are drawn here, on the main thread, where the page may be read.
                const QImage composed = core::PDFOps::drawAnnotations(*page, drawn.image);
                const bool png = format == ImageExportOptions::Format::png;
                runDetached<bool>(
                    self->detachedRunner(), self, [composed, png, path] { return writePageImage(composed, png, path); },
                    [i, report, next](bool ok) {
                        if (ok)
                            report->wrote();
                        else
                            report->missed(i, ImageExportReport::Miss::notSaved);
                        next();
                    });
            });
        return true;
    };
    loop.finish = [self, folder, report] {
        if (!self)
            return;
        self->endRunningTask();
        // Never a success when pages are missing: the message names them and says why.
        if (report->complete())
            self->showToast(report->message(), QStringLiteral("photo.on.rectangle.angled"), Toast::Style::success);
        else
            self->showToast(report->message(), QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
        if (self->m_windowHost)
            self->m_windowHost->revealInFileViewer(folder);
    };
    TaskLoop::run(self, task, count, true, std::move(loop));
}

} // namespace vmk
