#include "platform/pdf/document/State.h"

#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/pdf/document/PageTree.h"
#include "platform/services/Secrets.h"
#include "platform/services/HeapTrim.h"
#include "platform/services/ThreadHandOff.h"
#include "platform/services/BackgroundPool.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <atomic>

namespace vmk::pdf::detail {

ObjRef::ObjRef(pdf_document* d, int n) { reset(d, n); }

ObjRef::~ObjRef()
{
    if (!obj && !doc)
        return;
    // A handle let go of while a document is being written (a hover's link, a page drawn no more).
    EngineGate::releaseLater([oldObj = obj, oldDoc = doc] {
        fz_context* c = ctx();
        pdf_drop_obj(c, oldObj);
        dropDocument(c, oldDoc);
    });
}

void ObjRef::reset(pdf_document* d, int n)
{
    fz_context* c = ctx();
    pdf_document* oldDoc = doc;
    pdf_obj* oldObj = obj;
    doc = nullptr;
    obj = nullptr;
    guarded(c, [&] {
        if (d) {
            doc = pdf_keep_document(c, d);
            obj = pdf_new_indirect(c, d, n, 0);
        }
    });
    pdf_drop_obj(c, oldObj);
    dropDocument(c, oldDoc);
}

int ObjRef::num() const { return obj ? pdf_to_num(ctx(), obj) : 0; }

namespace {

std::atomic<int> g_releasesUnderWay{0};

void dropLast(fz_context* c, pdf_document* doc, fz_buffer* source)
{
    dropDocument(c, doc);
    fz_drop_buffer(c, source);
    // What the document and its pages' text held is free now but kept by the C library's heaps, most of
    // it in those of the workers that read the pages: it goes back once the last release under way is
    // over (the copies a search read the document from may still be closing). So do the pictures the
    // engine keeps decoded for drawing again, which outlive the documents they came from (a 200 dpi scan
    // is 11 MiB a page) until the shared store is full.
    if (g_releasesUnderWay.fetch_sub(1) == 1)
        guarded(c, [&] { fz_empty_store(c); });
    platform::heapReleaseEnds();
}

// On the main thread, once the page handles are gone: the document itself goes to a worker as well when
// nothing else refers to it. Only this thread takes references to it, and the handles that could are
// gone, so the count cannot change while it is read; a document still referred to (a page kept by an
// undo step) is freed later by whoever drops the last reference.
void releaseDocument(pdf_document* doc, fz_buffer* source)
{
    if (doc->super.refs != 1) {
        dropLast(ctx(), doc, source);
        return;
    }
    platform::backgroundPool().start(platform::handedOver([doc, source] { dropLast(ctx(), doc, source); }));
}

} // namespace

DocumentState::~DocumentState()
{
    platform::wipe(password);
    fz_context* c = ctx();
    // Pages that outlive the document keep their own reference to the MuPDF document.
    for (const PagePtr& p : pages) {
        if (p)
            p->state().document.reset();
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!doc || !app || QThread::currentThread() != app->thread()) {
        pages.clear();
        dropDocument(c, doc);
        fz_drop_buffer(c, source);
        return;
    }
    // Freeing a large document (its page handles, every object it read) takes tens of milliseconds: workers
    // do it, so that closing a window never waits for that. This state's own reference stays until the
    // handles are gone, so no drop of theirs, here or there, can be the last one. The application waits
    // for the background pool before it ends.
    g_releasesUnderWay.fetch_add(1);
    platform::heapReleaseBegins();
    auto held = std::make_shared<std::vector<PagePtr>>(std::move(pages));
    pdf_document* document = doc;
    fz_buffer* bytes = source;
    platform::backgroundPool().start(platform::handedOver([held, document, bytes] {
        held->clear();
        QMetaObject::invokeMethod(QCoreApplication::instance(),
                                  platform::handedOver([document, bytes] { releaseDocument(document, bytes); }),
                                  Qt::QueuedConnection);
    }));
}

void DocumentState::syncPageList() const
{
    if (pagesKnown)
        return;
    fz_context* c = ctx();
    // The page count in the file is a claim: size the list from what the page tree really holds.
    int count = 0;
    QString error;
    if (!guarded(c, [&] { count = repairPageTree(c, doc); }, &error)) {
        qCWarning(lcVmkPdf, "The page tree could not be read: %s", qPrintable(error));
        if (!guarded(c, [&] { count = pdf_count_pages(c, doc); }))
            count = 0;
    }
    pages.assign(size_t(qBound(0, count, kMaxPages)), PagePtr());
    pagesKnown = true;
}

pdf_document* scratchDocument()
{
    static pdf_document* scratch = [] {
        fz_context* c = ctx();
        pdf_document* d = nullptr;
        if (!guarded(c, [&] { d = pdf_create_document(c); }))
            qFatal("The PDF engine could not make a document");
        return d;
    }();
    return scratch;
}

} // namespace vmk::pdf::detail

namespace vmk::pdf {

int Document::releasesUnderWay() { return detail::g_releasesUnderWay.load(); }

} // namespace vmk::pdf
