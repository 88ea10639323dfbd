#include "platform/pdf/detail/ClearMetadataWrite.h"

#include "platform/pdf/PdfLog.h"
#include "platform/pdf/detail/ClearMetadata.h"

#include <algorithm>
#include <vector>

namespace vmk::pdf::detail {

namespace {

// The object number of the catalog's metadata stream when the document's encryption keeps it in clear
// (standard security handler revision 4 or later; earlier ones have no such switch), else 0. A stream
// that names a crypt filter of its own other than /Identity is encrypted on purpose and is left alone.
int clearMetadataNumber(fz_context* c, pdf_document* doc)
{
    if (!doc->crypt || pdf_crypt_revision(c, doc->crypt) < 4 || pdf_crypt_encrypt_metadata(c, doc->crypt))
        return 0;
    pdf_obj* root = pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Root));
    pdf_obj* ref = pdf_dict_get(c, root, PDF_NAME(Metadata));
    if (!pdf_is_indirect(c, ref) || !pdf_is_stream(c, ref)
        || !pdf_name_eq(c, pdf_dict_get(c, ref, PDF_NAME(Type)), PDF_NAME(Metadata)))
        return 0;
    const int num = pdf_to_num(c, ref);
    if (num <= 0 || num >= pdf_xref_len(c, doc))
        return 0;
    if (hasOwnCryptFilter(c, ref)) {
        pdf_obj* params = pdf_dict_get(c, ref, PDF_NAME(DecodeParms));
        pdf_obj* first = pdf_is_array(c, params) ? pdf_array_get(c, params, 0) : params;
        pdf_obj* name = pdf_dict_get(c, first, PDF_NAME(Name));
        if (name && !pdf_name_eq(c, name, PDF_NAME(Identity)))
            return 0;
    }
    return num;
}

// A copy of the stream dictionary `original` for `length` bytes of clear data, with a /Crypt filter named
// /Identity put first unless the stream has a crypt filter already (then /Identity, see above).
pdf_obj* clearDictionary(fz_context* c, pdf_document* doc, pdf_obj* original, size_t length)
{
    pdf_obj* dict = pdf_deep_copy_obj(c, original);
    pdf_obj* identity = nullptr;
    pdf_obj* filters = nullptr;
    pdf_obj* params = nullptr;
    fz_var(identity);
    fz_var(filters);
    fz_var(params);
    fz_try(c)
    {
        pdf_dict_put_int(c, dict, PDF_NAME(Length), int64_t(length));
        if (!hasOwnCryptFilter(c, original)) {
            identity = pdf_new_dict(c, doc, 1);
            pdf_dict_put(c, identity, PDF_NAME(Name), PDF_NAME(Identity));
            pdf_obj* oldFilters = pdf_dict_get(c, original, PDF_NAME(Filter));
            pdf_obj* oldParams = pdf_dict_get(c, original, PDF_NAME(DecodeParms));
            const int count = pdf_is_name(c, oldFilters) ? 1 : pdf_array_len(c, oldFilters);
            if (count == 0) {
                pdf_dict_put(c, dict, PDF_NAME(Filter), PDF_NAME(Crypt));
                pdf_dict_put(c, dict, PDF_NAME(DecodeParms), identity);
            } else {
                // New arrays throughout: the old ones may be shared objects of the document.
                filters = pdf_new_array(c, doc, count + 1);
                params = pdf_new_array(c, doc, count + 1);
                pdf_array_push(c, filters, PDF_NAME(Crypt));
                pdf_array_push(c, params, identity);
                for (int i = 0; i < count; ++i) {
                    pdf_array_push(c, filters, pdf_is_name(c, oldFilters) ? oldFilters : pdf_array_get(c, oldFilters, i));
                    pdf_obj* own = pdf_is_array(c, oldParams) ? pdf_array_get(c, oldParams, i)
                                                             : (i == 0 && pdf_is_dict(c, oldParams) ? oldParams : nullptr);
                    pdf_array_push(c, params, own ? own : PDF_NULL);
                }
                pdf_dict_put(c, dict, PDF_NAME(Filter), filters);
                pdf_dict_put(c, dict, PDF_NAME(DecodeParms), params);
            }
        }
    }
    fz_always(c)
    {
        pdf_drop_obj(c, identity);
        pdf_drop_obj(c, filters);
        pdf_drop_obj(c, params);
    }
    fz_catch(c)
    {
        pdf_drop_obj(c, dict);
        fz_rethrow(c);
    }
    return dict;
}

// Reads an unsigned decimal number at `pos` after any white space; -1 when there is none.
qint64 numberAt(const QByteArray& bytes, qsizetype& pos)
{
    while (pos < bytes.size() && (bytes[pos] == ' ' || bytes[pos] == '\r' || bytes[pos] == '\n'))
        ++pos;
    const qsizetype begin = pos;
    qint64 value = 0;
    while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9' && pos - begin < 18)
        value = value * 10 + (bytes[pos++] - '0');
    return pos > begin ? value : -1;
}

constexpr qsizetype kEntrySize = 20; // "nnnnnnnnnn ggggg n \n"

struct XrefEntry {
    qint64 offset = 0;
    int gen = 0;
    bool inUse = false;
};

} // namespace

ClearMetadataWrite::~ClearMetadataWrite()
{
    if (m_shield)
        release(m_ctx);
}

bool ClearMetadataWrite::prepare(fz_context* c, pdf_document* doc, bool keepsEncryption)
{
    int num = 0;
    int gen = 0;
    fz_buffer* stored = nullptr;
    fz_buffer* data = nullptr;
    pdf_obj* dict = nullptr;
    fz_buffer* object = nullptr;
    fz_output* out = nullptr;
    QString error;
    const bool ok = guarded(c, [&] {
        num = clearMetadataNumber(c, doc);
        if (num == 0)
            return;
        pdf_obj* original = pdf_load_object(c, doc, num);
        pdf_drop_obj(c, original); // the cross-reference entry holds it
        // Entries move when the engine makes its table solid: each use looks the entry up afresh.
        const pdf_xref_entry* entry = pdf_get_xref_entry_no_null(c, doc, num);
        gen = entry->gen;
        // Data replaced in memory is what the writer writes; otherwise the file's stored bytes, in clear.
        if (entry->stm_buf) {
            data = fz_keep_buffer(c, entry->stm_buf);
        } else {
            stored = loadStoredBytes(c, doc, num, original);
            if (!stored)
                fz_throw(c, FZ_ERROR_GENERIC, "the metadata stream's data is not in the file");
            data = fz_keep_buffer(c, stored);
        }
        if (keepsEncryption) {
            unsigned char* bytes = nullptr;
            const size_t length = fz_buffer_storage(c, data, &bytes);
            dict = clearDictionary(c, doc, original, length);
            object = fz_new_buffer(c, length + 512);
            out = fz_new_output_with_buffer(c, object);
            fz_write_printf(c, out, "%d %d obj\n", num, gen);
            // Strings of the dictionary are encrypted as in every other object; only the data is in clear.
            pdf_print_encrypted_obj(c, out, dict, 0, 0, doc->crypt, num, gen);
            fz_write_string(c, out, "\nstream\n");
            fz_write_data(c, out, bytes, length);
            fz_write_string(c, out, "\nendstream\nendobj\n\n");
            fz_close_output(c, out);
        }
        if (stored) {
            pdf_get_xref_entry_no_null(c, doc, num)->stm_buf = fz_keep_buffer(c, stored);
            m_shield = stored;
            stored = nullptr;
        }
    }, &error);
    if (ok && num > 0) {
        if (object) {
            unsigned char* bytes = nullptr;
            const size_t length = fz_buffer_storage(c, object, &bytes);
            m_object = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(length));
        }
        m_ctx = c;
        m_doc = doc;
        m_num = num;
        m_gen = gen;
    }
    fz_drop_output(c, out);
    fz_drop_buffer(c, object);
    pdf_drop_obj(c, dict);
    fz_drop_buffer(c, data);
    fz_drop_buffer(c, stored);
    if (!ok)
        qCWarning(lcVmkPdf) << "The metadata stream cannot be written in clear:" << error;
    return ok;
}

void ClearMetadataWrite::release(fz_context* c)
{
    if (!m_shield)
        return;
    // A repair during the write may have rebuilt the table, dropping the entry and its reference.
    guarded(c, [&] {
        if (m_num >= pdf_xref_len(c, m_doc))
            return;
        pdf_xref_entry* entry = pdf_get_xref_entry_no_null(c, m_doc, m_num);
        if (entry->stm_buf != m_shield)
            return;
        entry->stm_buf = nullptr;
        fz_drop_buffer(c, m_shield);
    });
    fz_drop_buffer(c, m_shield);
    m_shield = nullptr;
}

bool ClearMetadataWrite::rewrite(QByteArray& written) const
{
    if (!rewrites())
        return true;
    // startxref, then the table: "xref", "0 count", count entries of 20 bytes.
    const qsizetype startxref = written.lastIndexOf("startxref");
    if (startxref < 0)
        return false;
    qsizetype pos = startxref + 9;
    const qint64 xref = numberAt(written, pos);
    const qsizetype xrefEnd = pos;
    const qsizetype xrefBegin = xrefEnd - QByteArray::number(xref).size();
    if (xref <= 0 || xref >= startxref || !written.mid(xref, 4).startsWith("xref"))
        return false;
    pos = qsizetype(xref) + 4;
    const qint64 first = numberAt(written, pos);
    const qint64 count = numberAt(written, pos);
    if (first != 0 || count <= m_num || pos >= written.size() || written[pos] != '\n')
        return false;
    const qsizetype table = pos + 1;
    if (table + count * kEntrySize > startxref)
        return false;
    std::vector<XrefEntry> entries(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        const qsizetype at = table + i * kEntrySize;
        qsizetype cursor = at;
        entries[size_t(i)].offset = numberAt(written, cursor);
        entries[size_t(i)].gen = int(numberAt(written, cursor));
        entries[size_t(i)].inUse = written[at + 17] == 'n';
        if (cursor != at + 16 || (written[at + 17] != 'n' && written[at + 17] != 'f') || written[at + 19] != '\n')
            return false;
    }
    const XrefEntry& target = entries[size_t(m_num)];
    const QByteArray header = QByteArray::number(m_num) + ' ' + QByteArray::number(m_gen) + " obj";
    if (!target.inUse || target.gen != m_gen || !written.mid(target.offset, header.size()).startsWith(header))
        return false;
    // The writer puts objects one after the other: this one ends where the next one starts.
    qint64 end = xref;
    for (const XrefEntry& e : entries)
        if (e.inUse && e.offset > target.offset)
            end = std::min(end, e.offset);
    const qsizetype endobj = written.indexOf("endobj", target.offset);
    if (endobj < 0 || endobj >= end)
        return false;

    const qint64 delta = m_object.size() - (end - target.offset);
    if (xref + delta >= 10'000'000'000LL)
        return false;
    written.replace(target.offset, end - target.offset, m_object);
    for (qint64 i = 0; i < count; ++i) {
        const XrefEntry& e = entries[size_t(i)];
        if (e.inUse && e.offset > target.offset)
            written.replace(table + delta + i * kEntrySize, 10,
                            QByteArray::number(e.offset + delta).rightJustified(10, '0'));
    }
    written.replace(xrefBegin + delta, xrefEnd - xrefBegin, QByteArray::number(xref + delta));
    return true;
}

} // namespace vmk::pdf::detail
