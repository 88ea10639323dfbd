#include "platform/pdf/document/EntryEdits.h"

namespace vmk::pdf::detail {

namespace {

pdf_obj* swapEntry(fz_context* c, pdf_obj* holder, pdf_obj* key, pdf_obj* value)
{
    pdf_obj* previous = pdf_dict_get(c, holder, key);
    previous = previous ? pdf_keep_obj(c, previous) : nullptr;
    fz_try(c)
    {
        if (value)
            pdf_dict_put(c, holder, key, value);
        else
            pdf_dict_del(c, holder, key);
    }
    fz_catch(c)
    {
        pdf_drop_obj(c, previous);
        fz_rethrow(c);
    }
    return previous;
}

} // namespace

EntryEdits::~EntryEdits()
{
    clear(ctx());
}

void EntryEdits::put(fz_context* c, pdf_obj* holder, pdf_obj* key, pdf_obj* value)
{
    m_entries.push_back({pdf_keep_obj(c, holder), pdf_keep_obj(c, key), nullptr});
    Entry& entry = m_entries.back();
    pdf_obj* previous = pdf_dict_get(c, holder, key);
    entry.value = previous ? pdf_keep_obj(c, previous) : nullptr;
    if (value)
        pdf_dict_put(c, holder, key, value);
    else
        pdf_dict_del(c, holder, key);
}

void EntryEdits::exchange(fz_context* c)
{
    // Taking back runs newest first, doing again oldest first, so an entry changed twice ends right.
    const int count = int(m_entries.size());
    for (int k = 0; k < count; ++k) {
        Entry& entry = m_entries[size_t(m_reversed ? k : count - 1 - k)];
        pdf_obj* now = swapEntry(c, entry.holder, entry.key, entry.value);
        pdf_drop_obj(c, entry.value);
        entry.value = now;
    }
    m_reversed = !m_reversed;
}

void EntryEdits::clear(fz_context* c)
{
    for (Entry& entry : m_entries) {
        pdf_drop_obj(c, entry.holder);
        pdf_drop_obj(c, entry.key);
        pdf_drop_obj(c, entry.value);
    }
    m_entries.clear();
    m_reversed = false;
}

} // namespace vmk::pdf::detail
