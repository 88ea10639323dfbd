#include "platform/pdf/document/Document.h"

#include "platform/pdf/engine/MainThreadSlice.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/ClearMetadataWrite.h"
#include "platform/pdf/document/DanglingStructure.h"
#include "platform/pdf/document/GoodCopyState.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/pdf/document/ObjectScan.h"
#include "platform/pdf/document/PageMap.h"
#include "platform/pdf/document/RepairedEncryption.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/document/StreamLengths.h"
#include "platform/pdf/document/UnreadableObjects.h"
#include "platform/pdf/document/UntouchedAppearances.h"
#include "platform/services/Secrets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

// Writing a document out: the bytes of a copy with the encryption the caller chose, the check that reads
// them back, and the waits of a write asked for from a worker.

namespace vmk::pdf {

using namespace detail;

namespace {

// How long one slice of making missing appearances before a write may hold the main thread. A page is
// made whole, in one pass of the engine: made a part at a time, every pass would also make the page's
// other waiting annotations in a scratch table as costly to clear as the file (quadratic on a crowded
// page). One page of a few hundred new annotations takes a few milliseconds.
constexpr int kAppearanceSliceMs = 6;

bool onMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void copyPassword(char (&target)[128], const QString& password)
{
    QByteArray utf8 = password.toUtf8();
    std::memset(target, 0, sizeof target);
    std::memcpy(target, utf8.constData(), size_t(qMin<qsizetype>(utf8.size(), sizeof target - 1)));
    platform::wipe(utf8);
}

// Where the engine writes a copy: straight into the bytes handed back. Written into a buffer of the
// engine's and copied over, a long document's bytes were made twice, with the memory for both.
struct ByteSink {
    QByteArray* bytes = nullptr;
    qsizetype at = 0; // where the next bytes go: the end, but for a writer that went back to fill in a place
};

bool placeBytes(ByteSink& sink, const void* data, size_t n)
{
    try {
        if (sink.at == sink.bytes->size()) {
            sink.bytes->append(static_cast<const char*>(data), qsizetype(n));
        } else {
            if (sink.at + qsizetype(n) > sink.bytes->size())
                sink.bytes->resize(sink.at + qsizetype(n));
            std::memcpy(sink.bytes->data() + sink.at, data, n);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    sink.at += qsizetype(n);
    return true;
}

void sinkWrite(fz_context* c, void* state, const void* data, size_t n)
{
    if (!placeBytes(*static_cast<ByteSink*>(state), data, n))
        fz_throw(c, FZ_ERROR_MEMORY, "The written copy does not fit in memory.");
}

void sinkSeek(fz_context* c, void* state, int64_t offset, int whence)
{
    auto* sink = static_cast<ByteSink*>(state);
    const int64_t from = whence == SEEK_CUR ? sink->at : whence == SEEK_END ? sink->bytes->size() : 0;
    if (from + offset < 0 || from + offset > sink->bytes->size())
        fz_throw(c, FZ_ERROR_GENERIC, "A place outside the written copy was asked for.");
    sink->at = qsizetype(from + offset);
}

int64_t sinkTell(fz_context*, void* state) { return static_cast<ByteSink*>(state)->at; }

fz_stream* sinkAsStream(fz_context* c, void* state)
{
    const QByteArray* bytes = static_cast<ByteSink*>(state)->bytes;
    return fz_open_memory(c, reinterpret_cast<const unsigned char*>(bytes->constData()), size_t(bytes->size()));
}

} // namespace

Result<QByteArray> Document::dataRepresentation(const WriteOptions& options) const
{
    if (m_state->locked)
        return Result<QByteArray>::failure(QStringLiteral("The document is locked."));
    makeMissingAppearances();
    return writeBytes(options);
}

void Document::makeMissingAppearances() const
{
    m_state->syncPageList();
    const detail::ScopedPageMap mapped(ctx(), m_state->doc);
    for (const PagePtr& p : m_state->pages) {
        if (p)
            ensureAppearances(*p);
    }
}

Result<QByteArray> Document::writeBytes(const WriteOptions& options) const
{
    m_state->syncPageList(); // a pending tree is written as repaired
    pdf_write_options opts = pdf_default_write_options;
    const auto forgetPasswords = qScopeGuard([&opts] {
        platform::wipeBytes(opts.upwd_utf8, sizeof opts.upwd_utf8);
        platform::wipeBytes(opts.opwd_utf8, sizeof opts.opwd_utf8);
    });
    // Collect garbage so removed pages and replaced objects stay out of the file; no renumbering, which
    // would invalidate the references our handles hold.
    opts.do_garbage = 1;
    opts.do_compress = 1;
    opts.do_compress_fonts = 1;
    switch (options.encryption) {
    case WriteOptions::Encryption::KeepExisting:
        opts.do_encrypt = isEncrypted() ? PDF_ENCRYPT_KEEP : PDF_ENCRYPT_NONE;
        break;
    case WriteOptions::Encryption::None:
        opts.do_encrypt = PDF_ENCRYPT_NONE;
        break;
    case WriteOptions::Encryption::Protect:
        if (options.userPassword.isEmpty() && options.ownerPassword.isEmpty())
            return Result<QByteArray>::failure(QStringLiteral("A password is needed to protect the document."));
        opts.do_encrypt = PDF_ENCRYPT_AES_256;
        // A separate owner password is there to guard something: printing and every kind of change then
        // need it. Reading and copying text stay open to the user password.
        if (!options.ownerPassword.isEmpty() && options.ownerPassword != options.userPassword)
            opts.permissions = ~(PDF_PERM_PRINT | PDF_PERM_PRINT_HQ | PDF_PERM_MODIFY | PDF_PERM_ANNOTATE | PDF_PERM_FORM
                                 | PDF_PERM_ASSEMBLE);
        else
            opts.permissions = -1;
        copyPassword(opts.upwd_utf8, options.userPassword);
        copyPassword(opts.opwd_utf8, options.ownerPassword.isEmpty() ? options.userPassword : options.ownerPassword);
        break;
    }
    fz_context* c = ctx();
    QByteArray bytes;
    ByteSink sink{&bytes};
    fz_output* out = nullptr;
    QString error;
    pdf_document* doc = m_state->doc;
    // A decrypted copy is a new document: it goes without the original's creation date. The document
    // keeps it, so every later save writes the same copy.
    const QString created = options.withoutCreationDate ? attribute(DocumentAttribute::CreationDate) : QString();
    // Writing changes the document in place anyway (and puts it back): const in name only.
    Document& self = const_cast<Document&>(*this);
    if (!created.isEmpty())
        self.setAttribute(DocumentAttribute::CreationDate, QString());
    if (QString restoreError; !guarded(c, [&] { detail::restoreEncryptionDictionary(c, doc); }, &restoreError))
        qCWarning(lcVmkPdf) << "The encryption dictionary could not be read again:" << restoreError;
    detail::directStreamLengths(c, doc);
    // Names are written as the file had them: the spaced layout keeps an empty name apart from a number.
    opts.do_pretty = holdsEmptyName(c, doc) ? 1 : 0;
    // Writing with other encryption than the document's rewrites /Encrypt (and /ID) in the document's own
    // trailer. The document in memory keeps its encryption whatever a copy was written with, so a later
    // save that keeps the encryption (an undone "remove password") writes it again, with matching keys.
    pdf_obj* encrypt = nullptr;
    pdf_obj* fileId = nullptr;
    guarded(c, [&] {
        pdf_obj* trailer = pdf_trailer(c, doc);
        encrypt = pdf_keep_obj(c, pdf_dict_get(c, trailer, PDF_NAME(Encrypt)));
        fileId = pdf_keep_obj(c, pdf_dict_get(c, trailer, PDF_NAME(ID)));
    });
    // Structure leading to pages the document no longer has stays out of the file, not out of the
    // document: undo may bring the pages back.
    detail::DanglingStructure dangling;
    {
        const detail::ScopedPageMap mapped(c, doc);
        if (QString hideError; !guarded(c, [&] { dangling.hide(c, doc); }, &hideError))
            qCWarning(lcVmkPdf) << "Structure into removed pages could not be left out:" << hideError;
    }
    // Annotations of the file that only have an appearance because we drew one for display go as read.
    detail::UntouchedAppearances untouched;
    if (QString hideError; !guarded(c, [&] { untouched.hide(c, m_state->pages); }, &hideError))
        qCWarning(lcVmkPdf) << "Annotations drawn for display are written as drawn:" << hideError;
    detail::ClearMetadataWrite clearMetadata;
    clearMetadata.prepare(c, doc, options.encryption == WriteOptions::Encryption::KeepExisting);
    auto writeWith = [&](const pdf_write_options& writeOptions) {
        fz_drop_output(c, out);
        out = nullptr;
        bytes.clear();
        sink.at = 0;
        detail::EntryEdits hexFilters;
        if (writeOptions.do_compress)
            detail::shieldHexFilters(c, doc, hexFilters);
        const bool written = guarded(c, [&] {
            out = fz_new_output(c, 64 * 1024, &sink, sinkWrite, nullptr, nullptr);
            out->seek = sinkSeek;
            out->tell = sinkTell;
            out->as_stream = sinkAsStream;
            pdf_write_document(c, doc, out, &writeOptions);
            fz_close_output(c, out);
        }, &error);
        guarded(c, [&] { hexFilters.exchange(c); });
        return written;
    };
    bool ok = writeWith(opts);
    if (!ok) {
        if (const int blanked = detail::blankUnreadableObjects(c, doc); blanked > 0) {
            qCWarning(lcVmkPdf) << "Writing failed:" << error << "- writing" << blanked << "unreadable objects as null";
            ok = writeWith(opts);
        }
    }
    if (!ok && opts.do_compress) {
        // Compressing reads every stream; one whose data is damaged beyond reading can still be written
        // as the file had it, which other readers cope with as they did before.
        qCWarning(lcVmkPdf) << "Writing with compression failed, writing streams as they are:" << error;
        pdf_write_options asTheyAre = opts;
        asTheyAre.do_compress = 0;
        asTheyAre.do_compress_fonts = 0;
        asTheyAre.do_compress_images = 0;
        ok = writeWith(asTheyAre);
        platform::wipeBytes(&asTheyAre, sizeof asTheyAre);
    }
    clearMetadata.release(c);
    guarded(c, [&] { untouched.restore(c); });
    guarded(c, [&] { dangling.restore(c); });
    guarded(c, [&] {
        pdf_obj* trailer = pdf_trailer(c, doc);
        if (!encrypt || !fileId || options.encryption == WriteOptions::Encryption::KeepExisting)
            return;
        pdf_dict_put(c, trailer, PDF_NAME(Encrypt), encrypt);
        pdf_dict_put(c, trailer, PDF_NAME(ID), fileId);
    });
    pdf_drop_obj(c, encrypt);
    pdf_drop_obj(c, fileId);
    if (!created.isEmpty())
        self.setAttribute(DocumentAttribute::CreationDate, created);
    fz_drop_output(c, out);
    if (ok && !clearMetadata.rewrite(bytes))
        qCWarning(lcVmkPdf) << "Streams stored in clear stay as the engine wrote them: the written file is laid out otherwise.";
    if (!ok)
        return Result<QByteArray>::failure(error.isEmpty() ? QStringLiteral("The PDF could not be written.") : error);
    return bytes;
}

Result<QByteArray> Document::dataRepresentationFromWorker(const WriteOptions& options, const PageVisit& visit,
                                                          bool* stopped) const
{
    if (stopped)
        *stopped = false;
    // What writing needs from the handles is made where the handles live, a few pages at a time, so that
    // the window goes on between the slices; a change to the page list meanwhile starts the pass over.
    // The last slice looks once more and closes the gate in the same turn of the main thread: nothing can
    // change the document between them, and nothing reads it until the bytes are made.
    const bool fromWorker = QCoreApplication::instance() && !onMainThread();
    std::vector<PagePtr> list;
    std::size_t next = 0;
    bool madeNext = false; // the appearances of list[next] are made
    bool locked = false;
    bool ready = false;
    bool closed = false;
    // The map of the pages one slice walked, for the slices after it while the pages stay as they were.
    detail::KeptPageMap keptMap;
    while (!ready && !locked) {
        const bool ran = runSliceOnMainThread([&] {
            locked = m_state->locked;
            if (locked)
                return;
            QElapsedTimer clock;
            clock.start();
            if (next == 0)
                list = pages();
            // Nothing in the slice changes the page tree: pages are found through one walk of it, made when
            // the slice first loads a page (a slice of pages with nothing to draw makes none), or through
            // the walk an earlier slice made, if the window changed none of the pages since.
            pdf_document* doc = m_state->doc;
            if (keptMap.holds(doc)) {
                m_state->syncPageList();
                fz_context* c = ctx();
                std::vector<int> numbers;
                numbers.reserve(m_state->pages.size());
                for (const PagePtr& p : m_state->pages)
                    numbers.push_back(p && p->state().ref.doc == doc ? pdf_to_num(c, p->state().ref.obj) : -1);
                keptMap.forgetUnlessStill(c, doc, numbers);
            }
            const qint64 checkNs = clock.nsecsElapsed();
            std::optional<detail::LazyPageMap> mapped;
            mapped.emplace(ctx(), doc, &keptMap);
            // Finding the pages takes longer the longer the document, whether by a walk or by the look at
            // whether the kept walk still holds: a slice works at least twice as long as that took, or a
            // long document's slices would spend ever more of their time on it, growing with the square of
            // its length.
            const auto spent = [&] {
                const qint64 findingNs = checkNs + 1000000 * mapped->walkMs();
                return clock.nsecsElapsed() >= std::max<qint64>(1000000LL * kAppearanceSliceMs, 3 * findingNs);
            };
            while (next < list.size() && !spent()) {
                // A page's appearances first, then the visit (in the next slice once this one is spent).
                if (!madeNext) {
                    if (const PagePtr& p = list[next])
                        ensureAppearances(*p);
                    madeNext = true;
                    continue;
                }
                if (visit && !visit(int(next), list[next])) {
                    next = 0;
                    madeNext = false;
                    return;
                }
                ++next;
                madeNext = false;
            }
            if (next < list.size())
                return;
            if (pages() != list) {
                next = 0;
                madeNext = false;
                return;
            }
            mapped.reset();
            makeMissingAppearances();
            ready = true;
            if (fromWorker) {
                // Taken as the gate closes: the changes it knows of are exactly those being written.
                m_state->lastGoodCopy = detail::takeGoodCopy(*this);
                EngineGate::close();
                closed = true;
                // Let go of once the writing is over (registered while closed, so never before).
                EngineGate::whenOpen(QCoreApplication::instance(), [self = m_state->self] {
                    if (const DocumentPtr document = self.lock())
                        document->m_state->lastGoodCopy.reset();
                });
            }
        });
        if (!ran) {
            if (stopped)
                *stopped = true;
            return Result<QByteArray>::failure(QStringLiteral("The writing was stopped."));
        }
    }
    if (locked)
        return Result<QByteArray>::failure(QStringLiteral("The document is locked."));
    Result<QByteArray> bytes = writeBytes(options);
    if (closed)
        EngineGate::open();
    return bytes;
}

bool Document::isWritingUnderWay() { return EngineGate::isClosed(); }

void Document::afterWriting(QObject* context, std::function<void()> then)
{
    EngineGate::whenOpen(context, std::move(then));
}

Status Document::write(const QString& path, const WriteOptions& options) const
{
    Result<QByteArray> bytes = dataRepresentation(options);
    if (!bytes)
        return Status::failure(bytes.error());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Status::failure(file.errorString());
    if (file.write(*bytes) != bytes->size() || !file.flush())
        return Status::failure(file.errorString());
    file.close();
    return {};
}

} // namespace vmk::pdf
