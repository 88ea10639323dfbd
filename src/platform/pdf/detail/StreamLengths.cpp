#include "platform/pdf/detail/StreamLengths.h"

#include "platform/pdf/detail/Fz.h"

namespace vmk::pdf::detail {

int directStreamLengths(fz_context* c, pdf_document* doc)
{
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return 0;
    int replaced = 0;
    for (int num = 1; num < count; ++num) {
        pdf_obj* obj = nullptr;
        guarded(c, [&] {
            pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
            if (!entry || entry->type != 'n' || !pdf_obj_num_is_stream(c, doc, num))
                return;
            obj = pdf_load_object(c, doc, num);
            pdf_obj* length = pdf_dict_get(c, obj, PDF_NAME(Length));
            if (!pdf_is_indirect(c, length))
                return;
            pdf_dict_put_int(c, obj, PDF_NAME(Length), pdf_to_int64(c, pdf_resolve_indirect(c, length)));
            ++replaced;
        });
        pdf_drop_obj(c, obj);
        guarded(c, [&] { count = pdf_xref_len(c, doc); });
    }
    return replaced;
}

} // namespace vmk::pdf::detail
