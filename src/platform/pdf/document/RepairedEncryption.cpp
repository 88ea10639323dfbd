#include "platform/pdf/document/RepairedEncryption.h"

namespace vmk::pdf::detail {

void restoreEncryptionDictionary(fz_context* c, pdf_document* doc)
{
    if (!doc->crypt || !pdf_was_repaired(c, doc))
        return;
    pdf_obj* encrypt = pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Encrypt));
    const int num = pdf_is_indirect(c, encrypt) ? pdf_to_num(c, encrypt) : 0;
    if (num <= 0 || num >= pdf_xref_len(c, doc))
        return;
    pdf_obj* raw = pdf_load_unencrypted_object(c, doc, num);
    fz_try(c)
    {
        if (pdf_is_dict(c, raw))
            pdf_update_object(c, doc, num, raw);
    }
    fz_always(c) pdf_drop_obj(c, raw);
    fz_catch(c) fz_rethrow(c);
}

} // namespace vmk::pdf::detail
