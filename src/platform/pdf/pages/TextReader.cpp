#include "platform/pdf/pages/TextReader.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/SourceCopies.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/engine/Watchdog.h"
#include "platform/services/HeapTrim.h"
#include "platform/services/ThreadHandOff.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <mutex>
#include <vector>

namespace vmk::pdf {

using namespace detail;

namespace {

// Pages per piece of worker work: small enough that the first hits come back at once, large enough that
// handing pieces back costs nothing next to reading them.
constexpr int kChunkPages = 8;
// The document's first pages go out in smaller pieces, so that several workers read them at once: a hit
// near the start comes back while the page showing is still being drawn.
constexpr int kFirstChunkPages = 2;
constexpr int kFirstPages = 32;
// The main thread copies changed pages and hands results over for at most this long per event-loop turn.
constexpr qint64 kMainThreadSliceMs = 15;

// Where pages are read: a pool of its own, not the process's global one, which the application waits for
// when it ends (saves and other writes run there). A page that takes minutes to read (a picture whose
// decoder never looks at the cancel flag) must not keep a closed application alive; the workers touch
// nothing but what their work owns, so the pool is never torn down nor waited for.
QThreadPool* readingPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("Vellumark.text"));
        p->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        return p;
    }();
    return pool;
}

struct Item {
    PagePtr page;                                // main thread only
    std::shared_ptr<const TextLayout> layout;    // known before, or read by a worker
    int sourceNumber = -1;                       // where a worker finds the page; -1: in a copy of the page
    quint64 textVersion = 0;                     // of the page when what the worker reads was taken
    QList<QPair<int, int>> found;
    bool visited = false;
};

struct Chunk {
    int first = 0;
    int count = 0;
    bool done = false;
};

// Closing the copies frees everything each of them read (its page objects, fonts and cross-reference
// table): on a long document that is a hundred milliseconds, which the window would feel as a freeze at
// the end of every search. A worker lets go of them instead; the workers still reading from them keep
// them open until they are done.
void releaseOnWorker(std::shared_ptr<SourceCopies> copies)
{
    if (!copies)
        return;
    // What the copies read is then free but kept by the heaps of the threads that read it, and the
    // document's own release, which hands such memory back, may long be over.
    QThreadPool::globalInstance()->start(platform::handedOver([held = std::move(copies)]() mutable {
        const bool last = held.use_count() == 1;
        held.reset();
        if (last)
            platform::trimHeapSoon();
    }));
}

std::shared_ptr<const TextLayout> readFromCopy(SourceCopies& copies, int number, const RecordBudget& budget,
                                               const RecordCancel& cancel)
{
    SourceCopies::Copy* copy = copies.take();
    if (!copy)
        return nullptr;
    fz_context* c = copy->context;
    pdf_document* doc = copy->doc;
    std::shared_ptr<const TextLayout> layout;
    pdf_obj* page = nullptr;
    // The page's dictionary is found by its number: nothing of the page tree is read for it.
    const bool ok = guarded(c, [&] {
        page = pdf_load_object(c, doc, number);
        if (!pdf_is_dict(c, page) || pdf_name_eq(c, pdf_dict_get(c, page, PDF_NAME(Type)), PDF_NAME(Pages)))
            fz_throw(c, FZ_ERROR_GENERIC, "not a page");
    });
    if (ok) {
        // The budget drawing has: a page that would read for minutes or take gigabytes (a decompression
        // bomb) is given up and delivered without its text.
        WatchedCookie watched(budget.milliseconds, &cancel.link());
        bool overBudget = false;
        {
            ScopedAllocationBudget memory(budget.bytes, &watched.cookie()->abort);
            layout = readPageObjectText(c, doc, page, watched.cookie());
            overBudget = memory.exceeded();
        }
        if (overBudget || watched.cancelled() || watched.timedOut() || abortRaised(&watched.cookie()->abort))
            layout.reset();
    }
    pdf_drop_obj(c, page);
    copies.give(copy);
    return layout;
}

} // namespace

int detail::unchangedPageNumber(fz_context* c, const DocumentState& document, const Page& page)
{
    pdf_document* doc = document.doc;
    const ObjRef& ref = page.state().ref;
    if ((!document.source && !document.fill) || ref.doc != doc || !ref.obj || pdf_was_repaired(c, doc))
        return -1;
    const int number = ref.num();
    // Without an incremental section nothing has been changed or added since opening.
    if (doc->num_incremental_sections == 0)
        return number;
    int result = number;
    auto changed = [&](pdf_obj* obj) { return pdf_is_indirect(c, obj) && pdf_xref_is_incremental(c, doc, pdf_to_num(c, obj)); };
    const bool ok = guarded(c, [&] {
        if (number >= pdf_xref_len(c, doc) || pdf_xref_is_incremental(c, doc, number)) {
            result = -1;
            return;
        }
        pdf_obj* contents = pdf_dict_get(c, ref.obj, PDF_NAME(Contents));
        if (changed(contents) || changed(pdf_dict_get(c, ref.obj, PDF_NAME(Resources))))
            result = -1;
        else if (pdf_is_array(c, contents))
            for (int i = 0, n = pdf_array_len(c, contents); i < n && result >= 0; ++i)
                if (changed(pdf_array_get(c, contents, i)))
                    result = -1;
    });
    return ok ? result : -1;
}

struct TextReader::State {
    quint64 generation = 0;
    bool running = false;
    std::vector<Item> items;
    std::vector<Chunk> chunks;
    int nextChunk = 0;      // the first chunk not delivered yet
    int nextInChunk = 0;    // within it, the first item not delivered yet
    int nextToSend = 0;     // the first chunk not handed to a worker yet
    int inFlight = 0;       // chunks with a worker
    Visit visit;
    std::shared_ptr<RecordCancel> cancelled;
    std::shared_ptr<SourceCopies> copies;
    bool deliveryScheduled = false;
    bool sendScheduled = false;
};

TextReader::TextReader(QObject* parent) : QObject(parent), m_state(std::make_unique<State>()) {}

TextReader::~TextReader() { cancel(); }

bool TextReader::isRunning() const { return m_state->running; }

int TextReader::openCopies() { return SourceCopies::openCount(); }

void TextReader::cancel()
{
    ++m_state->generation;
    m_state->running = false;
    if (m_state->cancelled)
        m_state->cancelled->cancel();
    m_state->cancelled.reset();
    releaseOnWorker(std::move(m_state->copies));
    m_state->items.clear();
    m_state->chunks.clear();
    m_state->inFlight = 0;
    // Pending hand-backs belong to the old generation and are ignored.
}

void TextReader::start(const DocumentPtr& document, Visit visit, int pageLimit)
{
    cancel();
    State& s = *m_state;
    s.running = true;
    s.visit = std::move(visit);
    s.nextChunk = 0;
    s.nextInChunk = 0;
    s.nextToSend = 0;
    s.deliveryScheduled = false;
    s.sendScheduled = false;
    s.cancelled = std::make_shared<RecordCancel>();
    const quint64 generation = s.generation;

    if (document && !document->isLocked()) {
        std::vector<PagePtr> pages = document->pages();
        if (pageLimit >= 0 && size_t(pageLimit) < pages.size())
            pages.resize(size_t(pageLimit));
        const DocumentState& d = document->state();
        fz_context* c = ctx();
        if (d.source || d.fill)
            s.copies = std::make_shared<SourceCopies>(d.source, d.password, SourceCopies::Contexts::separate, 0, d.fill);
        s.items.resize(pages.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            Item& item = s.items[i];
            item.page = pages[i];
            if (!item.page)
                continue;
            item.textVersion = item.page->state().textVersion;
            if (item.page->hasLoadedText())
                item.layout = item.page->sharedTextLayout();
            else if (s.copies)
                item.sourceNumber = unchangedPageNumber(c, d, *item.page);
        }
    }
    const int count = int(s.items.size());
    for (int first = 0; first < count;) {
        const int size = std::min(first < kFirstPages ? kFirstChunkPages : kChunkPages, count - first);
        s.chunks.push_back(Chunk{first, size, false});
        first += size;
    }

    send(generation);
    QPointer<TextReader> self(this);
    QTimer::singleShot(0, this, [self, generation] {
        if (self)
            self->deliver(generation);
    });
}

void TextReader::send(quint64 generation)
{
    State& s = *m_state;
    if (generation != s.generation || !s.running)
        return;
    // Chunks go out a few at a time, so that the copies of changed pages waiting for a worker stay few.
    const int inFlightLimit = 2 * std::max(1, readingPool()->maxThreadCount());
    QElapsedTimer slice;
    slice.start();
    while (s.nextToSend < int(s.chunks.size()) && s.inFlight < inFlightLimit) {
        if (slice.elapsed() >= kMainThreadSliceMs) {
            if (!s.sendScheduled) {
                s.sendScheduled = true;
                QPointer<TextReader> self(this);
                QTimer::singleShot(0, this, [self, generation] {
                    if (!self || self->m_state->generation != generation)
                        return;
                    self->m_state->sendScheduled = false;
                    self->send(generation);
                    self->deliver(generation);
                });
            }
            return;
        }
        sendChunk(generation, s.nextToSend++);
    }
}

void TextReader::sendChunk(quint64 generation, int k)
{
    State& s = *m_state;
    Chunk& chunk = s.chunks[size_t(k)];
    // Workers get plain values: layouts already known, object numbers to read, copies of changed pages
    // (copying is all this thread does), and the visit.
    struct Job {
        std::shared_ptr<const TextLayout> layout;
        int number;
        std::shared_ptr<PageCapture> capture;
    };
    auto jobs = std::make_shared<std::vector<Job>>();
    bool anyWork = false;
    for (int i = chunk.first; i < chunk.first + chunk.count; ++i) {
        Item& item = s.items[size_t(i)];
        std::shared_ptr<PageCapture> capture;
        if (item.page && !item.layout && item.sourceNumber < 0) {
            item.textVersion = item.page->state().textVersion;
            capture = PageCapture::take(*item.page, false);
        }
        jobs->push_back(Job{item.layout, item.sourceNumber, capture});
        anyWork = anyWork || item.layout || item.sourceNumber >= 0 || capture;
    }
    if (!anyWork) {
        chunk.done = true;
        return;
    }
    struct Answer {
        std::shared_ptr<const TextLayout> layout;
        QList<QPair<int, int>> found;
        bool visited = false;
    };
    auto answers = std::make_shared<std::vector<Answer>>(jobs->size());
    ++s.inFlight;
    QPointer<TextReader> self(this);
    auto* watcher = new QFutureWatcher<void>(this);
    // The answers come back through Qt's future, which the thread checker cannot see into.
    const platform::HandOff handBack;
    connect(watcher, &QFutureWatcher<void>::finished, this, [self, watcher, generation, k, answers, handBack] {
        handBack.acquire();
        watcher->deleteLater();
        if (!self || self->m_state->generation != generation)
            return;
        State& state = *self->m_state;
        Chunk& done = state.chunks[size_t(k)];
        for (int j = 0; j < done.count; ++j) {
            Item& item = state.items[size_t(done.first + j)];
            Answer& answer = (*answers)[size_t(j)];
            if (!answer.layout)
                continue;
            item.layout = std::move(answer.layout);
            item.found = std::move(answer.found);
            item.visited = answer.visited;
        }
        done.done = true;
        --state.inFlight;
        self->send(generation);
        self->deliver(generation);
    });
    watcher->setFuture(QtConcurrent::run(readingPool(), platform::handedOver(
                                         [jobs, answers, copies = s.copies, visit = s.visit, cancelled = s.cancelled,
                                          handBack] {
        // Every page is read within the budget its drawing has; cancelling stops it sooner.
        const RecordBudget budget;
        for (size_t j = 0; j < jobs->size() && !cancelled->isCancelled(); ++j) {
            Job& job = (*jobs)[j];
            Answer& answer = (*answers)[j];
            if (job.layout)
                answer.layout = job.layout;
            else if (job.number >= 0 && copies)
                answer.layout = readFromCopy(*copies, job.number, budget, *cancelled);
            else if (job.capture)
                answer.layout = job.capture->readText(budget, cancelled.get()).text;
            job.capture.reset(); // the copy is let go as soon as it is read
            if (answer.layout && visit) {
                answer.found = visit(*answer.layout);
                answer.visited = true;
            }
        }
        handBack.release();
    })));
}

void TextReader::deliver(quint64 generation)
{
    State& s = *m_state;
    if (generation != s.generation || !s.running)
        return;
    QElapsedTimer slice;
    slice.start();
    while (s.nextChunk < int(s.chunks.size())) {
        const Chunk& chunk = s.chunks[size_t(s.nextChunk)];
        if (!chunk.done)
            return; // its hand-back calls again
        while (s.nextInChunk < chunk.count) {
            if (slice.elapsed() >= kMainThreadSliceMs) {
                // Let the event loop breathe before going on.
                if (!s.deliveryScheduled) {
                    s.deliveryScheduled = true;
                    QPointer<TextReader> self(this);
                    QTimer::singleShot(0, this, [self, generation] {
                        if (!self)
                            return;
                        self->m_state->deliveryScheduled = false;
                        self->deliver(generation);
                    });
                }
                return;
            }
            const int index = chunk.first + s.nextInChunk++;
            Item& item = s.items[size_t(index)];
            const PagePtr page = std::move(item.page);
            if (!page)
                continue;
            // Text read from content the page no longer has is not its text.
            if (item.layout && page->state().textVersion != item.textVersion) {
                item.layout.reset();
                item.visited = false;
            }
            // Read meanwhile by someone else; a page nobody could read is delivered without text, never
            // read here: interpreting a page may take minutes.
            if (!item.layout && page->hasLoadedText()) {
                item.layout = page->sharedTextLayout();
                item.visited = false;
            }
            if (item.layout) {
                page->adoptText(item.layout);
                if (!item.visited && s.visit)
                    item.found = s.visit(*item.layout);
            } else {
                item.found.clear();
            }
            const QList<QPair<int, int>> found = std::move(item.found);
            item.layout.reset();
            emit pageRead(index, page, found);
            // A slot may have cancelled or restarted the read.
            if (generation != s.generation || !s.running)
                return;
        }
        ++s.nextChunk;
        s.nextInChunk = 0;
    }
    s.running = false;
    s.items.clear();
    s.chunks.clear();
    releaseOnWorker(std::move(s.copies));
    emit finished();
}

} // namespace vmk::pdf
