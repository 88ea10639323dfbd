#include "platform/pdf/Page.h"

#include "platform/pdf/detail/State.h"

#include <QCryptographicHash>

namespace vmk::pdf {

using namespace detail;

QByteArray Page::contentDigest() const
{
    fz_context* c = ctx();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::vector<pdf_obj*> parts;
    pdf_obj* pageObj = m_state->ref.obj;
    guarded(c, [&] {
        pdf_obj* contents = pdf_dict_get(c, pageObj, PDF_NAME(Contents));
        const int n = pdf_is_array(c, contents) ? pdf_array_len(c, contents) : 1;
        for (int i = 0; i < n; ++i) {
            pdf_obj* part = pdf_is_array(c, contents) ? pdf_array_get(c, contents, i) : contents;
            if (pdf_is_stream(c, part))
                parts.push_back(part);
        }
    });
    for (pdf_obj* part : parts) {
        fz_buffer* data = nullptr;
        if (!guarded(c, [&] { data = pdf_load_stream(c, part); })) {
            hash.addData(QByteArrayView("\0unreadable\0", 12));
            continue;
        }
        unsigned char* bytes = nullptr;
        const size_t size = fz_buffer_storage(c, data, &bytes);
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(size)));
        hash.addData(QByteArrayView("\n", 1));
        fz_drop_buffer(c, data);
    }
    return hash.result();
}

} // namespace vmk::pdf
