#include "editor/Editor.h"

#include "core/PageRebuild.h"
#include "editor/CostOrderedLoop.h"
#include "editor/PageLook.h"
#include "editor/PageWork.h"
#include "platform/ocr/RecognizerPool.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/TextReader.h"

#include <algorithm>
#include <unordered_set>
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

struct PageInWork {
    std::shared_ptr<const pdf::PageCapture> capture; // from copying until it is read
    PageLook seen;
    QImage image;        // from rendering until it is read
    pdf::PagePtr rebuilt; // with the text read on it, when there was any
};

// On a worker: the page's text recognised on its image and, when there is any, the page rebuilt from its
// copy with that text as an invisible layer.
pdf::PagePtr rebuildWithReadText(const QImage& image, const pdf::PageCapture& capture, const QSizeF& display)
{
    const QList<RecognizedLine> lines = readPageForOCR(image);
    if (lines.isEmpty())
        return nullptr;
    pdf::Result<pdf::PagePtr> rebuilt =
        capture.rebuild(pdf::RebuildBase::vector(), core::PDFOps::layoutInvisibleText(lines, display));
    return rebuilt ? rebuilt.value() : nullptr;
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

    // Several pages are read at once, one per worker, the costliest first; what they read joins the results
    // in page order. Each page is copied here (by reference wherever the engine can) and everything that
    // moves its bytes, rendering and rebuilding it, happens on its worker; only the exchange of drawings
    // happens here.
    auto work = std::make_shared<std::vector<PageInWork>>(size_t(count));
    auto done = std::make_shared<int>(0);
    QPointer<Editor> self(this);
    CostOrderedLoop loop;
    loop.prepare = [self, pages, work](int i, std::function<void(std::optional<double>)> prepared) {
        const pdf::Page& page = *pages[i];
        std::shared_ptr<const pdf::PageCapture> capture = pdf::PageCapture::take(page, false);
        if (!capture)
            return false;
        PageInWork& item = (*work)[size_t(i)];
        item.capture = capture;
        item.seen = PageLook::of(page);
        runDetached<std::optional<PageForOCR>>(
            self->detachedRunner(), self, [capture] { return prepareCapturedPageForOCR(*capture); },
            [work, i, prepared](std::optional<PageForOCR> page) {
                if (page)
                    (*work)[size_t(i)].image = std::move(page->image);
                else
                    (*work)[size_t(i)].capture.reset();
                prepared(page ? std::optional<double>(page->cost) : std::nullopt);
            });
        return true;
    };
    loop.read = [self, work](int i, std::function<void()> back) {
        PageInWork& item = (*work)[size_t(i)];
        const QSizeF display = item.seen.display;
        runDetached<pdf::PagePtr>(
            self->detachedRunner(), self,
            [image = std::exchange(item.image, {}), capture = std::exchange(item.capture, {}), display] {
                return rebuildWithReadText(image, *capture, display);
            },
            [work, i, back](pdf::PagePtr rebuilt) {
                (*work)[size_t(i)].rebuilt = std::move(rebuilt);
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
    loop.finish = [self, pages, work] {
        if (!self) {
            work->clear();
            return;
        }
        const pdf::DocumentPtr pdf = self->pdfDocument();
        QList<PageSwap> swaps;
        for (int i = 0; i < int(pages.size()); ++i) {
            const pdf::PagePtr& page = pages[i];
            PageInWork& item = (*work)[size_t(i)];
            item.capture.reset(); // prepared but not read when Stop came
            item.image = {};
            // A page deleted meanwhile stays deleted; rebuilding it would strip its annotations for nothing
            // and leave an undo of the deletion without them. A page turned, cropped or redrawn meanwhile
            // was read as it no longer is.
            if (!item.rebuilt || pdf->indexOf(page) < 0 || !(PageLook::of(*page) == item.seen))
                continue;
            swaps.append(PageSwap{page, item.rebuilt, annotationList(*page), core::PDFOps::annotationsKept(*page)});
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
    // One page in reading per engine: as many as there are workers, while the memory available holds them.
    const int width = std::min(detachedRunner().workerCount(), platform::recognitionEngineLimit());
    CostOrderedLoop::run(self, task, count, width, true, std::move(loop));
}

} // namespace vmk
