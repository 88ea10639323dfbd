#include "platform/pdf/document/EncryptionCopy.h"

namespace vmk::pdf::detail {

namespace {

pdf_obj* encryptionOf(fz_context* c, pdf_document* doc)
{
    return pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Encrypt));
}

pdf_obj* identifierOf(fz_context* c, pdf_document* doc)
{
    return pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(ID));
}

} // namespace

int checkPassword(fz_context* c, pdf_document* doc, const QByteArray& utf8)
{
    if (!doc->crypt)
        return 0;
    pdf_document* probe = pdf_create_document(c);
    int result = 0;
    fz_try(c)
    {
        probe->crypt = pdf_new_crypt(c, encryptionOf(c, doc), identifierOf(c, doc));
        result = pdf_authenticate_password(c, probe, utf8.constData());
    }
    fz_always(c) pdf_drop_document(c, probe);
    fz_catch(c) fz_rethrow(c);
    return result;
}

bool adoptEncryption(fz_context* c, pdf_document* to, pdf_document* from, const QByteArray& password)
{
    if (!from->crypt || to->crypt)
        return false;
    if (!(checkPassword(c, from, password) & 6))
        return false;
    pdf_obj* trailer = pdf_trailer(c, to);
    pdf_obj* dictionary = pdf_graft_object(c, to, pdf_resolve_indirect(c, encryptionOf(c, from)));
    pdf_dict_put_drop(c, trailer, PDF_NAME(Encrypt), pdf_add_object_drop(c, to, dictionary));
    pdf_dict_put_drop(c, trailer, PDF_NAME(ID), pdf_graft_object(c, to, identifierOf(c, from)));
    to->crypt = pdf_new_crypt(c, encryptionOf(c, to), identifierOf(c, to));
    return pdf_authenticate_password(c, to, password.constData()) != 0;
}

} // namespace vmk::pdf::detail
