#include "editor/Editor.h"

#include "core/PageRebuild.h"
#include "editor/PageWork.h"
#include "platform/pdf/Annotation.h"
#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/RedactionScrub.h"

#include <QImage>

namespace vmk {

namespace {

// What a redaction takes away besides the pictures of its pages.
struct RemovedText {
    QStringList words;
    std::vector<pdf::AnnotationPtr> widgets;
};

struct PageGroup {
    pdf::PagePtr page;
    QList<QRectF> bounds;
};

QList<PageGroup> groupByPage(const QList<AnnotationItem>& marks)
{
    QList<PageGroup> groups;
    for (const auto& [mark, page] : marks) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](const PageGroup& g) { return g.page == page; });
        if (it == groups.end())
            groups.append(PageGroup{page, {mark->bounds()}});
        else
            it->bounds.append(mark->bounds());
    }
    return groups;
}

int distinctPages(const QList<AnnotationItem>& marks)
{
    return int(groupByPage(marks).size());
}

QList<pdf::AnnotationPtr> annotationList(const pdf::Page& page)
{
    const std::vector<pdf::AnnotationPtr> annotations = page.annotations();
    return QList<pdf::AnnotationPtr>(annotations.begin(), annotations.end());
}

QString redactingTitle(int index, int count)
{
    return QStringLiteral("Redacting page %1 of %2\u2026").arg(index + 1).arg(count);
}

} // namespace

void Editor::confirmRedactions()
{
    const QList<AnnotationItem> marks = redactionMarks();
    if (marks.isEmpty()) {
        showToast(QStringLiteral("Nothing marked yet. Drag across what you want gone."), QStringLiteral("eye.slash"),
                  Toast::Style::info);
        return;
    }
    if (!m_windowHost || !m_windowHost->window())
        return;
    const int n = int(marks.size());
    const int p = distinctPages(marks);
    AlertRequest alert;
    alert.warning = true;
    alert.message = QStringLiteral("Redact %1 area%2?").arg(n).arg(n == 1 ? QString() : QStringLiteral("s"));
    alert.informativeText =
        QStringLiteral("Everything under the marks is removed for good: text, images, the lot. Affected pages (%1) "
                       "become images, then get re-read so the rest stays searchable. You can undo until you close "
                       "the document, but once it\u2019s saved, it\u2019s gone.")
            .arg(p);
    alert.buttons = {QStringLiteral("Redact"), QStringLiteral("Cancel")};
    alert.destructiveButton = 0;
    QPointer<Editor> self(this);
    m_windowHost->runAlert(alert, [self](int button) {
        if (button == 0 && self)
            self->applyRedactions();
    });
}

void Editor::applyRedactions()
{
    if (m_progress)
        return;
    const QList<PageGroup> groups = groupByPage(redactionMarks());
    if (groups.isEmpty())
        return;
    const int count = int(groups.size());
    const RunningTaskPtr task =
        startRunningTask(TaskProgress{TaskProgress::Kind::generic, QStringLiteral("Redacting\u2026"), 0.0, {}});

    auto swaps = std::make_shared<QList<PageSwap>>();
    auto removed = std::make_shared<RemovedText>();
    QPointer<Editor> self(this);
    TaskLoop loop;
    loop.step = [self, groups, count, swaps, removed](int i, std::function<void()> next) {
        if (self->m_progress) {
            TaskProgress progress = *self->m_progress;
            progress.fraction = double(i) / count;
            progress.title = redactingTitle(i, count);
            self->setProgress(progress);
        }
        const PageGroup& group = groups[i];
        std::optional<core::PDFOps::PageSnapshot> snapshot = core::PDFOps::snapshot(*group.page);
        if (!snapshot)
            return false;
        QList<QRectF> blackened;
        for (const QRectF& bounds : group.bounds)
            blackened.append(bounds.adjusted(-1, -1, 1, 1));
        const pdf::PagePtr page = group.page;
        // Read before the page becomes a picture: what goes with the marks goes from the rest of the file.
        RemovedText underMarks{core::PDFOps::wordsUnder(*page, blackened),
                               core::PDFOps::widgetsUnder(*page, blackened)};
        runDetached<std::optional<RedactedPage>>(
            self->detachedRunner(), self,
            [snapshot = *snapshot, blackened] { return renderRedactedPage(snapshot, blackened); },
            [self, page, blackened, swaps, removed, underMarks, next](std::optional<RedactedPage> result) {
                // A page deleted while it was rendered stays deleted, with its annotations intact.
                if (result && self->pdfDocument()->indexOf(page) >= 0) {
                    const QImage decoded = QImage::fromData(result->jpeg);
                    const pdf::PagePtr rebuilt =
                        decoded.isNull() ? nullptr
                                         : core::PDFOps::rebuildPage(*page, core::PDFOps::PageBase::raster(result->jpeg),
                                                                     result->lines);
                    if (rebuilt) {
                        swaps->append(PageSwap{page, rebuilt, annotationList(*page),
                                               core::PDFOps::annotationsKept(*page, blackened)});
                        removed->words += underMarks.words;
                        removed->widgets.insert(removed->widgets.end(), underMarks.widgets.begin(),
                                                underMarks.widgets.end());
                    }
                }
                next();
            });
        return true;
    };
    loop.finish = [self, swaps, removed] {
        if (!self)
            return;
        // A run that could rebuild no page leaves every mark in place: it claims no success and leaves no
        // empty undo entry behind.
        if (!swaps->isEmpty()) {
            removed->words.removeDuplicates();
            self->swapPages(*swaps, QStringLiteral("Apply Redactions"),
                            pdf::prepareRedactionScrub(*self->pdfDocument(), removed->words, removed->widgets));
        }
        self->endRunningTask();
        if (swaps->isEmpty())
            self->showToast(QStringLiteral("Couldn\u2019t redact these pages. The marks are still in place."),
                            QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
        else
            self->showToast(QStringLiteral("Redacted. Gone for good once you save."),
                            QStringLiteral("checkmark.shield.fill"), Toast::Style::success);
    };
    TaskLoop::run(self, task, count, false, std::move(loop));
}

} // namespace vmk
