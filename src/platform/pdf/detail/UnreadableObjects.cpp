#include "platform/pdf/detail/UnreadableObjects.h"

#include "platform/pdf/detail/Fz.h"

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
    int blanked = 0;
    for (int num : unreadable) {
        if (num < count && !readable(c, doc, num)
            && guarded(c, [&] { pdf_update_object(c, doc, num, PDF_NULL); }))
            ++blanked;
    }
    return blanked;
}

} // namespace vmk::pdf::detail
