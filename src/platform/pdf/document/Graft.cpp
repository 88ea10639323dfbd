#include "platform/pdf/document/State.h"

#include "platform/pdf/document/ClearMetadata.h"

#include <unordered_map>

namespace vmk::pdf::detail {

struct ObjectCopier::Map {
    std::unordered_map<int, int> numbers;
};

ObjectCopier::~ObjectCopier() { delete m_map; }

void ObjectCopier::map(int fromNum, int toNum)
{
    if (!m_map)
        m_map = new Map;
    m_map->numbers[fromNum] = toNum;
}

// Takes the first filter (the stream's own crypt filter) and its parameters off the copied dictionary.
static void dropFirstFilter(fz_context* c, pdf_obj* dict)
{
    for (pdf_obj* key : {PDF_NAME(Filter), PDF_NAME(DecodeParms)}) {
        pdf_obj* value = pdf_dict_get(c, dict, key);
        if (pdf_is_array(c, value) && pdf_array_len(c, value) > 1)
            pdf_array_delete(c, value, 0);
        else if (value)
            pdf_dict_del(c, dict, key);
    }
}

static bool isPageObject(fz_context* c, pdf_obj* dict)
{
    pdf_obj* type = pdf_dict_get(c, dict, PDF_NAME(Type));
    return pdf_name_eq(c, type, PDF_NAME(Page)) || pdf_name_eq(c, type, PDF_NAME(Pages));
}

pdf_obj* ObjectCopier::copy(fz_context* c, pdf_obj* obj)
{
    if (!obj)
        return nullptr;
    if (!m_map)
        m_map = new Map;
    if (pdf_is_indirect(c, obj)) {
        const int num = pdf_to_num(c, obj);
        auto found = m_map->numbers.find(num);
        if (found != m_map->numbers.end())
            return pdf_new_indirect(c, m_to, found->second, 0);
        pdf_obj* resolved = pdf_resolve_indirect(c, obj);
        if (!resolved)
            return PDF_NULL;
        if (pdf_is_dict(c, resolved) && isPageObject(c, resolved))
            return PDF_NULL;
        const int newNum = pdf_create_object(c, m_to);
        m_map->numbers[num] = newNum;
        // Data the source holds in clear is taken as stored (the engine would decrypt it all the same), a
        // stream naming a crypt filter of its own decoded: a copy in plain data names no crypt filter.
        fz_buffer* raw = nullptr;
        CopiedFilters filters = CopiedFilters::all;
        if (pdf_is_stream(c, obj))
            raw = m_from ? loadRawForCopy(c, m_from, obj, &filters) : pdf_load_raw_stream(c, obj);
        pdf_obj* body = nullptr;
        pdf_obj* ref = nullptr;
        fz_var(body);
        fz_var(ref);
        fz_try(c)
        {
            body = copy(c, resolved);
            if (filters == CopiedFilters::allButCrypt) {
                dropFirstFilter(c, body);
            } else if (filters == CopiedFilters::none) {
                pdf_dict_del(c, body, PDF_NAME(Filter));
                pdf_dict_del(c, body, PDF_NAME(DecodeParms));
                pdf_dict_del(c, body, PDF_NAME(DL));
            }
            pdf_update_object(c, m_to, newNum, body);
            ref = pdf_new_indirect(c, m_to, newNum, 0);
            if (raw)
                pdf_update_stream(c, m_to, ref, raw, 1);
        }
        fz_always(c)
        {
            pdf_drop_obj(c, body);
            fz_drop_buffer(c, raw);
        }
        fz_catch(c)
        {
            pdf_drop_obj(c, ref);
            fz_rethrow(c);
        }
        return ref;
    }
    if (pdf_is_dict(c, obj)) {
        const int n = pdf_dict_len(c, obj);
        pdf_obj* out = pdf_new_dict(c, m_to, n);
        for (int i = 0; i < n; ++i) {
            pdf_obj* value = copy(c, pdf_dict_get_val(c, obj, i));
            pdf_dict_put_drop(c, out, pdf_dict_get_key(c, obj, i), value);
        }
        return out;
    }
    if (pdf_is_array(c, obj)) {
        const int n = pdf_array_len(c, obj);
        pdf_obj* out = pdf_new_array(c, m_to, n);
        for (int i = 0; i < n; ++i)
            pdf_array_push_drop(c, out, copy(c, pdf_array_get(c, obj, i)));
        return out;
    }
    return pdf_keep_obj(c, obj);
}

pdf_obj* ObjectCopier::copyDictExcept(fz_context* c, pdf_obj* dict, std::initializer_list<pdf_obj*> skip)
{
    const int n = pdf_dict_len(c, dict);
    pdf_obj* out = pdf_new_dict(c, m_to, n);
    for (int i = 0; i < n; ++i) {
        pdf_obj* key = pdf_dict_get_key(c, dict, i);
        bool skipped = false;
        for (pdf_obj* s : skip)
            skipped = skipped || pdf_name_eq(c, key, s);
        if (!skipped)
            pdf_dict_put_drop(c, out, key, copy(c, pdf_dict_get_val(c, dict, i)));
    }
    return out;
}

} // namespace vmk::pdf::detail
