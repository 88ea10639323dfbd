#include "editor/Editor.h"

#include "core/PageRebuild.h"
#include "core/SystemAnnotations.h"
#include "editor/PageLook.h"
#include "editor/PageWork.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/scrub/RedactionScrub.h"

#include <QDeadlineTimer>
#include <QTimer>

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

Outcome collect(const pdf::Document& pdf, const QList<PageGroup>& groups, const std::vector<PageInWork>& work)
{
    Outcome outcome;
    for (int i = 0; i < int(groups.size()); ++i) {
        const pdf::PagePtr& page = groups[i].page;
        const std::optional<RedactedDrawing>& result = work[size_t(i)].result;
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

void report(Editor& editor, int redacted, int groups, int changed)
{
    const int left = groups - redacted;
    if (redacted == 0 && changed > 0) {
        editor.showToast(QStringLiteral("These pages changed while they were redacted. The marks are still in place: "
                                        "apply them again."),
                         QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
    } else if (redacted == 0) {
        editor.showToast(QStringLiteral("Couldn\u2019t redact these pages. The marks are still in place."),
                         QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
    } else if (left > 0) {
        // A partial run says so: the marks left behind are not gone from the file.
        editor.showToast(QStringLiteral("Redacted %1 of %2 pages. The others keep their marks: they changed "
                                        "meanwhile or couldn\u2019t be read.")
                             .arg(redacted)
                             .arg(groups),
                         QStringLiteral("exclamationmark.triangle.fill"), Toast::Style::info);
    } else {
        editor.showToast(QStringLiteral("Redacted. Gone for good once you save."), QStringLiteral("checkmark.shield.fill"),
                         Toast::Style::success);
    }
}

// How long one slice of looking for the words in the rest of the document may hold up the window.
constexpr int kScrubSliceMs = 20;

// The end of the run, once every page is back: the redacted pages go in with what they take from the rest
// of the file. That is looked for a slice at a time between the window's turns (a document may have tens
// of thousands of annotations and fields); a change to the document meanwhile starts it over, so that the
// pages and the scrub always fit the document they are applied to. Kept alive by its next slice only.
class ApplyRedactedPages : public std::enable_shared_from_this<ApplyRedactedPages> {
public:
    ApplyRedactedPages(QPointer<Editor> editor, QList<PageGroup> groups, std::shared_ptr<std::vector<PageInWork>> work)
        : m_editor(std::move(editor)), m_groups(std::move(groups)), m_work(std::move(work))
    {
    }

    static void start(QPointer<Editor> editor, QList<PageGroup> groups, std::shared_ptr<std::vector<PageInWork>> work)
    {
        std::make_shared<ApplyRedactedPages>(std::move(editor), std::move(groups), std::move(work))->begin();
    }

private:
    void begin()
    {
        if (!m_editor)
            return;
        m_pdf = m_editor->pdfDocument();
        m_outcome = collect(*m_pdf, m_groups, *m_work);
        // A run that could redact no page leaves every mark in place: it claims no success and leaves no
        // empty undo entry behind.
        if (m_outcome.swaps.isEmpty()) {
            m_editor->endRunningTask();
            report(*m_editor, 0, int(m_groups.size()), m_outcome.changed);
            return;
        }
        m_scrub = std::make_unique<pdf::RedactionScrub>(*m_pdf, m_outcome.words, m_outcome.widgets, m_outcome.dropped);
        m_versions = versions();
        slice();
    }

    std::pair<int, int> versions() const { return {m_editor->documentVersion(), m_editor->annotationVersion()}; }

    void slice()
    {
        if (!m_editor)
            return;
        if (m_editor->pdfDocument() != m_pdf || versions() != m_versions) {
            m_scrub.reset();
            begin();
            return;
        }
        if (!m_scrub->step(QDeadlineTimer(kScrubSliceMs))) {
            QTimer::singleShot(0, m_editor.data(), [next = shared_from_this()] { next->slice(); });
            return;
        }
        m_editor->swapPages(m_outcome.swaps, QStringLiteral("Apply Redactions"), m_scrub->edits(), true);
        m_editor->endRunningTask();
        report(*m_editor, int(m_outcome.swaps.size()), int(m_groups.size()), m_outcome.changed);
    }

    QPointer<Editor> m_editor;
    QList<PageGroup> m_groups;
    std::shared_ptr<std::vector<PageInWork>> m_work;
    pdf::DocumentPtr m_pdf;
    Outcome m_outcome;
    std::unique_ptr<pdf::RedactionScrub> m_scrub;
    std::pair<int, int> m_versions;
};

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
    loop.finish = [self, groups, work] { ApplyRedactedPages::start(self, groups, work); };
    TaskLoop::run(self, task, count, false, std::move(loop));
}

} // namespace vmk
