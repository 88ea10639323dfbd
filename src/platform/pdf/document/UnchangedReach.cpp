#include "platform/pdf/document/UnchangedReach.h"

#include "platform/pdf/document/PageTree.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vmk::pdf::detail {

namespace {

// More objects than this behind one page is no page worth the walk: it waits for the document instead.
constexpr std::size_t kMaxWalked = 200000;
constexpr int kMaxFieldDepth = 32;

std::string written(fz_context* c, pdf_obj* obj)
{
    size_t length = 0;
    char* text = pdf_sprint_obj(c, nullptr, 0, &length, obj, 1, 0);
    std::string out(text, length);
    fz_free(c, text);
    return out;
}

// Keys a walk never follows: the way back up to the page tree or a page, and what drawing never reads.
bool leftBehind(fz_context* c, pdf_obj* key)
{
    return pdf_name_eq(c, key, PDF_NAME(Parent)) || pdf_name_eq(c, key, PDF_NAME(P))
        || pdf_name_eq(c, key, PDF_NAME(Kids)) || pdf_name_eq(c, key, PDF_NAME(Metadata));
}

} // namespace

std::optional<std::string> drawnSignature(fz_context* c, pdf_document* doc, int num)
{
    std::optional<std::string> signature;
    pdf_obj* obj = nullptr;
    guarded(c, [&] {
        if (num <= 0 || num >= pdf_xref_len(c, doc)) {
            signature = "free";
            return;
        }
        pdf_xref_entry* entry = pdf_get_xref_entry(c, doc, num);
        if (!entry || (entry->type != 'n' && entry->type != 'o')) {
            signature = "free";
            return;
        }
        obj = pdf_load_object(c, doc, num);
        const bool stream = pdf_obj_num_is_stream(c, doc, num);
        // Loading set where a stream's data lies; one replaced in memory cannot be told from the file's.
        entry = pdf_get_xref_entry(c, doc, num);
        if (stream && (!entry || entry->stm_buf || entry->stm_ofs <= 0))
            return;
        std::string out = stream ? "stream@" + std::to_string(entry->stm_ofs) + " " : std::string();
        if (!pdf_is_dict(c, obj)) {
            signature = out + written(c, obj);
            return;
        }
        const bool treeNode = pdf_name_eq(c, pdf_dict_get(c, obj, PDF_NAME(Type)), PDF_NAME(Pages));
        std::vector<std::pair<std::string, std::string>> entries;
        for (int i = 0, n = pdf_dict_len(c, obj); i < n; ++i) {
            pdf_obj* key = pdf_dict_get_key(c, obj, i);
            if (stream && pdf_name_eq(c, key, PDF_NAME(Length)))
                continue;
            if (treeNode && (pdf_name_eq(c, key, PDF_NAME(Kids)) || pdf_name_eq(c, key, PDF_NAME(Count))))
                continue;
            entries.emplace_back(pdf_to_name(c, key), written(c, pdf_dict_get_val(c, obj, i)));
        }
        // The engine may keep a dictionary's keys sorted in one document and as read in the other.
        std::sort(entries.begin(), entries.end());
        for (const auto& [key, value] : entries)
            out += "/" + key + " " + value + "\n";
        signature = std::move(out);
    });
    pdf_drop_obj(c, obj);
    return signature;
}

ChangedObjects changedSinceOpening(fz_context* c, pdf_document* doc)
{
    ChangedObjects changed;
    // Without an incremental section nothing was changed or added since opening.
    if (!doc || doc->num_incremental_sections == 0)
        return changed;
    std::vector<int> numbers;
    guarded(c, [&] {
        for (int num = 1, n = pdf_xref_len(c, doc); num < n; ++num)
            if (pdf_xref_is_incremental(c, doc, num))
                numbers.push_back(num);
    });
    changed.reserve(numbers.size());
    for (int num : numbers)
        changed.emplace(num, drawnSignature(c, doc, num));
    return changed;
}

UnchangedReach::UnchangedReach(const ChangedObjects& changed, fz_context* c, pdf_document* copy)
    : m_changed(changed), m_c(c), m_doc(copy)
{
}

bool UnchangedReach::same(int num)
{
    const auto changed = m_changed.find(num);
    if (changed == m_changed.end())
        return true;
    if (const auto known = m_same.find(num); known != m_same.end())
        return known->second;
    const bool equal = changed->second && drawnSignature(m_c, m_doc, num) == changed->second;
    m_same.emplace(num, equal);
    return equal;
}

bool UnchangedReach::walk(pdf_obj* root)
{
    std::vector<pdf_obj*> left{root};
    bool unchanged = true;
    const bool walked = guarded(m_c, [&] {
        while (!left.empty()) {
            pdf_obj* obj = left.back();
            left.pop_back();
            if (pdf_is_indirect(m_c, obj)) {
                const int num = pdf_to_num(m_c, obj);
                if (!same(num)) {
                    unchanged = false;
                    return;
                }
                if (m_clean.count(num) || !m_seen.insert(num).second)
                    continue;
                if (m_seen.size() > kMaxWalked) {
                    unchanged = false;
                    return;
                }
                obj = pdf_resolve_indirect(m_c, obj);
            }
            if (pdf_is_dict(m_c, obj)) {
                for (int i = 0, n = pdf_dict_len(m_c, obj); i < n; ++i)
                    if (!leftBehind(m_c, pdf_dict_get_key(m_c, obj, i)))
                        left.push_back(pdf_dict_get_val(m_c, obj, i));
            } else if (pdf_is_array(m_c, obj)) {
                for (int i = 0, n = pdf_array_len(m_c, obj); i < n; ++i)
                    left.push_back(pdf_array_get(m_c, obj, i));
            }
        }
    });
    return walked && unchanged;
}

bool UnchangedReach::pageUnchanged(int pageNum)
{
    if (const auto known = m_pages.find(pageNum); known != m_pages.end())
        return known->second;
    m_seen.clear();
    std::vector<pdf_obj*> roots;
    pdf_obj* page = nullptr;
    pdf_obj* annots = nullptr;
    bool sound = same(pageNum);
    sound = sound && guarded(m_c, [&] {
        page = pdf_new_indirect(m_c, m_doc, pageNum, 0);
        pdf_obj* dict = pdf_resolve_indirect(m_c, page);
        if (!pdf_name_eq(m_c, pdf_dict_get(m_c, dict, PDF_NAME(Type)), PDF_NAME(Page))) {
            sound = false;
            return;
        }
        for (pdf_obj* key : {PDF_NAME(Contents), PDF_NAME(Resources), PDF_NAME(Group), PDF_NAME(MediaBox),
                             PDF_NAME(CropBox), PDF_NAME(Rotate), PDF_NAME(UserUnit)})
            roots.push_back(pdf_dict_get(m_c, dict, key));
        annots = pdf_dict_get(m_c, dict, PDF_NAME(Annots));
        // What the page inherits: every node above it is looked at, whichever of them the value comes from.
        pdf_obj* node = pdf_dict_get(m_c, dict, PDF_NAME(Parent));
        for (int depth = 0; node && depth < kMaxPageTreeDepth; ++depth) {
            if (pdf_is_indirect(m_c, node) && !same(pdf_to_num(m_c, node))) {
                sound = false;
                return;
            }
            node = pdf_resolve_indirect(m_c, node);
            for (pdf_obj* key : {PDF_NAME(Resources), PDF_NAME(MediaBox), PDF_NAME(CropBox), PDF_NAME(Rotate)})
                roots.push_back(pdf_dict_get(m_c, node, key));
            node = pdf_dict_get(m_c, node, PDF_NAME(Parent));
        }
    });
    for (pdf_obj* root : roots)
        sound = sound && (!root || walk(root));
    sound = sound && annotationsUnchanged(annots);
    pdf_drop_obj(m_c, page);
    // Everything a page walked without meeting a change reaches nothing changed itself: later pages
    // sharing it (fonts, pictures) need not walk it again. A walk that stopped early proves nothing.
    if (sound)
        m_clean.insert(m_seen.begin(), m_seen.end());
    m_seen.clear();
    m_pages.emplace(pageNum, sound);
    return sound;
}

bool UnchangedReach::annotationsUnchanged(pdf_obj* annots)
{
    if (!annots)
        return true;
    std::vector<pdf_obj*> roots;
    bool sound = !pdf_is_indirect(m_c, annots) || same(pdf_to_num(m_c, annots));
    sound = sound && guarded(m_c, [&] {
        pdf_obj* list = pdf_resolve_indirect(m_c, annots);
        for (int i = 0, n = pdf_array_len(m_c, list); i < n && sound; ++i) {
            pdf_obj* annot = pdf_array_get(m_c, list, i);
            if (pdf_is_indirect(m_c, annot) && !same(pdf_to_num(m_c, annot))) {
                sound = false;
                return;
            }
            annot = pdf_resolve_indirect(m_c, annot);
            roots.push_back(pdf_dict_get(m_c, annot, PDF_NAME(AP)));
            roots.push_back(pdf_dict_get(m_c, annot, PDF_NAME(OC)));
            // A widget's value and looks may come from the fields above it.
            pdf_obj* field = pdf_dict_get(m_c, annot, PDF_NAME(Parent));
            for (int depth = 0; field && depth < kMaxFieldDepth; ++depth) {
                if (pdf_is_indirect(m_c, field) && !same(pdf_to_num(m_c, field))) {
                    sound = false;
                    return;
                }
                field = pdf_dict_get(m_c, pdf_resolve_indirect(m_c, field), PDF_NAME(Parent));
            }
        }
    });
    for (pdf_obj* root : roots)
        sound = sound && (!root || walk(root));
    return sound;
}

} // namespace vmk::pdf::detail
