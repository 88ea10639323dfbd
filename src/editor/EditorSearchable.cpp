#include "editor/Editor.h"

#include "core/PageRebuild.h"
#include "editor/CostOrderedLoop.h"
#include "editor/PageWork.h"
#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/TextReader.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vmk {

namespace {

using core::PDFOps::RecognizedLine;

QString readingTitle(int index, int count)
{
    return QStringLiteral("Reading page %1 of %2\u2026").arg(index + 1).arg(count);
}

QList<pdf::AnnotationPtr> annotationList(const pdf::Page& page)
{
    const std::vector<pdf::AnnotationPtr> annotations = page.annotations();
    return QList<pdf::AnnotationPtr>(annotations.begin(), annotations.end());
}

// Documents up to this long are checked for text at once; the text of longer ones is read on workers
// first, so that the check never holds up the window.
constexpr size_t kPagesCheckedAtOnce = 8;

} // namespace

bool Editor::isCheckingForText() const { return m_textCheck && m_textCheck->isRunning(); }

void Editor::makeSearchable()
{
    if (m_progress || m_isLocked || isCheckingForText())
        return;
    setShowScanSuggestion(false);
    const pdf::DocumentPtr pdf = pdfDocument();
    const std::vector<pdf::PagePtr> all = pdf->pages();
    const bool textKnown = all.size() <= kPagesCheckedAtOnce
        || std::all_of(all.begin(), all.end(), [](const pdf::PagePtr& page) { return !page || page->hasLoadedText(); });
    if (!textKnown) {
        if (!m_textCheck) {
            m_textCheck = new pdf::TextReader(this);
            // Once every page knows its text the check below is quick; a task started meanwhile wins.
            connect(m_textCheck, &pdf::TextReader::finished, this, [this] {
                if (!m_progress && !m_isLocked)
                    makeSearchable();
            });
        }
        m_textCheck->start(pdf);
        return;
    }
    QList<pdf::PagePtr> pages;
    for (const pdf::PagePtr& page : all) {
        if (page && page->text().trimmed().isEmpty())
            pages.append(page);
    }
    if (pages.isEmpty()) {
        showToast(QStringLiteral("Already searchable. Every page has text."), QStringLiteral("text.magnifyingglass"),
                  Toast::Style::info);
        return;
    }
    const int count = int(pages.size());
    const RunningTaskPtr task =
        startRunningTask(TaskProgress{TaskProgress::Kind::ocr, readingTitle(0, count), 0.0, makeCancelAction()});

    // Several pages are read at once, one per worker, the costliest first; what they read joins the results
    // in page order.
    auto images = std::make_shared<std::vector<QImage>>(size_t(count));
    auto read = std::make_shared<std::vector<QList<RecognizedLine>>>(size_t(count));
    auto done = std::make_shared<int>(0);
    QPointer<Editor> self(this);
    CostOrderedLoop loop;
    loop.prepare = [self, pages, images](int i, std::function<void(std::optional<double>)> prepared) {
        std::optional<core::PDFOps::PageSnapshot> snapshot = core::PDFOps::snapshot(*pages[i]);
        if (!snapshot)
            return false;
        runDetached<std::optional<PageForOCR>>(
            self->detachedRunner(), self, [snapshot = *snapshot] { return preparePageForOCR(snapshot); },
            [images, i, prepared](std::optional<PageForOCR> page) {
                if (page)
                    (*images)[size_t(i)] = std::move(page->image);
                prepared(page ? std::optional<double>(page->cost) : std::nullopt);
            });
        return true;
    };
    loop.read = [self, images, read](int i, std::function<void()> back) {
        runDetached<QList<RecognizedLine>>(
            self->detachedRunner(), self, [image = std::exchange((*images)[size_t(i)], {})] { return readPageForOCR(image); },
            [read, i, back](QList<RecognizedLine> lines) {
                (*read)[size_t(i)] = std::move(lines);
                back();
            });
    };
    loop.completed = [self, count, done](int) {
        // Pages come back in any order: the title counts the pages read, and so does the bar.
        const int n = ++*done;
        if (self->m_progress && n < count) {
            TaskProgress progress = *self->m_progress;
            progress.fraction = double(n) / count;
            progress.title = readingTitle(n, count);
            self->setProgress(progress);
        }
    };
    loop.finish = [self, pages, images, read] {
        images->clear(); // pages prepared but not read when Stop came
        if (!self)
            return;
        const pdf::DocumentPtr pdf = self->pdfDocument();
        QList<PageSwap> swaps;
        for (int i = 0; i < int(pages.size()); ++i) {
            const pdf::PagePtr& page = pages[i];
            const QList<RecognizedLine>& lines = (*read)[size_t(i)];
            // A page deleted meanwhile stays deleted; rebuilding it would strip its annotations for nothing
            // and leave an undo of the deletion without them.
            if (lines.isEmpty() || pdf->indexOf(page) < 0)
                continue;
            const pdf::PagePtr rebuilt = core::PDFOps::rebuildPage(*page, core::PDFOps::PageBase::vector(), lines);
            if (!rebuilt)
                continue;
            swaps.append(PageSwap{page, rebuilt, annotationList(*page), core::PDFOps::annotationsKept(*page)});
        }
        if (!swaps.isEmpty())
            self->swapPages(swaps, QStringLiteral("Make Searchable"));
        self->endRunningTask();
        const int n = int(swaps.size());
        if (n > 0) {
            self->showToast(QStringLiteral("Text recognized. %1 page%2 now searchable.")
                                .arg(n)
                                .arg(n == 1 ? QStringLiteral(" is") : QStringLiteral("s are")),
                            QStringLiteral("text.viewfinder"), Toast::Style::success);
        } else {
            self->showToast(QStringLiteral("Found no text to read. Is it upside down, or just pictures?"),
                            QStringLiteral("questionmark.circle.fill"), Toast::Style::info);
        }
    };
    CostOrderedLoop::run(self, task, count, detachedRunner().workerCount(), true, std::move(loop));
}

} // namespace vmk
