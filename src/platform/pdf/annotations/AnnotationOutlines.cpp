// Annotations read as plain rectangles and kinds, with handles made only for those asked for: following
// the pointer over a page with tens of thousands of links must not cost a handle per link.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/State.h"

#include <algorithm>
#include <limits>

namespace vmk::pdf {

using namespace detail;

std::vector<Page::AnnotationOutline> Page::annotationOutlines() const
{
    return annotationOutlines(0, std::numeric_limits<int>::max()).outlines;
}

Page::AnnotationOutlinePart Page::annotationOutlines(int from, int count) const
{
    AnnotationOutlinePart part;
    from = std::max(from, 0);
    count = std::max(count, 0);
    fz_context* c = ctx();
    if (!m_state->annotationsLoaded) {
        pdf_obj* pageObj = m_state->ref.obj;
        bool direct = false;
        guarded(c, [&] {
            pdf_obj* annots = pdf_dict_get(c, pageObj, PDF_NAME(Annots));
            const int n = pdf_array_len(c, annots);
            part.total = n;
            part.list = annots;
            // Only an indirect annotation has a key before its handle is made: one that is not sends every
            // read to the handles, which the first part finds out.
            for (int i = 0; from == 0 && i < n && !direct; ++i) {
                pdf_obj* entry = pdf_array_get(c, annots, i);
                direct = !pdf_is_indirect(c, entry) && pdf_is_dict(c, entry);
            }
            if (direct)
                return;
            const int end = from + std::min(count, n - std::min(from, n));
            part.outlines.reserve(size_t(end - std::min(from, end)));
            for (int i = from; i < end; ++i) {
                pdf_obj* entry = pdf_array_get(c, annots, i);
                if (!pdf_is_dict(c, entry))
                    continue;
                pdf_obj* subtype = pdf_dict_get(c, entry, PDF_NAME(Subtype));
                part.outlines.push_back(AnnotationOutline{rectOf(c, pdf_dict_get(c, entry, PDF_NAME(Rect))),
                                                          pdf_to_num(c, entry),
                                                          pdf_name_eq(c, subtype, PDF_NAME(Link)) != 0,
                                                          pdf_name_eq(c, subtype, PDF_NAME(Popup)) != 0});
            }
            part.next = std::max(end, from);
        });
        if (!direct)
            return part;
        part = {};
    }
    const std::vector<AnnotationPtr> all = annotations();
    part.total = int(all.size());
    part.list = &m_state->annotations;
    const int end = from + std::min(count, part.total - std::min(from, part.total));
    for (int i = from; i < end; ++i) {
        const AnnotationPtr& a = all[size_t(i)];
        const QString type = a->type();
        part.outlines.push_back(AnnotationOutline{a->bounds(), a->state().ref.num(), type == QLatin1String("Link"),
                                                  type == QLatin1String("Popup")});
    }
    part.next = std::max(end, from);
    return part;
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
