#include "platform/pdf/document/ClearMetadataWrite.h"

#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/ClearMetadata.h"

#include <algorithm>
#include <vector>

namespace vmk::pdf::detail {

namespace {

// Whether the document's encryption keeps metadata in clear: standard security handler revision 4 or
// later (earlier ones have no such switch) with /EncryptMetadata false.
bool keepsMetadataClear(fz_context* c, pdf_document* doc)
{
    return doc->crypt && pdf_crypt_revision(c, doc->crypt) >= 4 && !pdf_crypt_encrypt_metadata(c, doc->crypt);
}

// A /Type /Metadata stream dictionary without a crypt filter of its own other than /Identity (one with
// another is encrypted on purpose and is left alone).
bool clearable(fz_context* c, pdf_obj* stream)
{
    return pdf_name_eq(c, pdf_dict_get(c, stream, PDF_NAME(Type)), PDF_NAME(Metadata))
        && (!hasOwnCryptFilter(c, stream) || namesIdentityFilter(c, stream));
}

// The object number of the catalog's metadata stream when it is clearable, else 0: the document-level
// metadata is the one /EncryptMetadata false leaves in clear.
int catalogMetadata(fz_context* c, pdf_document* doc)
{
    pdf_obj* root = pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Root));
    pdf_obj* ref = pdf_dict_get(c, root, PDF_NAME(Metadata));
    const int num = pdf_is_indirect(c, ref) ? pdf_to_num(c, ref) : 0;
    return num > 0 && num < pdf_xref_len(c, doc) && pdf_is_stream(c, ref) && clearable(c, ref) ? num : 0;
}

// Whether object `num` is a stream, still as the file has it, whose data the file holds in clear: one that
// names the /Identity crypt filter (of any kind: the engine's writer decrypts it all the same), or, where
// `metadataClear`, a clearable metadata stream whose stored data reads as an XMP packet without any
// decryption (cipher text neither decodes nor reads so).
bool storedInClear(fz_context* c, pdf_document* doc, int num, bool metadataClear)
{
    const pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
    if (!entry || entry->type != 'n' || !pdf_obj_num_is_stream(c, doc, num))
        return false;
    pdf_obj* dict = pdf_load_object(c, doc, num);
    pdf_drop_obj(c, dict); // the cross-reference entry holds it
    if (pdf_get_xref_entry_no_null(c, doc, num)->stm_buf)
        return false;
    if (namesIdentityFilter(c, dict))
        return true;
    if (!metadataClear || !clearable(c, dict))
        return false;
    return storedAsXmpPacket(c, doc, num, dict);
}

// Whether object `num` is a stream, still as the file has it, that names a crypt filter of its own other
// than /Identity, followed by common decode filters only. The engine's reading follows that filter, but
// its writer copies the data still encrypted (and encrypts it again where the encryption is kept): it is
// given the stream's reading instead, to compress and encrypt as any other.
bool decryptedByItsOwnFilter(fz_context* c, pdf_document* doc, int num)
{
    const pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
    if (!entry || entry->type != 'n' || !pdf_obj_num_is_stream(c, doc, num))
        return false;
    pdf_obj* dict = pdf_load_object(c, doc, num);
    pdf_drop_obj(c, dict); // the cross-reference entry holds it
    if (pdf_get_xref_entry_no_null(c, doc, num)->stm_buf || !hasOwnCryptFilter(c, dict) || namesIdentityFilter(c, dict))
        return false;
    pdf_obj* filters = pdf_dict_get(c, dict, PDF_NAME(Filter));
    for (int i = 1, n = pdf_array_len(c, filters); i < n; ++i)
        if (!decodableFilter(c, pdf_array_get(c, filters, i)))
            return false;
    return true;
}

// A copy of the stream dictionary `original` for `length` bytes of clear data, with a /Crypt filter named
// /Identity first among its filters, in place of a crypt filter of its own. Its decode parameters say
// their /Type: qpdf overlooks those of a lone crypt filter without it, and decrypts.
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
        identity = pdf_new_dict(c, doc, 2);
        pdf_dict_put_name(c, identity, PDF_NAME(Type), "CryptFilterDecodeParms");
        pdf_dict_put(c, identity, PDF_NAME(Name), PDF_NAME(Identity));
        pdf_obj* oldFilters = pdf_dict_get(c, original, PDF_NAME(Filter));
        pdf_obj* oldParams = pdf_dict_get(c, original, PDF_NAME(DecodeParms));
        const int count = pdf_is_name(c, oldFilters) ? 1 : pdf_array_len(c, oldFilters);
        const int first = hasOwnCryptFilter(c, original) ? 1 : 0;
        if (count == first) {
            pdf_dict_put(c, dict, PDF_NAME(Filter), PDF_NAME(Crypt));
            pdf_dict_put(c, dict, PDF_NAME(DecodeParms), identity);
        } else {
            // New arrays throughout: the old ones may be shared objects of the document.
            filters = pdf_new_array(c, doc, count + 1 - first);
            params = pdf_new_array(c, doc, count + 1 - first);
            pdf_array_push(c, filters, PDF_NAME(Crypt));
            pdf_array_push(c, params, identity);
            for (int i = first; i < count; ++i) {
                pdf_array_push(c, filters, pdf_is_name(c, oldFilters) ? oldFilters : pdf_array_get(c, oldFilters, i));
                pdf_obj* own = pdf_is_array(c, oldParams) ? pdf_array_get(c, oldParams, i)
                                                         : (i == 0 && pdf_is_dict(c, oldParams) ? oldParams : nullptr);
                pdf_array_push(c, params, own ? own : PDF_NULL);
            }
            pdf_dict_put(c, dict, PDF_NAME(Filter), filters);
            pdf_dict_put(c, dict, PDF_NAME(DecodeParms), params);
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

// Takes the first filter (a crypt filter) off the stream `dict`, with its decode parameters.
void takeOffCryptFilter(fz_context* c, pdf_document* doc, pdf_obj* dict, EntryEdits& journal)
{
    pdf_obj* filters = pdf_dict_get(c, dict, PDF_NAME(Filter));
    pdf_obj* params = pdf_dict_get(c, dict, PDF_NAME(DecodeParms));
    const int count = pdf_array_len(c, filters);
    pdf_obj* rest = nullptr;
    pdf_obj* restParams = nullptr;
    fz_var(rest);
    fz_var(restParams);
    fz_try(c)
    {
        if (count > 1) {
            rest = pdf_new_array(c, doc, count - 1);
            restParams = pdf_new_array(c, doc, count - 1);
            bool anyParams = false;
            for (int i = 1; i < count; ++i) {
                pdf_array_push(c, rest, pdf_array_get(c, filters, i));
                pdf_obj* own = pdf_is_array(c, params) ? pdf_array_get(c, params, i) : nullptr;
                anyParams = anyParams || pdf_is_dict(c, own);
                pdf_array_push(c, restParams, own ? own : PDF_NULL);
            }
            if (!anyParams) {
                pdf_drop_obj(c, restParams);
                restParams = nullptr;
            }
        }
        journal.put(c, dict, PDF_NAME(Filter), rest);
        journal.put(c, dict, PDF_NAME(DecodeParms), restParams);
    }
    fz_always(c)
    {
        pdf_drop_obj(c, rest);
        pdf_drop_obj(c, restParams);
    }
    fz_catch(c) { fz_rethrow(c); }
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
    if (m_ctx)
        release(m_ctx);
}

bool ClearMetadataWrite::rewrites() const
{
    return std::any_of(m_held.begin(), m_held.end(), [](const Held& held) { return !held.object.isEmpty(); });
}

bool ClearMetadataWrite::prepare(fz_context* c, pdf_document* doc, bool keepsEncryption, Kept kept)
{
    bool encrypted = false;
    bool clear = false;
    int catalog = 0;
    int count = 0;
    if (!guarded(c, [&] {
            encrypted = doc->crypt != nullptr;
            clear = keepsMetadataClear(c, doc);
            catalog = clear ? catalogMetadata(c, doc) : 0;
            count = pdf_xref_len(c, doc);
        }))
        return false;
    // A file without encryption saved as it is goes as the file has it.
    if (!encrypted && keepsEncryption)
        return true;
    m_ctx = c;
    m_doc = doc;
    m_catalog = catalog;
    bool ok = catalog == 0 || hold(c, catalog, keepsEncryption);
    for (int num = 1; num < count; ++num) {
        bool inClear = false;
        bool ownCipher = false;
        if (num == catalog || !guarded(c, [&] {
                inClear = storedInClear(c, doc, num, clear);
                ownCipher = !inClear && encrypted && decryptedByItsOwnFilter(c, doc, num);
            }))
            continue;
        if (inClear)
            ok = hold(c, num, keepsEncryption && kept == Kept::storedInClear) && ok;
        else if (ownCipher)
            ok = holdDecoded(c, num) && ok;
    }
    return ok;
}

bool ClearMetadataWrite::holdDecoded(fz_context* c, int num)
{
    fz_buffer* data = nullptr;
    QString error;
    const bool ok = guarded(c, [&] {
        pdf_obj* original = pdf_load_object(c, m_doc, num);
        pdf_drop_obj(c, original); // the cross-reference entry holds it
        data = pdf_load_stream_number(c, m_doc, num);
        m_ownFilters.put(c, original, PDF_NAME(Filter), nullptr);
        m_ownFilters.put(c, original, PDF_NAME(DecodeParms), nullptr);
        m_ownFilters.put(c, original, PDF_NAME(DL), nullptr);
        pdf_get_xref_entry_no_null(c, m_doc, num)->stm_buf = fz_keep_buffer(c, data);
    }, &error);
    if (!ok) {
        fz_drop_buffer(c, data);
        qCWarning(lcVmkPdf) << "A stream with a crypt filter of its own cannot be written decrypted:" << error;
        return false;
    }
    Held held;
    held.num = num;
    held.shield = data;
    m_held.push_back(std::move(held));
    return true;
}

bool ClearMetadataWrite::hold(fz_context* c, int num, bool keepsEncryption)
{
    pdf_document* doc = m_doc;
    int gen = 0;
    fz_buffer* stored = nullptr;
    fz_buffer* data = nullptr;
    pdf_obj* dict = nullptr;
    fz_buffer* object = nullptr;
    fz_output* out = nullptr;
    fz_buffer* shield = nullptr;
    QString error;
    const bool ok = guarded(c, [&] {
        pdf_obj* original = pdf_load_object(c, doc, num);
        pdf_drop_obj(c, original); // the cross-reference entry holds it
        // Entries move when the engine makes its table solid: each use looks the entry up afresh.
        const pdf_xref_entry* entry = pdf_get_xref_entry_no_null(c, doc, num);
        gen = entry->gen;
        // Data replaced in memory is what the writer writes; otherwise the file's stored bytes, in clear.
        if (entry->stm_buf) {
            data = fz_keep_buffer(c, entry->stm_buf);
        } else {
            // The document's metadata a writer encrypted all the same is held decrypted: in clear, as the
            // encryption says it is.
            if (num == m_catalog)
                stored = loadEncryptedAllTheSame(c, doc, num, original);
            if (!stored)
                stored = loadStoredBytes(c, doc, num, original);
            if (!stored)
                fz_throw(c, FZ_ERROR_GENERIC, "the data of stream %d is not in the file", num);
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
            if (hasOwnCryptFilter(c, original))
                takeOffCryptFilter(c, doc, original, m_ownFilters);
            // Parameters of no filter: the editing engine leaves those of a crypt filter it took off.
            else if (!pdf_dict_get(c, original, PDF_NAME(Filter)) && pdf_dict_get(c, original, PDF_NAME(DecodeParms)))
                m_ownFilters.put(c, original, PDF_NAME(DecodeParms), nullptr);
            // Last, as nothing here throws: release() undoes what stands.
            pdf_get_xref_entry_no_null(c, doc, num)->stm_buf = fz_keep_buffer(c, stored);
            shield = stored;
            stored = nullptr;
        }
    }, &error);
    if (ok) {
        Held held;
        held.num = num;
        held.gen = gen;
        held.shield = shield;
        if (object) {
            unsigned char* bytes = nullptr;
            const size_t length = fz_buffer_storage(c, object, &bytes);
            held.object = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(length));
        }
        m_held.push_back(std::move(held));
    }
    fz_drop_output(c, out);
    fz_drop_buffer(c, object);
    pdf_drop_obj(c, dict);
    fz_drop_buffer(c, data);
    fz_drop_buffer(c, stored);
    if (!ok)
        qCWarning(lcVmkPdf) << "A stream stored in clear cannot be written so:" << error;
    return ok;
}

void ClearMetadataWrite::release(fz_context* c)
{
    if (!m_ownFilters.isEmpty()) {
        guarded(c, [&] { m_ownFilters.exchange(c); });
        m_ownFilters.clear(c);
    }
    for (Held& held : m_held) {
        if (!held.shield)
            continue;
        // A repair during the write may have rebuilt the table, dropping the entry and its reference.
        guarded(c, [&] {
            if (held.num >= pdf_xref_len(c, m_doc))
                return;
            pdf_xref_entry* entry = pdf_get_xref_entry_no_null(c, m_doc, held.num);
            if (entry->stm_buf != held.shield)
                return;
            entry->stm_buf = nullptr;
            fz_drop_buffer(c, held.shield);
        });
        fz_drop_buffer(c, held.shield);
        held.shield = nullptr;
    }
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
    if (first != 0 || count <= 0 || pos >= written.size() || written[pos] != '\n')
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

    // Where each object stands: the writer puts objects one after the other, so one ends where the next
    // one starts.
    struct Replacement {
        qint64 begin = 0;
        qint64 end = 0;
        const QByteArray* object = nullptr;
    };
    std::vector<Replacement> replacements;
    for (const Held& held : m_held) {
        if (held.object.isEmpty())
            continue;
        // The writer leaves out what nothing refers to any more (an image's XMP on a removed page).
        if (held.num >= count || !entries[size_t(held.num)].inUse)
            continue;
        const XrefEntry& target = entries[size_t(held.num)];
        const QByteArray header = QByteArray::number(held.num) + ' ' + QByteArray::number(held.gen) + " obj";
        if (target.gen != held.gen || !written.mid(target.offset, header.size()).startsWith(header))
            return false;
        qint64 end = xref;
        for (const XrefEntry& e : entries)
            if (e.inUse && e.offset > target.offset)
                end = std::min(end, e.offset);
        const qsizetype endobj = written.indexOf("endobj", target.offset);
        if (endobj < 0 || endobj >= end)
            return false;
        replacements.push_back({target.offset, end, &held.object});
    }
    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.begin < b.begin; });
    // How far the bytes at `offset` move: the growth of every object replaced before it.
    auto moved = [&](qint64 offset) {
        qint64 delta = 0;
        for (const Replacement& r : replacements)
            if (r.begin < offset)
                delta += r.object->size() - (r.end - r.begin);
        return delta;
    };
    if (xref + moved(xref) >= 10'000'000'000LL)
        return false;

    QByteArray result;
    result.reserve(written.size() + moved(written.size()));
    qint64 from = 0;
    for (const Replacement& r : replacements) {
        result.append(written.constData() + from, r.begin - from);
        result.append(*r.object);
        from = r.end;
    }
    result.append(written.constData() + from, written.size() - from);
    const qint64 tableMoved = moved(xref);
    for (qint64 i = 0; i < count; ++i) {
        const XrefEntry& e = entries[size_t(i)];
        if (e.inUse && moved(e.offset) != 0)
            result.replace(table + tableMoved + i * kEntrySize, 10,
                           QByteArray::number(e.offset + moved(e.offset)).rightJustified(10, '0'));
    }
    result.replace(xrefBegin + tableMoved, xrefEnd - xrefBegin, QByteArray::number(xref + tableMoved));
    written = std::move(result);
    return true;
}

} // namespace vmk::pdf::detail
