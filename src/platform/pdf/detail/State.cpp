#include "platform/pdf/detail/State.h"

#include "platform/pdf/PdfLog.h"
#include "platform/pdf/detail/PageTree.h"

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
    dropDocument(c, oldDoc);
}

int ObjRef::num() const { return obj ? pdf_to_num(ctx(), obj) : 0; }

DocumentState::~DocumentState()
{
    fz_context* c = ctx();
    // Pages that outlive the document keep their own reference to the MuPDF document.
    for (const PagePtr& p : pages) {
        if (p)
            p->state().document.reset();
    }
    dropDocument(c, doc);
    fz_drop_buffer(c, source);
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
