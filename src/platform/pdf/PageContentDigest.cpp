#include "platform/pdf/Page.h"

#include "platform/pdf/detail/State.h"

#include <QCryptographicHash>

namespace vmk::pdf {

using namespace detail;

namespace {

bool isWhiteSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0;
}

} // namespace

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
        size_t size = fz_buffer_storage(c, data, &bytes);
        // White space at the end draws nothing, and where the data ends before `endstream` is a guess for
        // a stream whose length was wrong: an end of line may be counted in or not.
        while (size > 0 && isWhiteSpace(bytes[size - 1]))
            --size;
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(size)));
        hash.addData(QByteArrayView("\n", 1));
        fz_drop_buffer(c, data);
    }
    return hash.result();
}

} // namespace vmk::pdf
