#include "editor/Editor.h"

#include "core/PageRebuild.h"
#include "editor/PageWork.h"
#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/PageCapture.h"
#include "platform/pdf/TextReader.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vmk {

namespace {

using core::PDFOps::RecognizedLine;
using PageLines = QList<QPair<pdf::PagePtr, QList<RecognizedLine>>>;

QString readingTitle(int index, int count)
{
    return QStringLiteral("Reading page %1 of %2\u2026").arg(index + 1).arg(count);
}

QList<pdf::AnnotationPtr> annotationList(const pdf::Page& page)
{
    const std::vector<pdf::AnnotationPtr> annotations = page.annotations();
    return QList<pdf::AnnotationPtr>(annotations.begin(), annotations.end());
}

// Pages whose text is known and empty, in page order.
QList<pdf::PagePtr> pagesWithoutText(const std::vector<pdf::PagePtr>& pages)
{
    QList<pdf::PagePtr> result;
    for (const pdf::PagePtr& page : pages) {
        if (page && page->hasLoadedText() && page->text().trimmed().isEmpty())
            result.append(page);
    }
    return result;
}

} // namespace

bool Editor::isCheckingForText() const { return m_textCheck && m_textCheck->isRunning(); }

void Editor::makeSearchable()
{
    if (m_progress || m_isLocked || isCheckingForText())
        return;
    setShowScanSuggestion(false);
    const pdf::DocumentPtr pdf = pdfDocument();
    const std::vector<pdf::PagePtr> all = pdf->pages();
    if (std::all_of(all.begin(), all.end(), [](const pdf::PagePtr& page) { return !page || page->hasLoadedText(); })) {
        readPagesWithoutText(pagesWithoutText(all));
        return;
    }
    // Reading a page's text interprets the page, which a hostile or huge page can make last minutes: the
    // text is read on workers first, changed pages from copies. A page that cannot be read is left alone:
    // drawing it for recognition would fail the same way.
    if (m_textCheck)
        m_textCheck->deleteLater();
    m_textCheck = new pdf::TextReader(this);
    auto checked = std::make_shared<std::vector<pdf::PagePtr>>();
    connect(m_textCheck, &pdf::TextReader::pageRead, this,
            [checked](int, const pdf::PagePtr& page) { checked->push_back(page); });
    connect(m_textCheck, &pdf::TextReader::finished, this, [this, checked] {
        // A task started meanwhile wins; a document replaced meanwhile was not asked about.
        if (m_progress || m_isLocked)
            return;
        const std::unordered_set<const pdf::Page*> asked = [&] {
            std::unordered_set<const pdf::Page*> set;
            for (const pdf::PagePtr& page : *checked)
                set.insert(page.get());
            return set;
        }();
        std::vector<pdf::PagePtr> kept;
        for (const pdf::PagePtr& page : pdfDocument()->pages()) {
            if (page && asked.count(page.get()))
                kept.push_back(page);
        }
        if (kept.empty() && !checked->empty())
            return;
        readPagesWithoutText(pagesWithoutText(kept));
    });
    m_textCheck->start(pdf);
}

void Editor::readPagesWithoutText(const QList<pdf::PagePtr>& pages)
{
    if (pages.isEmpty()) {
        showToast(QStringLiteral("Already searchable. Every page has text."), QStringLiteral("text.magnifyingglass"),
                  Toast::Style::info);
        return;
    }
    const int count = int(pages.size());
    const RunningTaskPtr task =
        startRunningTask(TaskProgress{TaskProgress::Kind::ocr, readingTitle(0, count), 0.0, makeCancelAction()});

    // Several pages are read at once, one per worker; what they read joins the results in page order.
    auto results = std::make_shared<PageLines>();
    auto read = std::make_shared<std::vector<QList<RecognizedLine>>>(size_t(count));
    QPointer<Editor> self(this);
    ParallelTaskLoop loop;
    loop.start = [self, pages, read](int i, std::function<void()> done) {
        // Copying the page is all this thread does; the worker interprets it.
        std::shared_ptr<const pdf::PageCapture> capture = pdf::PageCapture::take(*pages[i], false);
        if (!capture)
            return false;
        runDetached<QList<RecognizedLine>>(
            self->detachedRunner(), self, [capture] { return renderCapturedPageForOCR(*capture); },
            [read, i, done](QList<RecognizedLine> lines) {
                (*read)[size_t(i)] = std::move(lines);
                done();
            });
        return true;
    };
    loop.completed = [self, pages, count, results, read](int i) {
        QList<RecognizedLine> lines = std::exchange((*read)[size_t(i)], {});
        if (!lines.isEmpty())
            results->append({pages[i], std::move(lines)});
        // The title names the first page not read yet; the bar shows the pages read so far.
        if (self->m_progress && i + 1 < count) {
            TaskProgress progress = *self->m_progress;
            progress.fraction = double(i + 1) / count;
            progress.title = readingTitle(i + 1, count);
            self->setProgress(progress);
        }
    };
    loop.finish = [self, results] {
        if (!self)
            return;
        const pdf::DocumentPtr pdf = self->pdfDocument();
        QList<PageSwap> swaps;
        for (const auto& [page, lines] : *results) {
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
    ParallelTaskLoop::run(self, task, count, detachedRunner().workerCount(), true, std::move(loop));
}

} // namespace vmk
