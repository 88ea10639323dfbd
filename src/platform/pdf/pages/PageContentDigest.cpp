#include "platform/pdf/document/Page.h"

#include "platform/pdf/document/State.h"

#include <QCryptographicHash>

namespace vmk::pdf {

using namespace detail;

namespace {

// How much of a content stream's decoded data the digest takes in.
constexpr qsizetype kMaxDigested = qsizetype(32) << 20;

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
        QByteArray data;
        bool image = false;
        const bool read = guarded(c, [&] {
            // Image data as a page's content draws nothing, and decoding it can take gigabytes: its bytes as
            // stored stand for it (the writer keeps them as they are).
            pdf_obj* filter = pdf_dict_get(c, part, PDF_NAME(Filter));
            for (int i = 0, n = pdf_is_array(c, filter) ? pdf_array_len(c, filter) : 1; i < n; ++i) {
                pdf_obj* name = pdf_is_array(c, filter) ? pdf_array_get(c, filter, i) : filter;
                image = image || pdf_name_eq(c, name, PDF_NAME(DCTDecode)) || pdf_name_eq(c, name, PDF_NAME(DCT))
                     || pdf_name_eq(c, name, PDF_NAME(JBIG2Decode)) || pdf_name_eq(c, name, PDF_NAME(JPXDecode))
                     || pdf_name_eq(c, name, PDF_NAME(CCITTFaxDecode)) || pdf_name_eq(c, name, PDF_NAME(CCF));
            }
            fz_stream* stream = image ? pdf_open_raw_stream(c, part) : pdf_open_stream(c, part);
            fz_try(c)
            {
                // A stream that inflates past the limit is compared by its beginning.
                unsigned char chunk[64 * 1024];
                for (size_t got; data.size() < kMaxDigested && (got = fz_read(c, stream, chunk, sizeof chunk)) > 0;)
                    data.append(reinterpret_cast<const char*>(chunk), qsizetype(got));
            }
            fz_always(c) { fz_drop_stream(c, stream); }
            fz_catch(c) { fz_rethrow(c); }
        });
        if (!read) {
            hash.addData(QByteArrayView("\0unreadable\0", 12));
            continue;
        }
        // White space at the end draws nothing, and where the data ends before `endstream` is a guess for
        // a stream whose length was wrong: an end of line may be counted in or not.
        qsizetype size = data.size();
        while (size > 0 && isWhiteSpace(static_cast<unsigned char>(data[size - 1])))
            --size;
        hash.addData(QByteArrayView(data.constData(), size));
        hash.addData(QByteArrayView("\n", 1));
    }
    return hash.result();
}

} // namespace vmk::pdf
