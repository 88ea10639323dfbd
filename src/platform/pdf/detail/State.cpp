#include "platform/pdf/detail/State.h"

#include "platform/pdf/PdfLog.h"
#include "platform/pdf/detail/PageTree.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <atomic>

namespace vmk::pdf::detail {

ObjRef::ObjRef(pdf_document* d, int n) { reset(d, n); }

ObjRef::~ObjRef() { reset(nullptr, 0); }

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
    pdf_drop_document(c, oldDoc);
}

int ObjRef::num() const { return obj ? pdf_to_num(ctx(), obj) : 0; }

namespace {

std::atomic<int> g_releasesUnderWay{0};

// Drops the references on the calling thread, with its own context. The engine counts references under
// its lock, so whichever thread drops the last one frees the document, and only then: nobody can still
// be using it.
void release(pdf_document* doc, fz_buffer* source, std::vector<PagePtr>& pages)
{
    pages.clear();
    fz_context* c = ctx();
    pdf_drop_document(c, doc);
    fz_drop_buffer(c, source);
}

} // namespace

DocumentState::~DocumentState()
{
    // Pages that outlive the document keep their own reference to the MuPDF document.
    for (const PagePtr& p : pages) {
        if (p)
            p->state().document.reset();
    }
    // Freeing a large document (every object it read, its page handles) takes tens of milliseconds: off
    // the window's thread, so that closing a window never waits for it. The application waits for the
    // global pool before it ends.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        release(doc, source, pages);
        return;
    }
    g_releasesUnderWay.fetch_add(1);
    auto held = std::make_shared<std::vector<PagePtr>>(std::move(pages));
    QThreadPool::globalInstance()->start([doc = doc, source = source, held] {
        release(doc, source, *held);
        g_releasesUnderWay.fetch_sub(1);
    });
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
