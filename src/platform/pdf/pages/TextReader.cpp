#include "platform/pdf/pages/TextReader.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/SourceCopies.h"
#include "platform/pdf/pages/TextLanes.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/engine/Watchdog.h"
#include "platform/services/ThreadHandOff.h"
#include "platform/services/HeapTrim.h"
#include "platform/services/ThreadStarter.h"
#include "platform/services/BackgroundPool.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace vmk::pdf {

using namespace detail;

namespace {

// Pages per piece of worker work: small enough that hits come back soon after their page is read, large
// enough that handing pieces back costs nothing next to reading them.
constexpr int kChunkPages = 8;
// The document's start goes out first, in short slices dealt to the workers in turn, so that a hit near
// the start comes back while the page showing is still being drawn; each worker then reads a long run of
// pages of its own.
constexpr int kStartSlicePages = 2;
constexpr int kStartRounds = 2;
// The main thread copies changed pages and hands results over for at most this long per event-loop turn.
constexpr qint64 kMainThreadSliceMs = 15;

// Known without asking the pool: the main thread never takes its lock, which a thread starting workers
// holds while the system maps their stacks.
int readerCount()
{
    static const int count = std::max(2, QThread::idealThreadCount());
    return count;
}

// Where pages are read: a pool of its own, not the process's global one, which the application waits for
// when it ends (saves and other writes run there), and which Qt's painting hands its large fills to. A page
// that takes minutes to read (a picture whose decoder never looks at the cancel flag) must not keep a closed
// application alive; the workers touch nothing but what their work owns, so the pool is never torn down
// nor waited for.
QThreadPool* readingPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("Vellumark.text"));
        p->setMaxThreadCount(readerCount());
        // A worker goes as soon as no work waits. Each keeps a cache of the small blocks it freed last,
        // scattered over its heap, which no trim can hand back while the thread lives: eight idle readers
        // kept 10-15 MiB after their document closed. They are started again off the main thread (see
        // start()), for far less than a page costs.
        p->setExpiryTimeout(0);
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
    bool needsCapture() const { return page && !layout && sourceNumber < 0; }
};

struct Chunk {
    int first = 0;
    int count = 0;
    bool done = false;
    bool onLane = false; // read by the lanes; otherwise its changed pages are copied here and sent alone
};

struct Answer {
    std::shared_ptr<const TextLayout> layout;
    QList<QPair<int, int>> found;
    bool visited = false;
};
using Answers = std::vector<Answer>;

Answer answerFor(std::shared_ptr<const TextLayout> layout, const TextReader::Visit& visit)
{
    Answer answer;
    answer.layout = std::move(layout);
    if (answer.layout && visit) {
        answer.found = visit(*answer.layout);
        answer.visited = true;
    }
    return answer;
}

// Where workers hand their answers back: to the reader while it lives, queued to its thread; after that,
// nowhere. No future and no watcher: the main thread then never waits for a lock a worker holds.
struct Inbox {
    std::mutex mutex;
    QObject* receiver = nullptr;
    std::function<void(quint64, int, const std::shared_ptr<Answers>&)> accept;

    void post(quint64 generation, int chunk, std::shared_ptr<Answers> answers)
    {
        const platform::HandOff handBack;
        handBack.release();
        const std::lock_guard<std::mutex> lock(mutex);
        if (receiver)
            QMetaObject::invokeMethod(receiver, [accept = accept, generation, chunk, answers, handBack] {
                handBack.acquire();
                accept(generation, chunk, answers);
            }, Qt::QueuedConnection);
    }
};

// Closing the copies frees everything each of them read (its page objects, fonts and cross-reference
// table): on a long document that is a hundred milliseconds, which the window would feel as a freeze at
// the end of every search. A worker lets go of them instead; the workers still reading from them keep
// them open until they are done, and whichever thread closes the last one ends their release, after which
// the heaps are trimmed (see SourceCopies::letGo).
void releaseOnWorker(std::shared_ptr<SourceCopies> copies)
{
    if (!copies)
        return;
    copies->letGo();
    // Not on the reading pool: a new read holds its threads till it ends, and the copies would wait with it.
    platform::startOffWindowThread(platform::backgroundPool(),
                                   platform::handedOver([held = std::move(copies)]() mutable { held.reset(); }));
}

constexpr std::size_t kSpentHeld = 32;

void releaseSpent(std::vector<std::shared_ptr<Answers>>& spent)
{
    if (spent.empty())
        return;
    platform::startOffWindowThread(platform::backgroundPool(),
                                   platform::handedOver([held = std::move(spent)]() mutable { held.clear(); }));
    spent.clear();
}

std::shared_ptr<const TextLayout> readFromCopy(SourceCopies::Copy& copy, int number, const RecordBudget& budget,
                                               const RecordCancel& cancel)
{
    fz_context* c = copy.context;
    pdf_document* doc = copy.doc;
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
    return layout;
}

// One worker's part of a read: the chunks its lane gives it, each handed back as soon as it is read. It
// keeps one copy from its first page to its last.
void readLane(int lane, const std::shared_ptr<TextLanes>& lanes, const std::shared_ptr<SourceCopies>& copies,
              const TextReader::Visit& visit,
              const std::shared_ptr<RecordCancel>& cancelled, const std::shared_ptr<Inbox>& inbox, quint64 generation)
{
    platform::shrinkHeapWhenThreadEnds();
    const RecordBudget budget;
    SourceCopies::Copy* copy = nullptr;
    bool copyTried = false;
    for (int k = 0; !cancelled->isCancelled() && (k = lanes->take(lane)) >= 0;) {
        const int first = lanes->first(k);
        auto answers = std::make_shared<Answers>(size_t(lanes->count(k)));
        for (int j = 0; j < int(answers->size()) && !cancelled->isCancelled(); ++j) {
            const TextLanes::Page& page = lanes->page(first + j);
            std::shared_ptr<const TextLayout> layout = page.layout;
            if (!layout && page.number >= 0 && copies) {
                if (!copyTried) {
                    copy = copies->take();
                    copyTried = true;
                }
                if (copy)
                    layout = readFromCopy(*copy, page.number, budget, *cancelled);
            }
            (*answers)[size_t(j)] = answerFor(std::move(layout), visit);
        }
        lanes->done(k);
        inbox->post(generation, k, std::move(answers));
    }
    if (copy)
        copies->give(copy);
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
    int nextToSend = 0;     // the first chunk of changed pages not handed to a worker yet
    int inFlight = 0;       // chunks of changed pages with a worker
    Visit visit;
    std::shared_ptr<RecordCancel> cancelled;
    std::shared_ptr<SourceCopies> copies;
    std::shared_ptr<Inbox> inbox = std::make_shared<Inbox>();
    std::vector<std::shared_ptr<Answers>> spent; // handed back, freed on a worker
    bool deliveryScheduled = false;
    bool sendScheduled = false;
};

TextReader::TextReader(QObject* parent) : QObject(parent), m_state(std::make_unique<State>())
{
    m_state->inbox->receiver = this;
    m_state->inbox->accept = [this](quint64 generation, int k, const std::shared_ptr<Answers>& answers) {
        State& s = *m_state;
        if (generation != s.generation || !s.running)
            return;
        Chunk& done = s.chunks[size_t(k)];
        for (int j = 0; j < done.count; ++j) {
            Item& item = s.items[size_t(done.first + j)];
            Answer& answer = (*answers)[size_t(j)];
            if (!answer.layout)
                continue;
            item.layout = std::move(answer.layout);
            item.found = std::move(answer.found);
            item.visited = answer.visited;
        }
        done.done = true;
        // The answers were made on a worker, in its heap: freeing them here would wait for that heap's
        // lock, which a worker the machine has set aside may hold for milliseconds. A worker frees them.
        s.spent.push_back(answers);
        if (s.spent.size() >= kSpentHeld)
            releaseSpent(s.spent);
        if (!done.onLane) {
            --s.inFlight;
            send(generation);
        }
        deliver(generation);
    };
}

TextReader::~TextReader()
{
    {
        // Answers still on their way are dropped with this object's queued calls.
        const std::lock_guard<std::mutex> lock(m_state->inbox->mutex);
        m_state->inbox->receiver = nullptr;
    }
    cancel();
}

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
    releaseSpent(m_state->spent);
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
        if (d.source || d.fill) {
            s.copies = std::make_shared<SourceCopies>(d.source, d.password, SourceCopies::Contexts::separate, 0, d.fill);
        }
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
    const int threads = readerCount();
    const int startPages = std::min(count, threads * kStartSlicePages * kStartRounds);
    bool anyOnLane = false;
    bool anyChanged = false;
    for (int first = 0; first < count;) {
        const int size = std::min(first < startPages ? kStartSlicePages : kChunkPages, count - first);
        Chunk chunk{first, size, false, true};
        for (int i = first; i < first + size && chunk.onLane; ++i)
            chunk.onLane = !s.items[size_t(i)].needsCapture();
        anyOnLane = anyOnLane || chunk.onLane;
        anyChanged = anyChanged || !chunk.onLane;
        s.chunks.push_back(chunk);
        first += size;
    }
    if (anyOnLane) {
        std::vector<TextLanes::Page> plan(s.items.size());
        for (size_t i = 0; i < plan.size(); ++i)
            plan[i] = {s.items[i].layout, s.items[i].sourceNumber};
        std::vector<TextLanes::Span> spans;
        for (const Chunk& chunk : s.chunks)
            spans.push_back({chunk.first, chunk.count, chunk.onLane});
        const int startChunks = (startPages + kStartSlicePages - 1) / kStartSlicePages;
        // Changed pages are copied here and read on the pool as well: the lanes leave them threads.
        const int laneCount = std::min(anyChanged ? std::max(1, threads / 2) : threads, int(s.chunks.size()));
        auto lanes = std::make_shared<TextLanes>(std::move(plan), std::move(spans), laneCount, startChunks);
        // Starting the workers may map their stacks: the thread kept for starting does it, not the window's.
        for (int lane = 0; lane < laneCount; ++lane)
            platform::startOffWindowThread(*readingPool(), platform::handedOver([lane, lanes, copies = s.copies,
                                                                                 visit = s.visit,
                                                                                 cancelled = s.cancelled,
                                                                                 inbox = s.inbox, generation] {
                readLane(lane, lanes, copies, visit, cancelled, inbox, generation);
            }));
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
    // Chunks of changed pages go out a few at a time, so that the copies waiting for a worker stay few.
    const int inFlightLimit = 2 * readerCount();
    QElapsedTimer slice;
    slice.start();
    for (; s.nextToSend < int(s.chunks.size()) && s.inFlight < inFlightLimit; ++s.nextToSend) {
        if (s.chunks[size_t(s.nextToSend)].onLane)
            continue;
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
        sendChunk(generation, s.nextToSend);
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
    for (int i = chunk.first; i < chunk.first + chunk.count; ++i) {
        Item& item = s.items[size_t(i)];
        std::shared_ptr<PageCapture> capture;
        if (item.needsCapture()) {
            item.textVersion = item.page->state().textVersion;
            capture = PageCapture::take(*item.page, false);
        }
        jobs->push_back(Job{item.layout, item.sourceNumber, capture});
    }
    ++s.inFlight;
    platform::startOffWindowThread(*readingPool(), platform::handedOver([jobs, copies = s.copies, visit = s.visit,
                                               cancelled = s.cancelled, inbox = s.inbox, generation, k] {
        platform::shrinkHeapWhenThreadEnds();
        // Every page is read within the budget its drawing has; cancelling stops it sooner.
        const RecordBudget budget;
        auto answers = std::make_shared<Answers>(jobs->size());
        for (size_t j = 0; j < jobs->size() && !cancelled->isCancelled(); ++j) {
            Job& job = (*jobs)[j];
            std::shared_ptr<const TextLayout> layout = job.layout;
            if (!layout && job.number >= 0 && copies) {
                SourceCopies::Copy* copy = copies->take();
                if (copy)
                    layout = readFromCopy(*copy, job.number, budget, *cancelled);
                copies->give(copy);
            } else if (!layout && job.capture) {
                layout = job.capture->readText(budget, cancelled.get()).text;
            }
            job.capture.reset(); // the copy is let go as soon as it is read
            (*answers)[j] = answerFor(std::move(layout), visit);
        }
        inbox->post(generation, k, std::move(answers));
    }));
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
    releaseSpent(s.spent);
    emit finished();
}

} // namespace vmk::pdf
