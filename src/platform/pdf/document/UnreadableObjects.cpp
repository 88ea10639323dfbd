#include "platform/pdf/document/UnreadableObjects.h"

#include "platform/pdf/engine/Fz.h"

#include <vector>

namespace vmk::pdf::detail {

namespace {

// False when the object is listed as present but reading it fails.
bool readable(fz_context* c, pdf_document* doc, int num)
{
    pdf_obj* obj = nullptr;
    bool listed = false;
    const bool ok = guarded(c, [&] {
        pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
        listed = entry && (entry->type == 'n' || entry->type == 'o');
        if (listed)
            obj = pdf_load_object(c, doc, num);
    });
    pdf_drop_obj(c, obj);
    return ok || !listed;
}

// Object 0 heads the list of free objects and is never an object itself. A damaged object stream may still
// claim it in its table, and a repair that scans such streams then lists object 0 as stored there; the
// writer reads every object listed so, from 0 up, and stops at it. It is listed as free again.
bool freeObjectZero(fz_context* c, pdf_document* doc)
{
    bool freed = false;
    guarded(c, [&] {
        pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, 0);
        if (!entry || (entry->type != 'n' && entry->type != 'o'))
            return;
        pdf_drop_obj(c, entry->obj);
        entry->obj = nullptr;
        entry->type = 'f';
        entry->ofs = 0;
        entry->gen = 65535;
        entry->stm_ofs = 0;
        freed = true;
    });
    return freed;
}

} // namespace

int blankUnreadableObjects(fz_context* c, pdf_document* doc)
{
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return 0;
    std::vector<int> unreadable;
    for (int num = 1; num < count; ++num) {
        if (!readable(c, doc, num))
            unreadable.push_back(num);
        // A repair may change how many objects there are.
        guarded(c, [&] { count = pdf_xref_len(c, doc); });
    }
    int blanked = freeObjectZero(c, doc) ? 1 : 0;
    for (int num : unreadable) {
        if (num < count && !readable(c, doc, num)
            && guarded(c, [&] { pdf_update_object(c, doc, num, PDF_NULL); }))
            ++blanked;
    }
    return blanked;
}

} // namespace vmk::pdf::detail
