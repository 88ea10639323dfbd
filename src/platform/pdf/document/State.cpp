#include "platform/pdf/document/State.h"

#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/pdf/document/ObjectScan.h"
#include "platform/pdf/document/PageTree.h"
#include "platform/services/Secrets.h"
#include "platform/services/HeapTrim.h"
#include "platform/services/ThreadHandOff.h"
#include "platform/services/BackgroundPool.h"
#include "platform/services/ThreadStarter.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <utility>
#include <vector>

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
    platform::startOffWindowThread(platform::backgroundPool(), platform::handedOver([doc, source] { dropLast(ctx(), doc, source); }));
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
    platform::startOffWindowThread(platform::backgroundPool(), platform::handedOver([held, document, bytes] {
        held->clear();
        QMetaObject::invokeMethod(QCoreApplication::instance(),
                                  platform::handedOver([document, bytes] { releaseDocument(document, bytes); }),
                                  Qt::QueuedConnection);
    }));
}

namespace {
// The window's thread reads them then: a hostile page's thousands are left for when they are looked at.
constexpr int kCrowdedAfterShowingBudgetMs = 200;
} // namespace

void DocumentState::syncPageList() const
{
    if (pagesKnown && !pagesPending)
        return;
    fz_context* c = ctx();
    // Handles made while the pages were pending keep their places where the walk agrees with the lookup
    // that made them; the others are no longer pages of the document.
    std::vector<std::pair<size_t, PagePtr>> made;
    const bool wasPending = std::exchange(pagesPending, false);
    for (size_t i = 0; wasPending && i < pages.size(); ++i) {
        if (pages[i])
            made.emplace_back(i, pages[i]);
    }
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
    for (auto& [index, page] : made) {
        int num = 0;
        if (index < pages.size() && guarded(c, [&] { num = pdf_to_num(c, pdf_lookup_page_obj(c, doc, int(index))); })
            && num == page->state().ref.num())
            pages[index] = page;
    }
    // What opening left for the walk: the annotations of crowded pages, read now rather than one by one.
    if (wasPending) {
        if (const DocumentPtr document = self.lock())
            readCrowdedAnnotations(c, document->pages(), kCrowdedAfterShowingBudgetMs);
    }
}

bool DocumentState::listPagesPending()
{
    fz_context* c = ctx();
    int64_t claimed = 0;
    int first = 0;
    guarded(c, [&] {
        pdf_obj* root = pdf_dict_getp(c, pdf_trailer(c, doc), "Root/Pages");
        if (!pdf_name_eq(c, pdf_dict_get(c, root, PDF_NAME(Type)), PDF_NAME(Pages))
            || !pdf_is_array(c, pdf_dict_get(c, root, PDF_NAME(Kids))))
            return;
        claimed = pdf_to_int64(c, pdf_dict_get(c, root, PDF_NAME(Count)));
        if (claimed < 1 || claimed > kMaxPages)
            return;
        pdf_obj* page = pdf_lookup_page_obj(c, doc, 0);
        if (pdf_is_indirect(c, page) && pdf_name_eq(c, pdf_dict_get(c, page, PDF_NAME(Type)), PDF_NAME(Page)))
            first = pdf_to_num(c, page);
    });
    if (first <= 0) {
        syncPageList();
        return false;
    }
    pages.assign(size_t(claimed), PagePtr());
    pagesKnown = true;
    pagesPending = true;
    if (!pendingPage(0)) {
        syncPageList();
        return false;
    }
    return true;
}

PagePtr DocumentState::pendingPage(int index) const
{
    if (index < 0 || size_t(index) >= pages.size())
        return nullptr;
    PagePtr& slot = pages[size_t(index)];
    if (slot)
        return slot;
    fz_context* c = ctx();
    int num = 0;
    // Only a page object is mended and handed out: a lying tree may lead the lookup anywhere.
    guarded(c, [&] {
        pdf_obj* page = pdf_lookup_page_obj(c, doc, index);
        if (!pdf_is_indirect(c, page) || !pdf_name_eq(c, pdf_dict_get(c, page, PDF_NAME(Type)), PDF_NAME(Page)))
            return;
        mendPageBoxes(c, doc, pdf_to_num(c, page));
        num = pdf_to_num(c, page);
    });
    if (num <= 0)
        return nullptr;
    slot = PageState::make(doc, num);
    slot->state().document = self;
    return slot;
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
