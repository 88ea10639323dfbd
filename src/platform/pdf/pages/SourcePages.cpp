// Pages unchanged since the document was opened are interpreted from the workers' own copies of it, so
// that the document's thread copies nothing and the workers share no engine lock: each copy is an engine
// family of its own, whose display lists any thread then draws with a clone of that family.

#include "platform/pdf/pages/SourcePages.h"

#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/DrawScratch.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/pages/SourceCopies.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/engine/Watchdog.h"

#include <cmath>
#include <unordered_set>

namespace vmk::pdf::detail {

namespace {

// What each copy's engine keeps for reuse between pages: fonts, colour spaces and decoded pictures.
constexpr std::size_t kDrawingStoreBytes = std::size_t(64) << 20;
// Deeper than any real file nests; the walk gives up rather than follow it.
constexpr int kMaxDepth = 100;
constexpr int kMaxAncestors = 64;

bool isPageObject(fz_context* c, pdf_obj* dict)
{
    pdf_obj* type = pdf_dict_get(c, dict, PDF_NAME(Type));
    return pdf_name_eq(c, type, PDF_NAME(Page)) || pdf_name_eq(c, type, PDF_NAME(Pages));
}

// Whether objects reached from a page were changed (or made) since the document was opened: every edit
// goes to the document's incremental section. Object headers only, each object once.
class ReachCheck {
public:
    ReachCheck(fz_context* c, pdf_document* doc) : m_c(c), m_doc(doc), m_length(pdf_xref_len(c, doc)) {}

    bool changed(int num) const { return num <= 0 || num >= m_length || pdf_xref_is_incremental(m_c, m_doc, num); }

    // Throws the engine's errors.
    bool unchanged(pdf_obj* obj, int depth)
    {
        if (depth > kMaxDepth)
            return false;
        if (pdf_is_indirect(m_c, obj)) {
            const int num = pdf_to_num(m_c, obj);
            if (!m_seen.insert(num).second)
                return true; // checked, or being checked further up
            if (changed(num))
                return false;
            obj = pdf_resolve_indirect(m_c, obj);
            // Other pages draw nothing here (a link's destination, an annotation's page).
            if (pdf_is_dict(m_c, obj) && isPageObject(m_c, obj))
                return true;
        }
        if (pdf_is_dict(m_c, obj)) {
            for (int i = 0, n = pdf_dict_len(m_c, obj); i < n; ++i)
                if (!unchanged(pdf_dict_get_val(m_c, obj, i), depth + 1))
                    return false;
        } else if (pdf_is_array(m_c, obj)) {
            for (int i = 0, n = pdf_array_len(m_c, obj); i < n; ++i)
                if (!unchanged(pdf_array_get(m_c, obj, i), depth + 1))
                    return false;
        }
        return true;
    }

    // The page dictionary and what it draws with, and the page tree nodes it inherits from.
    bool pageUnchanged(pdf_obj* ref)
    {
        const int num = pdf_to_num(m_c, ref);
        m_seen.insert(num);
        if (changed(num))
            return false;
        pdf_obj* page = pdf_resolve_indirect(m_c, ref);
        for (int i = 0, n = pdf_dict_len(m_c, page); i < n; ++i)
            if (!pdf_name_eq(m_c, pdf_dict_get_key(m_c, page, i), PDF_NAME(Parent))
                && !unchanged(pdf_dict_get_val(m_c, page, i), 1))
                return false;
        pdf_obj* node = pdf_dict_get(m_c, page, PDF_NAME(Parent));
        for (int depth = 0; node; ++depth) {
            const int parent = pdf_to_num(m_c, node);
            if (depth > kMaxAncestors || !m_seen.insert(parent).second || changed(parent))
                return false;
            node = pdf_dict_get(m_c, node, PDF_NAME(Parent));
        }
        return true;
    }

private:
    fz_context* m_c;
    pdf_document* m_doc;
    int m_length;
    std::unordered_set<int> m_seen;
};

bool near(double a, double b) { return std::abs(a - b) < 1e-3; }

} // namespace

int drawableSourceNumber(fz_context* c, const DocumentState& document, const Page& page)
{
    pdf_document* doc = document.doc;
    const ObjRef& ref = page.state().ref;
    if (!document.source || !doc || ref.doc != doc || !ref.obj || pdf_was_repaired(c, doc))
        return -1;
    bool drawable = false;
    fz_rect box = fz_empty_rect;
    const bool ok = guarded(c, [&] {
        drawable = doc->num_incremental_sections == 0 || ReachCheck(c, doc).pageUnchanged(ref.obj);
        if (!drawable)
            return;
        // The copy is laid out by the engine's reading of the boxes, the page as shown by this layer's.
        fz_matrix ctm;
        pdf_page_obj_transform(c, ref.obj, &box, &ctm);
        const int rotate = pdf_to_int(c, pdf_dict_get_inheritable(c, ref.obj, PDF_NAME(Rotate)));
        pdf_obj* unit = pdf_dict_get(c, ref.obj, PDF_NAME(UserUnit));
        drawable = rotate % 90 == 0 && (!unit || pdf_to_real(c, unit) == 1.0f);
    });
    if (!ok || !drawable)
        return -1;
    const QRectF crop = page.cropBox();
    if (!near(box.x0, crop.left()) || !near(box.y0, crop.top()) || !near(box.x1, crop.right())
        || !near(box.y1, crop.bottom()))
        return -1;
    return ref.num();
}

std::shared_ptr<SourceCopies> drawingCopies(DocumentState& document)
{
    if (!document.source)
        return nullptr;
    if (!document.drawingCopies)
        document.drawingCopies = std::make_shared<SourceCopies>(document.source, document.password,
                                                                SourceCopies::Contexts::families, kDrawingStoreBytes);
    return document.drawingCopies;
}

RecordOutcome interpretSourcePage(SourceCopies& copies, int number, const RecordBudget& budget,
                                  const RecordCancel* cancel, const SourcePageBody& body,
                                  std::shared_ptr<EngineFamily>* family)
{
    if (cancel && cancel->isCancelled())
        return RecordOutcome::cancelled;
    reserveThreadHeap();
    SourceCopies::Copy* copy = copies.take();
    if (!copy) {
        qCWarning(lcVmkPdf) << "The document could not be opened again for drawing.";
        return RecordOutcome::failed;
    }
    fz_context* c = copy->context;
    pdf_document* doc = copy->doc;
    WatchedCookie watched(budget.milliseconds, cancel ? &cancel->link() : nullptr);
    fz_cookie* cookie = watched.cookie();
    QString error;
    bool ok = false;
    bool overBudget = false;
    {
        ScopedAllocationBudget memory(budget.bytes, &cookie->abort);
        pdf_page* page = nullptr;
        ok = guarded(c, [&] {
            pdf_obj* ref = pdf_new_indirect(c, doc, number, 0);
            int index = -1;
            fz_try(c) { index = pdf_lookup_page_number(c, doc, ref); }
            fz_always(c) { pdf_drop_obj(c, ref); }
            fz_catch(c) { fz_rethrow(c); }
            if (index < 0)
                fz_throw(c, FZ_ERROR_GENERIC, "the page is not in the document as opened");
            page = pdf_load_page(c, doc, index);
            body(c, page, cookie);
        }, &error);
        fz_drop_page(c, reinterpret_cast<fz_page*>(page));
        overBudget = memory.exceeded();
    }
    *family = copy->family;
    copies.give(copy);
    const RecordOutcome outcome =
        budgetOutcome(overBudget, watched.cancelled(), watched.timedOut(), !ok || abortRaised(&cookie->abort));
    if (outcome == RecordOutcome::failed)
        qCWarning(lcVmkPdf) << "A page could not be interpreted:" << error;
    return outcome;
}

} // namespace vmk::pdf::detail
