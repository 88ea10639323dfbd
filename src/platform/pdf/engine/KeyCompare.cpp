// The engine's store finds a cached font, colour space or function by comparing the object it was loaded
// from with the one asked for, by value; objects of every document the process has open meet there. Once
// two dictionaries of different documents compare equal, the engine asks whether either is a stream by
// looking the second one's object number up in the first one's table, and a number past that table's end
// grows the table without its index: a write past the index's end, which corrupts the heap (two files
// whose pages share a font dictionary written out in full are enough). Every caller of pdf_objcmp outside
// the engine's object code, its store included, comes here (the link wraps the symbol), and dictionaries and
// arrays of different documents are compared here, each one's table only ever read at its own numbers.

#include "platform/pdf/engine/Fz.h"

extern "C" int __real_pdf_objcmp(fz_context* ctx, pdf_obj* a, pdf_obj* b);
extern "C" int __wrap_pdf_objcmp(fz_context* ctx, pdf_obj* a, pdf_obj* b);

namespace vmk::pdf::detail {
namespace {

bool isContainer(fz_context* c, pdf_obj* obj)
{
    return !pdf_is_indirect(c, obj) && (pdf_is_dict(c, obj) || pdf_is_array(c, obj));
}

// Whether a direct dictionary is the dictionary of a stream: the object its document holds under the
// number it belongs to, with data. Read in its own document only.
bool isStreamDictionary(fz_context* c, pdf_obj* dict)
{
    pdf_document* doc = pdf_get_bound_document(c, dict);
    const int num = pdf_obj_parent_num(c, dict);
    if (!doc || num <= 0 || num >= pdf_xref_len(c, doc))
        return false;
    volatile bool stream = false;
    fz_try(c)
    {
        const pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
        stream = entry && entry->obj == dict && pdf_obj_num_is_stream(c, doc, num);
    }
    fz_catch(c) { stream = false; }
    return stream;
}

// The engine's rules (0 for equal), with every container compared here, so that nothing below reaches
// its own comparison of containers across documents.
int compareAcross(fz_context* c, pdf_obj* a, pdf_obj* b)
{
    if (a == b)
        return 0;
    if (!isContainer(c, a) || !isContainer(c, b))
        return isContainer(c, a) || isContainer(c, b) ? 1 : __real_pdf_objcmp(c, a, b);
    if (pdf_is_array(c, a) != pdf_is_array(c, b))
        return 1;
    if (pdf_is_array(c, a)) {
        const int n = pdf_array_len(c, a);
        if (n != pdf_array_len(c, b))
            return 1;
        for (int i = 0; i < n; ++i)
            if (compareAcross(c, pdf_array_get(c, a, i), pdf_array_get(c, b, i)))
                return 1;
        return 0;
    }
    const int n = pdf_dict_len(c, a);
    if (n != pdf_dict_len(c, b))
        return 1;
    for (int i = 0; i < n; ++i) {
        pdf_obj* key = pdf_dict_get_key(c, a, i);
        pdf_obj* val = pdf_dict_get_val(c, a, i);
        int j = 0;
        while (j < n && (__real_pdf_objcmp(c, key, pdf_dict_get_key(c, b, j)) != 0
                         || compareAcross(c, val, pdf_dict_get_val(c, b, j)) != 0))
            ++j;
        if (j == n)
            return 1;
    }
    // Equal dictionaries are still different objects when either carries stream data (as the engine has it).
    return isStreamDictionary(c, a) || isStreamDictionary(c, b) ? 1 : 0;
}

} // namespace
} // namespace vmk::pdf::detail

extern "C" int __wrap_pdf_objcmp(fz_context* ctx, pdf_obj* a, pdf_obj* b)
{
    using namespace vmk::pdf::detail;
    if (isContainer(ctx, a) && isContainer(ctx, b) && pdf_get_bound_document(ctx, a) != pdf_get_bound_document(ctx, b))
        return compareAcross(ctx, a, b);
    return __real_pdf_objcmp(ctx, a, b);
}
