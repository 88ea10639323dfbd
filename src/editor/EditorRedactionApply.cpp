#include "editor/Editor.h"

#include "core/PageRebuild.h"
#include "core/SystemAnnotations.h"
#include "editor/PageLook.h"
#include "editor/PageWork.h"
#include "platform/pdf/Annotation.h"
#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/PageCapture.h"
#include "platform/pdf/RedactionScrub.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace vmk {

namespace {

// A marked page and the bounds of its marks (page space, in the page's annotation order).
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

QList<QRectF> markBounds(const pdf::Page& page)
{
    QList<QRectF> bounds;
    for (const pdf::AnnotationPtr& annotation : page.annotations())
        if (core::isRedactionMark(*annotation))
            bounds.append(annotation->bounds());
    return bounds;
}

// What is blackened: each mark grown by a point on every side.
QList<QRectF> blackened(const QList<QRectF>& bounds)
{
    QList<QRectF> rects;
    for (const QRectF& r : bounds)
        rects.append(r.adjusted(-1, -1, 1, 1));
    return rects;
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

// A marked page while a worker redacts its copy.
struct PageInWork {
    PageLook seen;
    std::optional<RedactedDrawing> result;
};

// The redacted pages put into the document at the end, and what goes with them from the rest of the file.
struct Outcome {
    QList<PageSwap> swaps;
    QStringList words;
    std::vector<pdf::AnnotationPtr> widgets;
    std::vector<pdf::AnnotationPtr> dropped; // annotations the redacted pages leave out
    int changed = 0;                         // pages changed meanwhile, left as they are
};

Outcome collect(const pdf::Document& pdf, const QList<PageGroup>& groups, std::vector<PageInWork>& work)
{
    Outcome outcome;
    for (int i = 0; i < int(groups.size()); ++i) {
        const pdf::PagePtr& page = groups[i].page;
        std::optional<RedactedDrawing> result = std::exchange(work[size_t(i)].result, std::nullopt);
        // A page deleted meanwhile stays deleted, with its annotations intact.
        if (!result || pdf.indexOf(page) < 0)
            continue;
        // A page redrawn, turned or cropped meanwhile, or whose marks changed, was redacted as it no longer
        // is: it keeps its marks, to be applied again.
        if (!(PageLook::of(*page) == work[size_t(i)].seen) || markBounds(*page) != groups[i].bounds) {
            ++outcome.changed;
            continue;
        }
        const QList<QRectF> rects = blackened(groups[i].bounds);
        const QList<pdf::AnnotationPtr> before = annotationList(*page);
        const QList<pdf::AnnotationPtr> kept = core::PDFOps::annotationsKept(*page, rects);
        outcome.swaps.append(PageSwap{page, result->drawing, before, kept});
        for (const pdf::AnnotationPtr& annotation : before)
            if (!kept.contains(annotation))
                outcome.dropped.push_back(annotation);
        outcome.words += result->words;
        const std::vector<pdf::AnnotationPtr> widgets = core::PDFOps::widgetsUnder(*page, rects);
        outcome.widgets.insert(outcome.widgets.end(), widgets.begin(), widgets.end());
    }
    outcome.words.removeDuplicates();
    return outcome;
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

    // Interpreting a page can take minutes: each marked page is copied here (by reference wherever the
    // engine can) and drawn, read and rebuilt on a worker; only the exchange of drawings happens here, for
    // all pages at once in one undo step.
    auto work = std::make_shared<std::vector<PageInWork>>(size_t(count));
    QPointer<Editor> self(this);
    TaskLoop loop;
    loop.step = [self, groups, count, work](int i, std::function<void()> next) {
        if (self->m_progress) {
            TaskProgress progress = *self->m_progress;
            progress.fraction = double(i) / count;
            progress.title = redactingTitle(i, count);
            self->setProgress(progress);
        }
        const pdf::PagePtr& page = groups[i].page;
        if (self->pdfDocument()->indexOf(page) < 0)
            return false;
        std::shared_ptr<const pdf::PageCapture> capture = pdf::PageCapture::take(*page, false);
        if (!capture)
            return false;
        (*work)[size_t(i)].seen = PageLook::of(*page);
        runDetached<std::optional<RedactedDrawing>>(
            self->detachedRunner(), self,
            [capture, rects = blackened(groups[i].bounds)] { return redactCapturedPage(*capture, rects); },
            [work, i, next](std::optional<RedactedDrawing> result) {
                (*work)[size_t(i)].result = std::move(result);
                next();
            });
        return true;
    };
    loop.finish = [self, groups, work] {
        if (!self) {
            work->clear();
            return;
        }
        const Outcome outcome = collect(*self->pdfDocument(), groups, *work);
        work->clear();
        // A run that could redact no page leaves every mark in place: it claims no success and leaves no
        // empty undo entry behind.
        if (!outcome.swaps.isEmpty()) {
            self->swapPages(outcome.swaps, QStringLiteral("Apply Redactions"),
                            pdf::prepareRedactionScrub(*self->pdfDocument(), outcome.words, outcome.widgets,
                                                       outcome.dropped));
        }
        self->endRunningTask();
        const int redacted = int(outcome.swaps.size());
        const int left = int(groups.size()) - redacted;
        if (redacted == 0 && outcome.changed > 0) {
            self->showToast(QStringLiteral("These pages changed while they were redacted. The marks are still in "
                                           "place: apply them again."),
                            QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
        } else if (redacted == 0) {
            self->showToast(QStringLiteral("Couldn\u2019t redact these pages. The marks are still in place."),
                            QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
        } else if (left > 0) {
            // A partial run says so: the marks left behind are not gone from the file.
            self->showToast(QStringLiteral("Redacted %1 of %2 pages. The others keep their marks: they changed "
                                           "meanwhile or couldn\u2019t be read.")
                                .arg(redacted)
                                .arg(groups.size()),
                            QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
        } else {
            self->showToast(QStringLiteral("Redacted. Gone for good once you save."),
                            QStringLiteral("checkmark.shield.fill"), Toast::Style::success);
        }
    };
    TaskLoop::run(self, task, count, false, std::move(loop));
}

} // namespace vmk
