// A page copied into a private one-page document, so that interpreting it (which may take minutes on a
// hostile page) happens on a worker while the document itself stays with its thread.

#include "platform/pdf/PageCapture.h"

#include "platform/pdf/Annotation.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/PageSnapshot.h"
#include "platform/pdf/PdfLog.h"
#include "platform/pdf/detail/SnapshotState.h"
#include "platform/pdf/detail/State.h"
#include "platform/pdf/detail/Watchdog.h"

#include <algorithm>
#include <unordered_map>

namespace vmk::pdf {

namespace detail {

struct CaptureState {
    pdf_document* doc = nullptr; // the private copy, one page
    QRectF cropBox;
    int rotation = 0;
    QSizeF displaySize;
    QTransform displayTransform;
    ~CaptureState()
    {
        if (doc)
            pdf_drop_document(ctx(), doc);
    }
};

namespace {

// Copies the objects a page draws with. Deeper nesting than any real file has is refused rather than
// followed (the copy recurses); page objects are cut off so that the copy never drags the page tree
// and every other page along.
class PageObjectCopier {
public:
    // Each level also takes a slot of the engine's error stack, which is a few hundred deep.
    static constexpr int kMaxDepth = 100;

    void setTarget(pdf_document* to) { m_to = to; }

    // Throws MuPDF errors; the caller owns the result.
    pdf_obj* copy(fz_context* c, pdf_obj* obj, int depth = 0)
    {
        if (!obj)
            return nullptr;
        if (depth > kMaxDepth)
            fz_throw(c, FZ_ERROR_GENERIC, "objects nested too deeply");
        if (pdf_is_indirect(c, obj)) {
            const int num = pdf_to_num(c, obj);
            if (auto found = m_numbers.find(num); found != m_numbers.end())
                return pdf_new_indirect(c, m_to, found->second, 0);
            pdf_obj* resolved = pdf_resolve_indirect(c, obj);
            if (!resolved || isPageObject(c, resolved))
                return PDF_NULL;
            const int newNum = pdf_create_object(c, m_to);
            m_numbers.emplace(num, newNum);
            pdf_obj* body = copy(c, resolved, depth + 1);
            fz_try(c) { pdf_update_object(c, m_to, newNum, body); }
            fz_always(c) { pdf_drop_obj(c, body); }
            fz_catch(c) { fz_rethrow(c); }
            pdf_obj* ref = pdf_new_indirect(c, m_to, newNum, 0);
            if (pdf_is_stream(c, obj)) {
                fz_buffer* raw = nullptr;
                fz_var(raw);
                fz_try(c)
                {
                    raw = pdf_load_raw_stream(c, obj);
                    pdf_update_stream(c, m_to, ref, raw, 1);
                }
                fz_always(c) { fz_drop_buffer(c, raw); }
                fz_catch(c)
                {
                    pdf_drop_obj(c, ref);
                    fz_rethrow(c);
                }
            }
            return ref;
        }
        if (pdf_is_dict(c, obj)) {
            const int n = pdf_dict_len(c, obj);
            pdf_obj* out = pdf_new_dict(c, m_to, n);
            fz_try(c)
            {
                for (int i = 0; i < n; ++i)
                    pdf_dict_put_drop(c, out, pdf_dict_get_key(c, obj, i), copy(c, pdf_dict_get_val(c, obj, i), depth + 1));
            }
            fz_catch(c)
            {
                pdf_drop_obj(c, out);
                fz_rethrow(c);
            }
            return out;
        }
        if (pdf_is_array(c, obj)) {
            const int n = pdf_array_len(c, obj);
            pdf_obj* out = pdf_new_array(c, m_to, n);
            fz_try(c)
            {
                for (int i = 0; i < n; ++i)
                    pdf_array_push_drop(c, out, copy(c, pdf_array_get(c, obj, i), depth + 1));
            }
            fz_catch(c)
            {
                pdf_drop_obj(c, out);
                fz_rethrow(c);
            }
            return out;
        }
        return pdf_keep_obj(c, obj);
    }

    // An annotation as drawn: its actions and destinations, which point into the rest of the document,
    // are left behind.
    pdf_obj* copyAnnotation(fz_context* c, pdf_obj* annot)
    {
        pdf_obj* dict = pdf_resolve_indirect(c, annot);
        if (!pdf_is_dict(c, dict))
            return PDF_NULL;
        pdf_obj* out = pdf_new_dict(c, m_to, pdf_dict_len(c, dict));
        fz_try(c)
        {
            for (int i = 0, n = pdf_dict_len(c, dict); i < n; ++i) {
                pdf_obj* key = pdf_dict_get_key(c, dict, i);
                if (pdf_name_eq(c, key, PDF_NAME(A)) || pdf_name_eq(c, key, PDF_NAME(Dest))
                    || pdf_name_eq(c, key, PDF_NAME(AA)) || pdf_name_eq(c, key, PDF_NAME(P))
                    || pdf_name_eq(c, key, PDF_NAME(Parent)) || pdf_name_eq(c, key, PDF_NAME(Popup))
                    || pdf_name_eq(c, key, PDF_NAME(IRT)))
                    continue;
                pdf_dict_put_drop(c, out, key, copy(c, pdf_dict_get_val(c, dict, i), 1));
            }
        }
        fz_catch(c)
        {
            pdf_drop_obj(c, out);
            fz_rethrow(c);
        }
        pdf_obj* ref = nullptr;
        fz_try(c) { ref = pdf_add_object(c, m_to, out); }
        fz_always(c) { pdf_drop_obj(c, out); }
        fz_catch(c) { fz_rethrow(c); }
        return ref;
    }

private:
    static bool isPageObject(fz_context* c, pdf_obj* dict)
    {
        if (!pdf_is_dict(c, dict))
            return false;
        pdf_obj* type = pdf_dict_get(c, dict, PDF_NAME(Type));
        return pdf_name_eq(c, type, PDF_NAME(Page)) || pdf_name_eq(c, type, PDF_NAME(Pages));
    }

    pdf_document* m_to = nullptr;
    std::unordered_map<int, int> m_numbers;
};

void putBox(fz_context* c, pdf_obj* dict, pdf_obj* key, const QRectF& r)
{
    pdf_dict_put_rect(c, dict, key, fz_make_rect(float(r.left()), float(r.top()), float(r.right()), float(r.bottom())));
}

} // namespace
} // namespace detail

using namespace detail;

PageCapture::PageCapture(std::unique_ptr<CaptureState> state) : m_state(std::move(state)) {}

PageCapture::~PageCapture() = default;

std::shared_ptr<PageCapture> PageCapture::take(const Page& page, bool withAnnotations,
                                               const std::vector<const Annotation*>& excluded)
{
    if (withAnnotations)
        ensureAppearances(page);
    auto state = std::make_unique<CaptureState>();
    state->cropBox = page.cropBox();
    state->rotation = page.rotation();
    state->displaySize = page.displaySize();
    state->displayTransform = page.displayTransform();
    // The boxes as this layer reads them (a missing or unusable one already replaced), so that the copy
    // is laid out exactly as the page is shown.
    const QRectF media = page.mediaBox();
    const QRectF crop = state->cropBox;
    const int rotation = state->rotation;
    std::vector<int> skipped;
    for (const Annotation* a : excluded)
        if (a && a->page().get() == &page)
            skipped.push_back(a->state().ref.num());

    fz_context* c = ctx();
    pdf_obj* source = page.state().ref.obj;
    pdf_document* doc = nullptr;
    QString error;
    PageObjectCopier copier; // outside the engine's error guard, which would skip its destructor
    const bool ok = guarded(c, [&] {
        doc = pdf_create_document(c);
        copier.setTarget(doc);
        pdf_obj* dict = pdf_new_dict(c, doc, 8);
        pdf_obj* ref = nullptr;
        fz_try(c)
        {
            pdf_dict_put(c, dict, PDF_NAME(Type), PDF_NAME(Page));
            putBox(c, dict, PDF_NAME(MediaBox), media);
            putBox(c, dict, PDF_NAME(CropBox), crop);
            pdf_dict_put_int(c, dict, PDF_NAME(Rotate), rotation);
            pdf_dict_put_drop(c, dict, PDF_NAME(Resources),
                              copier.copy(c, pdf_dict_get_inheritable(c, source, PDF_NAME(Resources))));
            if (pdf_obj* contents = pdf_dict_get(c, source, PDF_NAME(Contents)))
                pdf_dict_put_drop(c, dict, PDF_NAME(Contents), copier.copy(c, contents));
            if (pdf_obj* group = pdf_dict_get(c, source, PDF_NAME(Group)))
                pdf_dict_put_drop(c, dict, PDF_NAME(Group), copier.copy(c, group));
            pdf_obj* annots = withAnnotations ? pdf_dict_get(c, source, PDF_NAME(Annots)) : nullptr;
            if (pdf_is_array(c, annots)) {
                pdf_obj* kept = pdf_dict_put_array(c, dict, PDF_NAME(Annots), pdf_array_len(c, annots));
                for (int i = 0, n = pdf_array_len(c, annots); i < n; ++i) {
                    pdf_obj* annot = pdf_array_get(c, annots, i);
                    if (std::find(skipped.begin(), skipped.end(), pdf_to_num(c, annot)) != skipped.end())
                        continue;
                    // Links draw nothing unless they carry an appearance; a page may have thousands.
                    if (pdf_name_eq(c, pdf_dict_get(c, annot, PDF_NAME(Subtype)), PDF_NAME(Link))
                        && !pdf_dict_get(c, annot, PDF_NAME(AP)))
                        continue;
                    pdf_array_push_drop(c, kept, copier.copyAnnotation(c, annot));
                }
            }
            ref = pdf_add_object(c, doc, dict);
            pdf_insert_page(c, doc, 0, ref);
        }
        fz_always(c)
        {
            pdf_drop_obj(c, ref);
            pdf_drop_obj(c, dict);
        }
        fz_catch(c) { fz_rethrow(c); }
    }, &error);
    if (!ok) {
        qCWarning(lcVmkPdf) << "A page could not be copied for drawing:" << error;
        if (doc)
            pdf_drop_document(c, doc);
        return nullptr;
    }
    state->doc = doc;
    return std::make_shared<PageCapture>(std::move(state));
}

RecordResult PageCapture::record(const RecordBudget& budget, const RecordCancel* cancel) const
{
    RecordResult result;
    fz_context* c = ctx();
    auto snapshot = std::make_unique<SnapshotState>();
    snapshot->cropBox = m_state->cropBox;
    snapshot->rotation = m_state->rotation;
    snapshot->displaySize = m_state->displaySize;
    snapshot->displayTransform = m_state->displayTransform;
    snapshot->source = shared_from_this();
    SnapshotState* s = snapshot.get();

    WatchedCookie watched(budget.milliseconds, cancel ? &cancel->flag() : nullptr);
    fz_cookie* cookie = watched.cookie();
    pdf_document* doc = m_state->doc;
    fz_display_list* list = nullptr;
    QString error;
    bool overBudget = false;
    bool ok = false;
    {
        ScopedAllocationBudget memory(budget.bytes, &cookie->abort);
        pdf_page* page = nullptr;
        fz_device* device = nullptr;
        ok = guarded(c, [&] {
            page = pdf_load_page(c, doc, 0);
            s->deviceBounds = pdf_bound_page(c, page);
            list = fz_new_display_list(c, s->deviceBounds);
            device = fz_new_list_device(c, list);
            pdf_run_page(c, page, device, fz_identity, cookie);
            fz_close_device(c, device);
        }, &error);
        fz_drop_device(c, device);
        fz_drop_page(c, reinterpret_cast<fz_page*>(page));
        overBudget = memory.exceeded();
    }
    if (overBudget)
        result.outcome = RecordOutcome::tooLarge;
    else if (watched.cancelled())
        result.outcome = RecordOutcome::cancelled;
    else if (watched.timedOut())
        result.outcome = RecordOutcome::tooSlow;
    else if (!ok || cookie->abort)
        result.outcome = RecordOutcome::failed;
    else
        result.outcome = RecordOutcome::recorded;
    if (result.outcome != RecordOutcome::recorded) {
        fz_drop_display_list(c, list);
        if (result.outcome == RecordOutcome::failed)
            qCWarning(lcVmkPdf) << "A page could not be interpreted:" << error;
        return result;
    }
    s->list = list;
    result.snapshot = std::make_shared<PageSnapshot>(std::move(snapshot));
    return result;
}

} // namespace vmk::pdf
