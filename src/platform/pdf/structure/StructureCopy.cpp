#include "platform/pdf/structure/StructureCopy.h"

#include <cstring>
#include <map>
#include <string>

namespace vmk::pdf::detail {

namespace {

pdf_obj* catalog(fz_context* c, pdf_document* doc)
{
    return pdf_dict_get(c, pdf_trailer(c, doc), PDF_NAME(Root));
}

std::string textKey(fz_context* c, pdf_obj* obj)
{
    if (pdf_is_name(c, obj))
        return pdf_to_name(c, obj);
    return std::string(pdf_to_str_buf(c, obj), pdf_to_str_len(c, obj));
}

// Adds the entries of each sub-dictionary of `from` (Font, XObject, ...) that `into` lacks.
void mergeResources(fz_context* c, ObjectCopier& copier, pdf_document* to, pdf_obj* into, pdf_obj* from)
{
    for (int i = 0, n = pdf_dict_len(c, from); i < n; ++i) {
        pdf_obj* key = pdf_dict_get_key(c, from, i);
        pdf_obj* category = pdf_dict_get_val(c, from, i);
        if (!pdf_is_dict(c, category))
            continue;
        pdf_obj* target = pdf_dict_get(c, into, key);
        if (!pdf_is_dict(c, target))
            target = pdf_dict_put_dict(c, into, key, pdf_dict_len(c, category));
        for (int j = 0, m = pdf_dict_len(c, category); j < m; ++j) {
            pdf_obj* name = pdf_dict_get_key(c, category, j);
            if (!pdf_dict_get(c, target, name))
                pdf_dict_put_drop(c, target, name, copier.copy(c, pdf_dict_get_val(c, category, j)));
        }
    }
    (void)to;
}

// The name → destination entries of a document: its name tree, then the older /Dests dictionary.
void collectDestinations(fz_context* c, pdf_document* doc, pdf_obj* tree, std::map<std::string, pdf_obj*>& out)
{
    for (int i = 0, n = pdf_dict_len(c, tree); i < n; ++i)
        out.emplace(textKey(c, pdf_dict_get_key(c, tree, i)), pdf_dict_get_val(c, tree, i));
    pdf_obj* old = pdf_dict_get(c, catalog(c, doc), PDF_NAME(Dests));
    for (int i = 0, n = pdf_dict_len(c, old); i < n; ++i)
        out.emplace(textKey(c, pdf_dict_get_key(c, old, i)), pdf_dict_get_val(c, old, i));
}

pdf_obj* linkDestinationHolder(fz_context* c, pdf_obj* link, pdf_obj** key)
{
    if (pdf_dict_get(c, link, PDF_NAME(Dest))) {
        *key = PDF_NAME(Dest);
        return link;
    }
    pdf_obj* action = pdf_dict_get(c, link, PDF_NAME(A));
    if (pdf_name_eq(c, pdf_dict_get(c, action, PDF_NAME(S)), PDF_NAME(GoTo))) {
        *key = PDF_NAME(D);
        return action;
    }
    return nullptr;
}

} // namespace

pdf_obj* lookupDestination(fz_context* c, pdf_document* doc, pdf_obj* name)
{
    pdf_obj* old = pdf_dict_get(c, catalog(c, doc), PDF_NAME(Dests));
    if (pdf_is_dict(c, old)) {
        pdf_obj* found = pdf_is_name(c, name) ? pdf_dict_get(c, old, name) : pdf_dict_gets(c, old, pdf_to_str_buf(c, name));
        if (found)
            return found;
    }
    if (pdf_is_string(c, name))
        return pdf_lookup_name(c, doc, PDF_NAME(Dests), name);
    if (!pdf_is_name(c, name))
        return nullptr;
    const char* text = pdf_to_name(c, name);
    pdf_obj* key = pdf_new_string(c, text, strlen(text));
    pdf_obj* found = nullptr;
    fz_try(c) { found = pdf_lookup_name(c, doc, PDF_NAME(Dests), key); }
    fz_always(c) { pdf_drop_obj(c, key); }
    fz_catch(c) { fz_rethrow(c); }
    return found;
}

void StructureCopy::mergeFields(fz_context* c, ObjectCopier& copier, const std::vector<pdf_obj*>& roots)
{
    if (roots.empty())
        return;
    pdf_obj* sourceForm = pdf_dict_get(c, catalog(c, m_from), PDF_NAME(AcroForm));
    pdf_obj* root = catalog(c, m_to);
    pdf_obj* form = pdf_dict_get(c, root, PDF_NAME(AcroForm));
    if (!pdf_is_dict(c, form)) {
        form = pdf_add_new_dict(c, m_to, 4);
        pdf_dict_put_drop(c, root, PDF_NAME(AcroForm), form);
    }
    pdf_obj* fields = pdf_dict_get(c, form, PDF_NAME(Fields));
    if (!pdf_is_array(c, fields))
        fields = pdf_dict_put_array(c, form, PDF_NAME(Fields), int(roots.size()));

    std::set<std::string> taken;
    std::set<int> present;
    for (int i = 0, n = pdf_array_len(c, fields); i < n; ++i) {
        pdf_obj* field = pdf_array_get(c, fields, i);
        present.insert(pdf_to_num(c, field));
        taken.insert(pdf_dict_get_text_string(c, field, PDF_NAME(T)));
    }
    pdf_obj* sourceAppearance = pdf_dict_get(c, sourceForm, PDF_NAME(DA));
    pdf_obj* targetAppearance = pdf_dict_get(c, form, PDF_NAME(DA));
    for (pdf_obj* field : roots) {
        if (present.count(pdf_to_num(c, field)))
            continue;
        const std::string name = pdf_dict_get_text_string(c, field, PDF_NAME(T));
        if (!name.empty() && taken.count(name)) {
            std::string renamed;
            for (int n = 2;; ++n) {
                renamed = name + "_" + std::to_string(n);
                if (!taken.count(renamed))
                    break;
            }
            pdf_dict_put_text_string(c, field, PDF_NAME(T), renamed.c_str());
            taken.insert(renamed);
        } else {
            taken.insert(name);
        }
        // A text or choice field that took its default appearance from its own form keeps it.
        pdf_obj* type = pdf_dict_get(c, field, PDF_NAME(FT));
        const bool variableText = pdf_name_eq(c, type, PDF_NAME(Tx)) || pdf_name_eq(c, type, PDF_NAME(Ch));
        if (variableText && !pdf_dict_get(c, field, PDF_NAME(DA)) && pdf_is_string(c, sourceAppearance))
            pdf_dict_put_drop(c, field, PDF_NAME(DA), copier.copy(c, sourceAppearance));
        pdf_array_push(c, fields, field);
    }
    if (!targetAppearance && pdf_is_string(c, sourceAppearance))
        pdf_dict_put_drop(c, form, PDF_NAME(DA), copier.copy(c, sourceAppearance));
    if (pdf_obj* resources = pdf_dict_get(c, sourceForm, PDF_NAME(DR)); pdf_is_dict(c, resources)) {
        pdf_obj* into = pdf_dict_get(c, form, PDF_NAME(DR));
        if (!pdf_is_dict(c, into))
            into = pdf_dict_put_dict(c, form, PDF_NAME(DR), 2);
        mergeResources(c, copier, m_to, into, resources);
    }
    if (pdf_to_bool(c, pdf_dict_gets(c, sourceForm, "NeedAppearances")))
        pdf_dict_puts_drop(c, form, "NeedAppearances", PDF_TRUE);
    if (const int flags = pdf_dict_get_int(c, sourceForm, PDF_NAME(SigFlags)))
        pdf_dict_put_int(c, form, PDF_NAME(SigFlags), flags | pdf_dict_get_int(c, form, PDF_NAME(SigFlags)));
}

void StructureCopy::copyNamedDestinations(fz_context* c, ObjectCopier& copier, const std::set<int>& sourcePages,
                                          const std::vector<int>& newPages)
{
    pdf_obj* sourceTree = nullptr;
    pdf_obj* targetTree = nullptr;
    pdf_obj* names = nullptr;
    std::map<std::string, pdf_obj*> wanted;
    std::map<std::string, pdf_obj*> merged;
    std::map<std::string, std::string> renamed;
    fz_var(sourceTree);
    fz_var(targetTree);
    fz_var(names);
    fz_try(c)
    {
        sourceTree = pdf_load_name_tree(c, m_from, PDF_NAME(Dests));
        std::map<std::string, pdf_obj*> sourceEntries;
        collectDestinations(c, m_from, sourceTree, sourceEntries);
        for (const auto& [name, value] : sourceEntries) {
            pdf_obj* array = pdf_is_dict(c, value) ? pdf_dict_get(c, value, PDF_NAME(D)) : value;
            pdf_obj* page = pdf_array_get(c, array, 0);
            if (pdf_is_array(c, array) && pdf_is_indirect(c, page) && sourcePages.count(pdf_to_num(c, page)))
                wanted.emplace(name, nullptr);
        }
        if (!wanted.empty()) {
            for (auto& [name, copy] : wanted)
                copy = copier.copy(c, sourceEntries[name]);
            targetTree = pdf_load_name_tree(c, m_to, PDF_NAME(Dests));
            std::map<std::string, pdf_obj*> existing;
            collectDestinations(c, m_to, targetTree, existing);
            for (const auto& [name, value] : existing)
                merged.emplace(name, pdf_keep_obj(c, value));
            for (auto& [name, copy] : wanted) {
                std::string unique = name;
                for (int n = 2; merged.count(unique); ++n)
                    unique = name + "-" + std::to_string(n);
                if (unique != name)
                    renamed.emplace(name, unique);
                merged.emplace(unique, copy);
                copy = nullptr;
            }
            // One flat leaf, keys in byte order as name trees require.
            names = pdf_new_array(c, m_to, int(merged.size() * 2));
            for (const auto& [name, value] : merged) {
                pdf_array_push_drop(c, names, pdf_new_string(c, name.data(), name.size()));
                pdf_array_push(c, names, value);
            }
            pdf_obj* root = catalog(c, m_to);
            pdf_obj* nameDict = pdf_dict_get(c, root, PDF_NAME(Names));
            if (!pdf_is_dict(c, nameDict))
                nameDict = pdf_dict_put_dict(c, root, PDF_NAME(Names), 1);
            pdf_obj* dests = pdf_dict_put_dict(c, nameDict, PDF_NAME(Dests), 1);
            pdf_dict_put(c, dests, PDF_NAME(Names), names);
            // The older dictionary's names now live in the tree.
            pdf_dict_del(c, root, PDF_NAME(Dests));

            for (int num : newPages) {
                if (renamed.empty())
                    break;
                pdf_obj* page = pdf_new_indirect(c, m_to, num, 0);
                pdf_obj* annots = pdf_dict_get(c, page, PDF_NAME(Annots));
                pdf_drop_obj(c, page); // the document's object cache keeps the page itself
                for (int i = 0, n = pdf_array_len(c, annots); i < n; ++i) {
                    pdf_obj* key = nullptr;
                    pdf_obj* holder = linkDestinationHolder(c, pdf_array_get(c, annots, i), &key);
                    pdf_obj* dest = holder ? pdf_dict_get(c, holder, key) : nullptr;
                    if (!pdf_is_name(c, dest) && !pdf_is_string(c, dest))
                        continue;
                    auto found = renamed.find(textKey(c, dest));
                    if (found != renamed.end())
                        pdf_dict_put_drop(c, holder, key,
                                          pdf_new_string(c, found->second.data(), found->second.size()));
                }
            }
        }
    }
    fz_always(c)
    {
        for (auto& [name, copy] : wanted)
            pdf_drop_obj(c, copy);
        for (auto& [name, value] : merged)
            pdf_drop_obj(c, value);
        pdf_drop_obj(c, names);
        pdf_drop_obj(c, targetTree);
        pdf_drop_obj(c, sourceTree);
    }
    fz_catch(c) { fz_rethrow(c); }
}

} // namespace vmk::pdf::detail
