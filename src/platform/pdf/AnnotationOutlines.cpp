// Annotations read as plain rectangles and kinds, with handles made only for those asked for: following
// the pointer over a page with tens of thousands of links must not cost a handle per link.

#include "platform/pdf/Annotation.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/detail/State.h"

namespace vmk::pdf {

using namespace detail;

std::vector<Page::AnnotationOutline> Page::annotationOutlines() const
{
    std::vector<AnnotationOutline> outlines;
    fz_context* c = ctx();
    if (!m_state->annotationsLoaded) {
        pdf_obj* pageObj = m_state->ref.obj;
        bool direct = false;
        guarded(c, [&] {
            pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
            const int n = pdf_array_len(c, annots);
            outlines.reserve(size_t(n));
            for (int i = 0; i < n && !direct; ++i) {
                pdf_obj* entry = pdf_array_get(c, annots, i);
                if (!pdf_is_dict(c, entry))
                    continue;
                // Only an indirect annotation has a key before its handle is made.
                direct = !pdf_is_indirect(c, entry);
                pdf_obj* subtype = pdf_dict_get(c, entry, PDF_NAME(Subtype));
                outlines.push_back(AnnotationOutline{rectOf(c, pdf_dict_get(c, entry, PDF_NAME(Rect))), pdf_to_num(c, entry),
                                                     pdf_name_eq(c, subtype, PDF_NAME(Link)) != 0,
                                                     pdf_name_eq(c, subtype, PDF_NAME(Popup)) != 0});
            }
        });
        if (!direct)
            return outlines;
        outlines.clear();
    }
    for (const AnnotationPtr& a : annotations()) {
        const QString type = a->type();
        outlines.push_back(AnnotationOutline{a->bounds(), a->state().ref.num(), type == QLatin1String("Link"),
                                             type == QLatin1String("Popup")});
    }
    return outlines;
}

std::size_t Page::annotationCount() const
{
    if (m_state->annotationsLoaded)
        return m_state->annotations.size();
    PageState& s = *m_state;
    fz_context* c = ctx();
    pdf_obj* pageObj = s.ref.obj;
    guarded(c, [&] {
        pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
        const int n = pdf_array_len(c, annots);
        // Counted again only when the list is another or changed its length: asked on every pointer move.
        if (s.annotationCount.list == annots && s.annotationCount.entries == n)
            return;
        std::size_t count = 0;
        for (int i = 0; i < n; ++i)
            count += pdf_is_dict(c, pdf_array_get(c, annots, i)) ? 1 : 0;
        s.annotationCount = {annots, n, count};
    });
    return s.annotationCount.count;
}

AnnotationPtr Page::annotationForKey(int key) const
{
    PageState& s = *m_state;
    if (s.annotationsLoaded) {
        for (const AnnotationPtr& a : s.annotations)
            if (a->state().ref.num() == key)
                return a;
        return nullptr;
    }
    if (const auto it = s.earlyAnnotations.find(key); it != s.earlyAnnotations.end())
        return it->second;
    fz_context* c = ctx();
    pdf_obj* pageObj = s.ref.obj;
    bool listed = false;
    guarded(c, [&] {
        pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
        for (int i = 0, n = pdf_array_len(c, annots); i < n && !listed; ++i) {
            pdf_obj* entry = pdf_array_get(c, annots, i);
            listed = pdf_is_indirect(c, entry) && pdf_to_num(c, entry) == key && pdf_is_dict(c, entry);
        }
    });
    if (!listed)
        return nullptr;
    AnnotationPtr a = AnnotationState::make(s.ref.doc, key);
    a->state().page = std::const_pointer_cast<Page>(shared_from_this());
    s.earlyAnnotations.emplace(key, a);
    return a;
}

} // namespace vmk::pdf
