#include "platform/pdf/document/ObjectScan.h"

#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/document/State.h"

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace vmk::pdf::detail {

namespace {

// Objects in one stream from which parsing it whole costs the thread that needs one of them a pause
// someone could notice (a few milliseconds).
constexpr int kLargeObjectStream = 2000;
// Annotations on one page from which reading them all costs the same (a few milliseconds).
constexpr int kCrowdedPage = 1000;

bool isEmptyName(fz_context* c, pdf_obj* obj)
{
    return pdf_is_name(c, obj) && !pdf_is_indirect(c, obj) && pdf_to_name(c, obj)[0] == '\0';
}

// Walks one object's direct parts without recursion; references are not followed (every object is
// visited on its own).
bool objectHoldsEmptyName(fz_context* c, pdf_obj* root, std::vector<pdf_obj*>& stack)
{
    stack.clear();
    stack.push_back(root);
    while (!stack.empty()) {
        pdf_obj* obj = stack.back();
        stack.pop_back();
        if (pdf_is_indirect(c, obj))
            continue;
        if (isEmptyName(c, obj))
            return true;
        if (pdf_is_array(c, obj)) {
            const int n = pdf_array_len(c, obj);
            for (int i = 0; i < n; ++i) {
                pdf_obj* item = pdf_array_get(c, obj, i);
                if (pdf_is_array(c, item) || pdf_is_dict(c, item) || pdf_is_name(c, item))
                    stack.push_back(item);
            }
        } else if (pdf_is_dict(c, obj)) {
            const int n = pdf_dict_len(c, obj);
            for (int i = 0; i < n; ++i) {
                if (isEmptyName(c, pdf_dict_get_key(c, obj, i)))
                    return true;
                pdf_obj* value = pdf_dict_get_val(c, obj, i);
                if (pdf_is_array(c, value) || pdf_is_dict(c, value) || pdf_is_name(c, value))
                    stack.push_back(value);
            }
        }
    }
    return false;
}

} // namespace

bool holdsEmptyName(fz_context* c, pdf_document* doc)
{
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return false;
    std::vector<pdf_obj*> stack;
    bool found = false;
    for (int num = 1; num < count && !found; ++num) {
        pdf_obj* obj = nullptr;
        guarded(c, [&] {
            pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
            if (!entry || entry->type == 0 || entry->type == 'f')
                return;
            obj = pdf_load_object(c, doc, num);
            found = objectHoldsEmptyName(c, obj, stack);
        });
        pdf_drop_obj(c, obj);
    }
    return found;
}

void readEveryObject(fz_context* c, pdf_document* doc, int budgetMs, const std::function<bool()>& abandoned)
{
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return;
    QElapsedTimer clock;
    clock.start();
    for (int num = 1; num < count; ++num) {
        if ((num & 15) == 0 && (clock.elapsed() > budgetMs || waitCancelled() || (abandoned && abandoned())))
            return;
        pdf_obj* obj = nullptr;
        guarded(c, [&] {
            pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
            if (entry && (entry->type == 'n' || entry->type == 'o'))
                obj = pdf_load_object(c, doc, num);
        });
        pdf_drop_obj(c, obj);
        // A repair renumbers nothing but may change how many objects there are.
        guarded(c, [&] { count = pdf_xref_len(c, doc); });
    }
}

void readCrowdedAnnotations(fz_context* c, const std::vector<PagePtr>& pages, int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    for (const PagePtr& page : pages) {
        if (!page)
            continue;
        pdf_obj* annots = nullptr;
        int count = 0;
        guarded(c, [&] {
            annots = pdf_dict_get(c, page->state().ref.obj, PDF_NAME(Annots));
            count = pdf_array_len(c, annots);
        });
        if (count < kCrowdedPage)
            continue;
        pdf_document* doc = page->state().ref.doc;
        for (int i = 0; i < count; ++i) {
            if ((i & 255) == 0 && (clock.elapsed() > budgetMs || waitCancelled()))
                return;
            // Each on its own: one that cannot be read does not keep the others unread.
            guarded(c, [&] {
                pdf_obj* entry = pdf_array_get(c, annots, i);
                if (!pdf_is_indirect(c, entry))
                    return;
                pdf_xref_entry* x = pdf_get_xref_entry(c, doc, pdf_to_num(c, entry));
                if (x && !x->obj && (x->type == 'n' || x->type == 'o'))
                    pdf_drop_obj(c, pdf_load_object(c, doc, pdf_to_num(c, entry)));
            });
        }
    }
}

void readLargeObjectStreams(fz_context* c, pdf_document* doc, int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    // First the object streams that hold objects not read yet, each with one such member, from a plain
    // walk of the table: a long document lists hundreds of thousands of objects, and a guarded look at
    // each one on its own cost more than the rest of opening before the first page.
    std::vector<std::pair<int, int>> streams; // (stream, member)
    std::vector<char> looked;                 // object streams already listed, by number
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return;
    looked.assign(size_t(count), 0);
    constexpr int kBatch = 4096;
    for (int num = 1; num < count;) {
        if (clock.elapsed() > budgetMs || waitCancelled())
            return;
        const int end = std::min(count, num + kBatch);
        // A look that throws skips that one object, as each did on its own.
        if (!guarded(c, [&] {
                for (; num < end; ++num) {
                    pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
                    if (!entry || entry->type != 'o' || entry->obj || entry->ofs <= 0 || entry->ofs >= count)
                        continue;
                    const size_t stream = size_t(entry->ofs);
                    if (!looked[stream]) {
                        looked[stream] = 1;
                        streams.emplace_back(int(stream), num);
                    }
                }
            }))
            ++num;
    }
    for (const auto& [stream, member] : streams) {
        if (clock.elapsed() > budgetMs || waitCancelled())
            return;
        pdf_obj* obj = nullptr;
        guarded(c, [&] {
            // The stream's dictionary is an object of its own, read without its data.
            pdf_obj* dict = pdf_load_object(c, doc, stream);
            const int members = pdf_dict_get_int(c, dict, PDF_NAME(N));
            pdf_drop_obj(c, dict);
            if (members >= kLargeObjectStream)
                obj = pdf_load_object(c, doc, member);
        });
        pdf_drop_obj(c, obj);
    }
}

void shieldHexFilters(fz_context* c, pdf_document* doc, EntryEdits& journal)
{
    int count = 0;
    if (!guarded(c, [&] { count = pdf_xref_len(c, doc); }))
        return;
    for (int num = 1; num < count; ++num) {
        pdf_obj* obj = nullptr;
        guarded(c, [&] {
            pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
            if (!entry || (entry->type != 'n' && entry->type != 'o') || !pdf_obj_num_is_stream(c, doc, num))
                return;
            obj = pdf_load_object(c, doc, num);
            pdf_obj* filters = pdf_dict_get(c, obj, PDF_NAME(Filter));
            if (!pdf_is_array(c, filters) || !pdf_name_eq(c, pdf_array_get(c, filters, 0), PDF_NAME(ASCIIHexDecode)))
                return;
            pdf_obj* ownFilters = pdf_deep_copy_obj(c, filters);
            journal.put(c, obj, PDF_NAME(Filter), ownFilters);
            pdf_drop_obj(c, ownFilters);
            pdf_obj* params = pdf_dict_get(c, obj, PDF_NAME(DecodeParms));
            if (!pdf_is_array(c, params))
                return;
            pdf_obj* ownParams = pdf_deep_copy_obj(c, params);
            while (pdf_array_len(c, ownParams) < pdf_array_len(c, filters))
                pdf_array_push(c, ownParams, PDF_NULL);
            journal.put(c, obj, PDF_NAME(DecodeParms), ownParams);
            pdf_drop_obj(c, ownParams);
        });
        pdf_drop_obj(c, obj);
    }
}

} // namespace vmk::pdf::detail
