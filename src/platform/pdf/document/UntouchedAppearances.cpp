#include "platform/pdf/document/UntouchedAppearances.h"

#include "platform/pdf/engine/EngineGate.h"

namespace vmk::pdf::detail {

namespace {

pdf_obj* deepCopy(fz_context* c, pdf_obj* ref)
{
    pdf_obj* copy = nullptr;
    guarded(c, [&] { copy = pdf_deep_copy_obj(c, pdf_resolve_indirect(c, ref)); });
    return copy;
}

bool hasAppearance(fz_context* c, pdf_obj* ref)
{
    bool has = true;
    guarded(c, [&] { has = pdf_dict_getp(c, ref, "AP/N") != nullptr; });
    return has;
}

} // namespace

DrawnForDisplay::~DrawnForDisplay()
{
    if (!asRead && !asDrawn)
        return;
    // Let go of while a document is being written (a page's handles dropped on the main thread).
    EngineGate::releaseLater([read = asRead, drawn = asDrawn] {
        fz_context* c = ctx();
        pdf_drop_obj(c, read);
        pdf_drop_obj(c, drawn);
    });
}

void rememberBeforeDrawing(fz_context* c, const std::vector<AnnotationPtr>& annotations)
{
    for (const AnnotationPtr& a : annotations) {
        AnnotationState& s = a->state();
        if (!s.lackedAppearance || s.drawn)
            continue;
        s.lackedAppearance = false;
        if (hasAppearance(c, s.ref.obj))
            continue;
        s.drawn = std::make_shared<DrawnForDisplay>();
        s.drawn->asRead = deepCopy(c, s.ref.obj);
    }
}

void rememberAfterDrawing(fz_context* c, const std::vector<AnnotationPtr>& annotations)
{
    for (const AnnotationPtr& a : annotations) {
        AnnotationState& s = a->state();
        if (!s.drawn || s.drawn->asDrawn)
            continue;
        if (!s.drawn->asRead || !hasAppearance(c, s.ref.obj)) {
            s.drawn.reset(); // nothing was drawn: nothing to take back
            continue;
        }
        s.drawn->asDrawn = deepCopy(c, s.ref.obj);
    }
}

void UntouchedAppearances::hide(fz_context* c, const std::vector<PagePtr>& pages)
{
    for (const PagePtr& page : pages) {
        if (!page || !page->state().annotationsLoaded)
            continue;
        for (const AnnotationPtr& a : page->state().annotations) {
            const AnnotationState& s = a->state();
            if (!s.drawn || !s.drawn->asDrawn)
                continue;
            pdf_obj* dict = pdf_resolve_indirect(c, s.ref.obj);
            // Anything changed since (by the user, or drawn again for a change) is the user's to keep.
            if (!pdf_is_dict(c, dict) || pdf_objcmp(c, dict, s.drawn->asDrawn) != 0)
                continue;
            pdf_obj* read = s.drawn->asRead;
            for (int i = pdf_dict_len(c, dict) - 1; i >= 0; --i) {
                pdf_obj* key = pdf_dict_get_key(c, dict, i);
                if (!pdf_dict_get(c, read, key))
                    m_journal.put(c, s.ref.obj, key, nullptr);
            }
            for (int i = 0, n = pdf_dict_len(c, read); i < n; ++i) {
                pdf_obj* key = pdf_dict_get_key(c, read, i);
                pdf_obj* value = pdf_dict_get_val(c, read, i);
                if (pdf_objcmp(c, pdf_dict_get(c, dict, key), value) != 0)
                    m_journal.put(c, s.ref.obj, key, value);
            }
        }
    }
}

void UntouchedAppearances::restore(fz_context* c)
{
    m_journal.exchange(c);
    m_journal.clear(c);
}

} // namespace vmk::pdf::detail
