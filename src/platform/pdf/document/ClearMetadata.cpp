#include "platform/pdf/document/ClearMetadata.h"

#include <algorithm>
#include <cstring>

namespace vmk::pdf::detail {

bool decodableFilter(fz_context* c, pdf_obj* filter)
{
    static const char* const kKnown[] = {"FlateDecode", "Fl",  "ASCIIHexDecode",  "AHx", "ASCII85Decode",
                                         "A85",         "LZWDecode", "LZW", "RunLengthDecode", "RL"};
    if (!pdf_is_name(c, filter))
        return false;
    for (const char* name : kKnown)
        if (std::strcmp(pdf_to_name(c, filter), name) == 0)
            return true;
    return false;
}

namespace {

// Whether the start of `data` reads as an XMP packet.
bool hasXmpMarks(fz_context* c, fz_buffer* data)
{
    static const char* const kMarks[] = {"<?xpacket", "<x:xmpmeta", "<rdf:RDF"};
    unsigned char* bytes = nullptr;
    const size_t length = data ? std::min<size_t>(fz_buffer_storage(c, data, &bytes), 4096) : 0;
    for (const char* mark : kMarks)
        if (length && memmem(bytes, length, mark, std::strlen(mark)))
            return true;
    return false;
}

bool storedInClear(fz_context* c, pdf_document* doc, pdf_obj* dict)
{
    return doc->crypt && !pdf_crypt_encrypt_metadata(c, doc->crypt)
        && pdf_name_eq(c, pdf_dict_get(c, dict, PDF_NAME(Type)), PDF_NAME(Metadata)) && !hasOwnCryptFilter(c, dict);
}

} // namespace

bool hasOwnCryptFilter(fz_context* c, pdf_obj* dict)
{
    pdf_obj* filters = pdf_dict_get(c, dict, PDF_NAME(Filter));
    pdf_obj* first = pdf_is_array(c, filters) ? pdf_array_get(c, filters, 0) : filters;
    return pdf_name_eq(c, first, PDF_NAME(Crypt));
}

fz_buffer* loadStoredBytes(fz_context* c, pdf_document* doc, int num, pdf_obj* dict)
{
    if (num <= 0 || num >= pdf_xref_len(c, doc) || !doc->file)
        return nullptr;
    const int length = pdf_dict_get_int(c, dict, PDF_NAME(Length));
    // Looked up after /Length, whose reading may move the table's entries.
    const pdf_xref_entry* entry = pdf_get_xref_entry_no_null(c, doc, num);
    if (entry->stm_ofs <= 0)
        return nullptr;
    if (length < 0 || length > doc->file_size - entry->stm_ofs)
        return nullptr;
    fz_stream* stored = fz_open_null_filter(c, doc->file, uint64_t(length), entry->stm_ofs);
    fz_buffer* data = nullptr;
    fz_try(c) { data = fz_read_all(c, stored, size_t(length) + 1); }
    fz_always(c) { fz_drop_stream(c, stored); }
    fz_catch(c) { fz_rethrow(c); }
    return data;
}

fz_buffer* loadStoredDecoded(fz_context* c, pdf_document* doc, int num, pdf_obj* dict)
{
    pdf_obj* filters = pdf_dict_geta(c, dict, PDF_NAME(Filter), PDF_NAME(F));
    if (pdf_is_array(c, filters)) {
        for (int i = 0, n = pdf_array_len(c, filters); i < n; ++i)
            if (!decodableFilter(c, pdf_array_get(c, filters, i)))
                return nullptr;
    } else if (filters && !decodableFilter(c, filters)) {
        return nullptr;
    }
    fz_buffer* stored = loadStoredBytes(c, doc, num, dict);
    if (!stored || !filters)
        return stored;
    fz_stream* raw = nullptr;
    fz_stream* decoded = nullptr;
    fz_buffer* data = nullptr;
    fz_var(raw);
    fz_var(decoded);
    fz_try(c)
    {
        raw = fz_open_buffer(c, stored);
        decoded = pdf_open_inline_stream(c, doc, dict, int(fz_buffer_storage(c, stored, nullptr)), raw, nullptr);
        data = fz_read_all(c, decoded, fz_buffer_storage(c, stored, nullptr) + 64);
    }
    fz_always(c)
    {
        fz_drop_stream(c, decoded);
        fz_drop_stream(c, raw);
        fz_drop_buffer(c, stored);
    }
    fz_catch(c) { fz_rethrow(c); }
    return data;
}

fz_buffer* loadStreamAsStored(fz_context* c, pdf_document* doc, pdf_obj* ref)
{
    pdf_obj* dict = pdf_resolve_indirect(c, ref);
    const int num = pdf_to_num(c, ref);
    if (!storedInClear(c, doc, dict) || num <= 0 || num >= pdf_xref_len(c, doc))
        return pdf_load_stream(c, ref);
    // Data replaced in memory is held decoded and is never decrypted.
    if (pdf_get_xref_entry_no_null(c, doc, num)->stm_buf)
        return pdf_load_stream(c, ref);
    fz_buffer* stored = nullptr;
    fz_var(stored);
    fz_try(c) { stored = loadStoredDecoded(c, doc, num, dict); }
    fz_catch(c) { stored = nullptr; }
    if (hasXmpMarks(c, stored))
        return stored;
    // A writer may have encrypted the metadata all the same: the engine's reading then gives the packet.
    fz_buffer* decrypted = nullptr;
    fz_var(decrypted);
    fz_try(c) { decrypted = pdf_load_stream(c, ref); }
    fz_catch(c) { decrypted = nullptr; }
    if (!hasXmpMarks(c, decrypted)) {
        fz_drop_buffer(c, decrypted);
        return stored;
    }
    fz_drop_buffer(c, stored);
    return decrypted;
}

fz_buffer* loadEncryptedAllTheSame(fz_context* c, pdf_document* doc, int num, pdf_obj* dict)
{
    if (namesIdentityFilter(c, dict) || storedAsXmpPacket(c, doc, num, dict))
        return nullptr;
    fz_buffer* decoded = nullptr;
    fz_var(decoded);
    bool packet = false;
    fz_var(packet);
    fz_try(c)
    {
        decoded = pdf_load_stream_number(c, doc, num);
        packet = hasXmpMarks(c, decoded);
    }
    fz_always(c) { fz_drop_buffer(c, decoded); }
    fz_catch(c) { packet = false; }
    return packet ? pdf_load_raw_stream_number(c, doc, num) : nullptr;
}

bool namesIdentityFilter(fz_context* c, pdf_obj* dict)
{
    if (!hasOwnCryptFilter(c, dict))
        return false;
    pdf_obj* params = pdf_dict_get(c, dict, PDF_NAME(DecodeParms));
    pdf_obj* first = pdf_is_array(c, params) ? pdf_array_get(c, params, 0) : params;
    pdf_obj* name = pdf_dict_get(c, first, PDF_NAME(Name));
    return !name || pdf_name_eq(c, name, PDF_NAME(Identity));
}

bool storedAsXmpPacket(fz_context* c, pdf_document* doc, int num, pdf_obj* dict)
{
    fz_buffer* decoded = nullptr;
    bool packet = false;
    fz_var(decoded);
    fz_var(packet);
    fz_try(c)
    {
        decoded = loadStoredDecoded(c, doc, num, dict);
        packet = hasXmpMarks(c, decoded);
    }
    fz_always(c) { fz_drop_buffer(c, decoded); }
    fz_catch(c) { packet = false; }
    return packet;
}

fz_buffer* loadRawForCopy(fz_context* c, pdf_document* doc, pdf_obj* ref, CopiedFilters* filters)
{
    pdf_obj* dict = pdf_resolve_indirect(c, ref);
    const int num = pdf_to_num(c, ref);
    const bool identity = namesIdentityFilter(c, dict);
    *filters = identity ? CopiedFilters::allButCrypt : CopiedFilters::all;
    // Data replaced in memory is never encrypted, nor is anything of a file without encryption: the engine
    // reads those right.
    if (!doc->crypt || num <= 0 || num >= pdf_xref_len(c, doc) || pdf_get_xref_entry_no_null(c, doc, num)->stm_buf)
        return pdf_load_raw_stream(c, ref);
    if (hasOwnCryptFilter(c, dict) && !identity) {
        pdf_obj* chain = pdf_dict_get(c, dict, PDF_NAME(Filter));
        bool decodable = true;
        for (int i = 1, n = pdf_array_len(c, chain); i < n; ++i)
            decodable = decodable && decodableFilter(c, pdf_array_get(c, chain, i));
        if (decodable) {
            *filters = CopiedFilters::none;
            return pdf_load_stream(c, ref);
        }
    }
    fz_buffer* stored = nullptr;
    if (identity || (storedInClear(c, doc, dict) && storedAsXmpPacket(c, doc, num, dict)))
        stored = loadStoredBytes(c, doc, num, dict);
    if (!stored)
        *filters = CopiedFilters::all;
    return stored ? stored : pdf_load_raw_stream(c, ref);
}

} // namespace vmk::pdf::detail
