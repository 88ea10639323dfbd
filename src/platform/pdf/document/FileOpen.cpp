// Opening a file for a window: what the first page needs is read first, the rest of the file on a worker.

#include "platform/pdf/document/Document.h"

#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/engine/WaitRunner.h"
#include "platform/pdf/document/FieldAppearances.h"
#include "platform/pdf/document/FileFill.h"
#include "platform/pdf/document/ObjectScan.h"
#include "platform/pdf/document/ObjectNumbers.h"
#include "platform/pdf/document/State.h"
#include "platform/services/ThreadStarter.h"
#include "platform/services/HeapTrim.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>

namespace vmk::pdf {

using namespace detail;

namespace {

// Opens the document from a file not read yet, reading what the first page needs. A file whose table had
// to be rebuilt, or that is encrypted, is read whole first and opened as from memory: its repair and its
// password decide what every page reads. Otherwise what needs the whole file is left to settle().
// Up to this size the whole file and every object are read before the first page shows: it costs less
// than a frame or two, and leaves no repair for later.
constexpr qint64 kWholeReadBytes = qint64(16) << 20;
// How long after opening a file not read whole the rest of it starts being read (see settle()).
constexpr int kRestOfFileAfterMs = 300;

Result<DocumentPtr> openFill(fz_context* c, const std::shared_ptr<FileFill>& fill)
{
    pdf_document* doc = nullptr;
    fz_stream* stream = nullptr;
    bool locked = false;
    bool whole = false;
    QString error;
    const bool ok = guarded(c, [&] {
        stream = fill->openStream(c);
        doc = pdf_open_document_with_stream(c, stream);
        locked = pdf_needs_password(c, doc);
        whole = locked || doc->crypt || pdf_was_repaired(c, doc);
    }, &error);
    fz_drop_stream(c, stream);
    if (!ok) {
        dropDocument(c, doc);
        return Result<DocumentPtr>::failure(error.isEmpty() ? QStringLiteral("The data is not a readable PDF.") : error);
    }
    // A file small enough to read whole at once is read whole, with every object: a table that misplaces
    // objects is then repaired before the user changes anything. Read lazily, that repair could come after
    // an edit, whose changes a repair rebuilding the table from the file would lose.
    if (fill->size() <= kWholeReadBytes)
        whole = true;
    if (whole || !QCoreApplication::instance()) {
        fill->fillAll();
        fz_buffer* buffer = nullptr;
        guarded(c, [&] { buffer = fz_keep_buffer(c, fill->buffer()); });
        return readAhead(c, doc, buffer, locked);
    }
    DocumentPtr d = DocumentState::make(doc);
    DocumentState& state = d->state();
    state.fill = fill;
    state.settled = false;
    // Large object streams and crowded pages are read here as from memory: what they cost must not fall
    // on the window's thread later.
    readLargeObjectStreams(c, doc, kObjectStreamBudgetMs);
    if (waitCancelled())
        return Result<DocumentPtr>::failure(QStringLiteral("The opening was stopped."));
    // A long document's page tree is walked once its first page shows (see Document::hasPagesPending()):
    // tens of milliseconds for thousands of pages, spent before anything showed.
    if (state.listPagesPending())
        readCrowdedAnnotations(c, {state.pages[0]}, kObjectStreamBudgetMs);
    else
        readCrowdedAnnotations(c, d->pages(), kObjectStreamBudgetMs);
    buildRequestedFieldAppearances(c, doc);
    return d;
}

// Where files opened before they were read whole are read to the end: a pool of its own, never waited
// for, whose work stops as soon as nobody reads the file any more.
QThreadPool* fillPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("Vellumark.fill"));
        p->setMaxThreadCount(2);
        return p;
    }();
    return pool;
}

// What a worker learns from the whole file for settle().
struct WholeFileFacts {
    int highestReference = -1;
    bool needsRepair = false;
};

// Reads the rest of the file, then what opening from memory would have learnt from it: the numbers it
// refers to, and whether reading every object makes the engine repair it (found on a copy of its own, so
// that the document stays with the window meanwhile). Null when nobody reads the file any more.
std::optional<WholeFileFacts> readWholeFile(const std::weak_ptr<FileFill>& weak)
{
    std::shared_ptr<FileFill> fill;
    for (bool complete = false; !complete;) {
        fill = weak.lock();
        // Held by nobody else: the document is gone, and the rest need not be read.
        if (!fill || fill.use_count() <= 1)
            return std::nullopt;
        complete = fill->fillNext();
    }
    WholeFileFacts facts;
    const unsigned char* bytes = fill->bytes(0, fill->size());
    facts.highestReference = highestReferencedNumber(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes),
                                                                             qsizetype(fill->size())));
    fz_context* c = newSeparateContext(std::size_t(32) << 20);
    if (!c)
        return facts;
    pdf_document* copy = nullptr;
    fz_stream* stream = nullptr;
    if (guarded(c, [&] {
            stream = fill->openStream(c);
            copy = pdf_open_document_with_stream(c, stream);
        })) {
        // A document closed meanwhile lets go of its file: its copy, tens of megabytes, goes at once.
        readEveryObject(c, copy, kReadAheadBudgetMs, [&fill] { return fill.use_count() <= 1; });
        guarded(c, [&] { facts.needsRepair = pdf_was_repaired(c, copy); });
    }
    // Counted as a release until the copy and the file it was read from are freed: a document closed
    // while this read ran was trimmed before, and the tens of megabytes freed here stayed in this
    // thread's heap for good.
    platform::heapReleaseBegins();
    fz_drop_stream(c, stream);
    if (copy)
        pdf_drop_document(c, copy);
    fz_drop_context(c);
    fill.reset();
    platform::heapReleaseEnds();
    return facts;
}

} // namespace

namespace {

// On a worker of the fill pool: reads the rest of the file, then settles on the main thread what opening
// from memory would have learnt from it.
std::atomic<int> g_wholeFileReads{0};

void readRestAndSettle(const std::weak_ptr<Document>& weakDocument, const std::weak_ptr<FileFill>& weakFill)
{
    g_wholeFileReads.fetch_add(1);
    struct Counted {
        ~Counted() { g_wholeFileReads.fetch_sub(1); }
    } counted;
    // Behind whatever the user waits for (the first page being drawn, a search): the rest of the file is
    // only needed by then.
    static thread_local const bool niced = ::setpriority(PRIO_PROCESS, pid_t(::gettid()), 10) == 0;
    (void)niced;
    const std::optional<WholeFileFacts> facts = readWholeFile(weakFill);
    if (!facts)
        return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [weakDocument, weakFill, facts = *facts] {
        const DocumentPtr document = weakDocument.lock();
        const std::shared_ptr<FileFill> fill = weakFill.lock();
        if (!document || !fill || document->state().fill != fill || document->state().settled)
            return;
        DocumentState& state = document->state();
        fz_context* c = ctx();
        if (fill->readFailed())
            qCWarning(lcVmkPdf) << "Part of the file could not be read; it reads as cut short.";
        guarded(c, [&] { state.source = fz_keep_buffer(c, fill->buffer()); });
        reserveNumbersUpTo(c, state.doc, facts.highestReference);
        // Rare: a table that misplaces objects. The repair comes now, before the user changes anything
        // worth keeping, and not in the middle of a later save.
        if (facts.needsRepair) {
            readEveryObject(c, state.doc, kReadAheadBudgetMs);
            state.pagesKnown = false;
        }
        state.settled = true;
    }, Qt::QueuedConnection);
}

} // namespace

void DocumentState::settle(const DocumentPtr& document)
{
    DocumentState& state = document->state();
    if (state.settled || !state.fill)
        return;
    std::weak_ptr<Document> weakDocument = document;
    std::weak_ptr<FileFill> weakFill = state.fill;
    // Once the first page has had its time: reading hundreds of megabytes beside it, even at a low
    // priority, slowed its drawing by a third (the memory and its faults are the machine's, not the
    // thread's). A document closed by then is not read further.
    QTimer::singleShot(kRestOfFileAfterMs, QCoreApplication::instance(), [weakDocument, weakFill] {
        if (!weakDocument.expired() && !weakFill.expired())
            platform::startOffWindowThread(*fillPool(), [weakDocument, weakFill] { readRestAndSettle(weakDocument, weakFill); });
    });
}

int Document::wholeFileReadsUnderWay() { return g_wholeFileReads.load(); }

Result<std::shared_ptr<SourceFile>> SourceFile::read(const QString& path)
{
    QString error;
    std::shared_ptr<FileFill> fill = FileFill::open(path, &error);
    if (!fill && !error.isEmpty())
        return Result<std::shared_ptr<SourceFile>>::failure(error);
    std::shared_ptr<SourceFile> source(new SourceFile);
    source->m_fill = std::move(fill);
    return source;
}

SourceFile::~SourceFile() = default;

qint64 SourceFile::size() const { return m_fill ? m_fill->size() : 0; }

QByteArray SourceFile::head(qsizetype length) const
{
    if (!m_fill)
        return {};
    length = qsizetype(std::min<qint64>(length, m_fill->size()));
    return QByteArray(reinterpret_cast<const char*>(m_fill->bytes(0, length)), length);
}

Result<DocumentPtr> Document::fromSourceWhileAnswering(std::shared_ptr<SourceFile> file, bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (!file || !file->m_fill)
        return Result<DocumentPtr>::failure(QStringLiteral("The data is empty."));
    auto opened = std::make_shared<Result<DocumentPtr>>(Result<DocumentPtr>::failure(QString()));
    std::shared_ptr<FileFill> fill = std::exchange(file->m_fill, nullptr); // the document's now
    const WaitOutcome outcome = runWhileAnswering([fill, opened] {
        Result<DocumentPtr> result = openFill(ctx(), fill);
        if (!waitCancelled())
            *opened = std::move(result);
    }, OnCancel::Abandon);
    if (cancelled)
        *cancelled = outcome == WaitOutcome::Cancelled;
    if (outcome == WaitOutcome::Cancelled)
        return Result<DocumentPtr>::failure(QStringLiteral("The opening was stopped."));
    if (*opened && opened->value())
        DocumentState::settle(opened->value());
    return *opened;
}

bool Document::isSettled() const { return m_state->settled; }

} // namespace vmk::pdf
