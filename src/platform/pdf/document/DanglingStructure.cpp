#include "platform/pdf/document/DanglingStructure.h"

#include "platform/pdf/document/State.h"

#include <functional>
#include <set>
#include <utility>

namespace vmk::pdf::detail {

namespace {

constexpr int kMaxDepth = 64;

// The pages in the page tree and the annotations on them, by object number.
struct PresentPages {
    std::set<int> pages;
    std::set<int> annotations;

    bool holdsPage(fz_context* c, pdf_obj* ref) const { return pages.count(pdf_to_num(c, ref)) > 0; }
};

int objectNumber(fz_context* c, pdf_obj* obj)
{
    return pdf_is_indirect(c, obj) ? pdf_to_num(c, obj) : pdf_obj_parent_num(c, obj);
}

PresentPages presentPages(fz_context* c, pdf_document* doc)
{
    PresentPages present;
    for (int i = 0, n = pdf_count_pages(c, doc); i < n; ++i) {
        pdf_obj* page = pdf_lookup_page_obj(c, doc, i);
        present.pages.insert(objectNumber(c, page));
        pdf_obj* annots = pdf_dict_get(c, page, PDF_NAME(Annots));
        for (int k = 0, m = pdf_array_len(c, annots); k < m; ++k) {
            pdf_obj* annot = pdf_array_get(c, annots, k);
            if (pdf_is_indirect(c, annot))
                present.annotations.insert(pdf_to_num(c, annot));
        }
    }
    return present;
}

// Whether a destination (explicit, a dictionary with /D, or a name) leads to a page object that is not
// in the page tree. A name nobody defines, or a page given by number, is left alone.
bool dangles(fz_context* c, pdf_document* doc, pdf_obj* dest, const PresentPages& present)
{
    if (pdf_is_name(c, dest) || pdf_is_string(c, dest))
        dest = lookupDestination(c, doc, dest);
    if (pdf_is_dict(c, dest))
        dest = pdf_dict_get(c, dest, PDF_NAME(D));
    if (!pdf_is_array(c, dest))
        return false;
    pdf_obj* page = pdf_array_get(c, dest, 0);
    return pdf_is_indirect(c, page) && !present.holdsPage(c, page);
}

// The destination an outline entry, a link or an open action leads to; `key` and `holder` say where it
// sits (the dictionary itself for /Dest, its action for /A).
pdf_obj* destinationOf(fz_context* c, pdf_obj* dict, pdf_obj** holder, pdf_obj** key)
{
    if (pdf_obj* dest = pdf_dict_get(c, dict, PDF_NAME(Dest))) {
        *holder = dict;
        *key = PDF_NAME(Dest);
        return dest;
    }
    pdf_obj* action = pdf_dict_get(c, dict, PDF_NAME(A));
    if (pdf_name_eq(c, pdf_dict_get(c, action, PDF_NAME(S)), PDF_NAME(GoTo))) {
        *holder = dict;
        *key = PDF_NAME(A);
        return pdf_dict_get(c, action, PDF_NAME(D));
    }
    return nullptr;
}

bool isWidget(fz_context* c, pdf_obj* dict)
{
    return pdf_name_eq(c, pdf_dict_get(c, dict, PDF_NAME(Subtype)), PDF_NAME(Widget));
}

int visibleBelow(fz_context* c, pdf_obj* item, int depth)
{
    int count = 0;
    if (depth > kMaxDepth)
        return 0;
    std::set<int> seen;
    for (pdf_obj* child = pdf_dict_get(c, item, PDF_NAME(First)); child && seen.insert(pdf_to_num(c, child)).second;
         child = pdf_dict_get(c, child, PDF_NAME(Next))) {
        ++count;
        if (pdf_dict_get_int(c, child, PDF_NAME(Count)) > 0)
            count += visibleBelow(c, child, depth + 1);
    }
    return count;
}

class Hider {
public:
    using Put = std::function<void(pdf_obj*, pdf_obj*, pdf_obj*)>;

    Hider(fz_context* c, pdf_document* doc, Put put) : m_c(c), m_doc(doc), m_put(std::move(put))
    {
        m_openAction = pdf_new_name(c, "OpenAction");
        m_order = pdf_new_name(c, "CO");
    }
    ~Hider()
    {
        pdf_drop_obj(m_c, m_openAction);
        pdf_drop_obj(m_c, m_order);
    }

    void run()
    {
        m_present = presentPages(m_c, m_doc);
        pdf_obj* root = pdf_dict_get(m_c, pdf_trailer(m_c, m_doc), PDF_NAME(Root));
        // Everything that can lead through a named destination is judged before the names go.
        links();
        openAction(root);
        pdf_obj* outlines = pdf_dict_get(m_c, root, PDF_NAME(Outlines));
        if (pdf_is_dict(m_c, outlines) && outlineLevel(outlines, 0))
            recount(outlines, true);
        fields(pdf_dict_get(m_c, root, PDF_NAME(AcroForm)));
        nameTree(pdf_dict_get(m_c, root, PDF_NAME(Names)));
        oldDestinations(root);
    }

private:
    bool dangling(pdf_obj* dest) const { return dest && dangles(m_c, m_doc, dest, m_present); }

    // A link into a removed page stays on its page (the page still shows it) but leads nowhere.
    void links()
    {
        for (int i = 0, n = pdf_count_pages(m_c, m_doc); i < n; ++i) {
            pdf_obj* annots = pdf_dict_get(m_c, pdf_lookup_page_obj(m_c, m_doc, i), PDF_NAME(Annots));
            for (int k = 0, count = pdf_array_len(m_c, annots); k < count; ++k) {
                pdf_obj* annot = pdf_array_get(m_c, annots, k);
                if (!pdf_name_eq(m_c, pdf_dict_get(m_c, annot, PDF_NAME(Subtype)), PDF_NAME(Link)))
                    continue;
                pdf_obj* holder = nullptr;
                pdf_obj* key = nullptr;
                if (dangling(destinationOf(m_c, annot, &holder, &key)))
                    m_put(holder, key, nullptr);
            }
        }
    }

    void openAction(pdf_obj* root)
    {
        pdf_obj* action = pdf_dict_get(m_c, root, m_openAction);
        pdf_obj* dest = action;
        if (pdf_is_dict(m_c, action)) {
            dest = pdf_name_eq(m_c, pdf_dict_get(m_c, action, PDF_NAME(S)), PDF_NAME(GoTo))
                ? pdf_dict_get(m_c, action, PDF_NAME(D))
                : nullptr;
        }
        if (dangling(dest))
            m_put(root, m_openAction, nullptr);
    }

    // Takes out the entries below `parent` that lead to removed pages; an entry with entries of its own
    // below stays and loses its destination. Returns whether anything below `parent` changed.
    bool outlineLevel(pdf_obj* parent, int depth)
    {
        if (depth > kMaxDepth)
            return false;
        std::vector<pdf_obj*> items;
        for (pdf_obj* item = pdf_dict_get(m_c, parent, PDF_NAME(First)); item; item = pdf_dict_get(m_c, item, PDF_NAME(Next))) {
            // Entries are indirect objects; anything else, or a loop, is left as it is.
            if (!pdf_is_indirect(m_c, item) || !m_seenItems.insert(pdf_to_num(m_c, item)).second)
                return false;
            items.push_back(item);
        }
        bool changed = false;
        std::vector<pdf_obj*> kept;
        for (pdf_obj* item : items) {
            if (outlineLevel(item, depth + 1)) {
                changed = true;
                recount(item, false);
            }
            pdf_obj* holder = nullptr;
            pdf_obj* key = nullptr;
            if (!dangling(destinationOf(m_c, item, &holder, &key))) {
                kept.push_back(item);
                continue;
            }
            changed = true;
            if (pdf_dict_get(m_c, item, PDF_NAME(First))) {
                m_put(holder, key, nullptr);
                kept.push_back(item);
            }
        }
        if (kept.size() == items.size())
            return changed;
        for (size_t i = 0; i < kept.size(); ++i) {
            relink(kept[i], PDF_NAME(Prev), i > 0 ? kept[i - 1] : nullptr);
            relink(kept[i], PDF_NAME(Next), i + 1 < kept.size() ? kept[i + 1] : nullptr);
        }
        relink(parent, PDF_NAME(First), kept.empty() ? nullptr : kept.front());
        relink(parent, PDF_NAME(Last), kept.empty() ? nullptr : kept.back());
        return true;
    }

    void relink(pdf_obj* dict, pdf_obj* key, pdf_obj* to)
    {
        pdf_obj* now = pdf_dict_get(m_c, dict, key);
        if ((now ? pdf_to_num(m_c, now) : 0) != (to ? pdf_to_num(m_c, to) : 0))
            m_put(dict, key, to);
    }

    // /Count after entries below went: the visible entries of an open entry (or the outline itself),
    // minus the number of entries of a closed one, and no count for an entry left without any.
    void recount(pdf_obj* item, bool isRoot)
    {
        const int count = pdf_dict_get_int(m_c, item, PDF_NAME(Count));
        int wanted = 0;
        if (pdf_dict_get(m_c, item, PDF_NAME(First))) {
            if (isRoot || count > 0) {
                wanted = visibleBelow(m_c, item, 0);
            } else {
                std::set<int> seen;
                for (pdf_obj* child = pdf_dict_get(m_c, item, PDF_NAME(First));
                     child && seen.insert(pdf_to_num(m_c, child)).second; child = pdf_dict_get(m_c, child, PDF_NAME(Next)))
                    --wanted;
            }
        }
        if (wanted == count && (wanted != 0 || !pdf_dict_get(m_c, item, PDF_NAME(Count))))
            return;
        if (wanted == 0 && !isRoot) {
            m_put(item, PDF_NAME(Count), nullptr);
            return;
        }
        pdf_obj* number = pdf_new_int(m_c, wanted);
        fz_try(m_c) { m_put(item, PDF_NAME(Count), number); }
        fz_always(m_c) { pdf_drop_obj(m_c, number); }
        fz_catch(m_c) { fz_rethrow(m_c); }
    }

    // Whether anything of the field stays: a widget on a present page, or a field that never had one.
    bool keepField(pdf_obj* field, int depth)
    {
        if (depth > kMaxDepth || (pdf_is_indirect(m_c, field) && !m_seenFields.insert(pdf_to_num(m_c, field)).second))
            return true;
        pdf_obj* kids = pdf_dict_get(m_c, field, PDF_NAME(Kids));
        if (!pdf_is_array(m_c, kids)) {
            if (!isWidget(m_c, field) || m_present.annotations.count(pdf_to_num(m_c, field)))
                return true;
            // A widget says which page it is on; one that does not is kept, as nothing shows it gone.
            pdf_obj* page = pdf_dict_get(m_c, field, PDF_NAME(P));
            return !pdf_is_indirect(m_c, page) || m_present.holdsPage(m_c, page);
        }
        const int count = pdf_array_len(m_c, kids);
        if (count == 0)
            return true;
        std::vector<pdf_obj*> kept;
        for (int i = 0; i < count; ++i) {
            pdf_obj* kid = pdf_array_get(m_c, kids, i);
            if (keepField(kid, depth + 1))
                kept.push_back(kid);
            else
                m_droppedFields.insert(pdf_to_num(m_c, kid));
        }
        if (int(kept.size()) == count)
            return true;
        if (kept.empty())
            return false;
        replaceArray(field, PDF_NAME(Kids), kept);
        return true;
    }

    void fields(pdf_obj* form)
    {
        pdf_obj* fields = pdf_dict_get(m_c, form, PDF_NAME(Fields));
        const int count = pdf_array_len(m_c, fields);
        std::vector<pdf_obj*> kept;
        for (int i = 0; i < count; ++i) {
            pdf_obj* field = pdf_array_get(m_c, fields, i);
            if (keepField(field, 0))
                kept.push_back(field);
            else
                m_droppedFields.insert(pdf_to_num(m_c, field));
        }
        if (int(kept.size()) != count)
            replaceArray(form, PDF_NAME(Fields), kept);
        // The calculation order names fields too.
        pdf_obj* order = pdf_dict_get(m_c, form, m_order);
        std::vector<pdf_obj*> ordered;
        for (int i = 0, n = pdf_array_len(m_c, order); i < n; ++i) {
            pdf_obj* field = pdf_array_get(m_c, order, i);
            if (!m_droppedFields.count(pdf_to_num(m_c, field)))
                ordered.push_back(field);
        }
        if (int(ordered.size()) != pdf_array_len(m_c, order))
            replaceArray(form, m_order, ordered);
    }

    void collectNames(pdf_obj* node, int depth, std::vector<std::pair<pdf_obj*, pdf_obj*>>& out)
    {
        if (depth > kMaxDepth || (pdf_is_indirect(m_c, node) && !m_seenNames.insert(pdf_to_num(m_c, node)).second))
            return;
        pdf_obj* names = pdf_dict_get(m_c, node, PDF_NAME(Names));
        for (int i = 0, n = pdf_array_len(m_c, names); i + 1 < n; i += 2)
            out.emplace_back(pdf_array_get(m_c, names, i), pdf_array_get(m_c, names, i + 1));
        pdf_obj* kids = pdf_dict_get(m_c, node, PDF_NAME(Kids));
        for (int i = 0, n = pdf_array_len(m_c, kids); i < n; ++i)
            collectNames(pdf_array_get(m_c, kids, i), depth + 1, out);
    }

    // The tree becomes one leaf of the names that stay; a tree walked in order is in key order already.
    void nameTree(pdf_obj* names)
    {
        pdf_obj* tree = pdf_dict_get(m_c, names, PDF_NAME(Dests));
        if (!pdf_is_dict(m_c, tree))
            return;
        std::vector<std::pair<pdf_obj*, pdf_obj*>> entries;
        collectNames(tree, 0, entries);
        std::vector<pdf_obj*> kept;
        for (const auto& [key, value] : entries) {
            if (dangling(value))
                continue;
            kept.push_back(key);
            kept.push_back(value);
        }
        if (kept.size() == entries.size() * 2)
            return;
        pdf_obj* leaf = pdf_new_dict(m_c, m_doc, 1);
        fz_try(m_c)
        {
            replaceArray(leaf, PDF_NAME(Names), kept, false);
            m_put(names, PDF_NAME(Dests), leaf);
        }
        fz_always(m_c) { pdf_drop_obj(m_c, leaf); }
        fz_catch(m_c) { fz_rethrow(m_c); }
    }

    void oldDestinations(pdf_obj* root)
    {
        pdf_obj* dests = pdf_dict_get(m_c, root, PDF_NAME(Dests));
        const int count = pdf_dict_len(m_c, dests);
        std::vector<int> kept;
        for (int i = 0; i < count; ++i) {
            if (!dangling(pdf_dict_get_val(m_c, dests, i)))
                kept.push_back(i);
        }
        if (int(kept.size()) == count)
            return;
        pdf_obj* filtered = pdf_new_dict(m_c, m_doc, int(kept.size()));
        fz_try(m_c)
        {
            for (int i : kept)
                pdf_dict_put(m_c, filtered, pdf_dict_get_key(m_c, dests, i), pdf_dict_get_val(m_c, dests, i));
            m_put(root, PDF_NAME(Dests), filtered);
        }
        fz_always(m_c) { pdf_drop_obj(m_c, filtered); }
        fz_catch(m_c) { fz_rethrow(m_c); }
    }

    // Sets dict[key] to a new array of `items` (through the journal unless `journal` is false: a new
    // object nobody else holds yet).
    void replaceArray(pdf_obj* dict, pdf_obj* key, const std::vector<pdf_obj*>& items, bool journal = true)
    {
        pdf_obj* array = pdf_new_array(m_c, m_doc, int(items.size()));
        fz_try(m_c)
        {
            for (pdf_obj* item : items)
                pdf_array_push(m_c, array, item);
            if (journal)
                m_put(dict, key, array);
            else
                pdf_dict_put(m_c, dict, key, array);
        }
        fz_always(m_c) { pdf_drop_obj(m_c, array); }
        fz_catch(m_c) { fz_rethrow(m_c); }
    }

    fz_context* m_c;
    pdf_document* m_doc;
    Put m_put;
    PresentPages m_present;
    std::set<int> m_seenItems;
    std::set<int> m_seenFields;
    std::set<int> m_seenNames;
    std::set<int> m_droppedFields;
    pdf_obj* m_openAction = nullptr;
    pdf_obj* m_order = nullptr; // the form's calculation order
};

} // namespace

void DanglingStructure::hide(fz_context* c, pdf_document* doc)
{
    Hider hider(c, doc, [this, c](pdf_obj* holder, pdf_obj* key, pdf_obj* value) { m_journal.put(c, holder, key, value); });
    hider.run();
}

void DanglingStructure::restore(fz_context* c)
{
    m_journal.exchange(c);
    m_journal.clear(c);
}

} // namespace vmk::pdf::detail
