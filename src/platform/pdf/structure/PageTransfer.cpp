// Moving pages between documents with the structure that hangs off them: the form fields of their
// widgets, the named destinations into them and the links between them. One object copier serves the
// whole transfer, so objects the pages share are copied once and references to any page of the transfer
// land on its copy.

#include "platform/pdf/structure/PageTransfer.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/document/State.h"
#include "platform/pdf/structure/StructureCopy.h"

#include <set>

namespace vmk::pdf {

using namespace detail;

namespace {

constexpr int kMaxFieldDepth = 32;

bool isWidget(fz_context* c, pdf_obj* annot)
{
    return pdf_name_eq(c, pdf_dict_get(c, annot, PDF_NAME(Subtype)), PDF_NAME(Widget));
}

// The destination a link annotation jumps to, or nullptr for links that leave the document (or none).
pdf_obj* linkDestination(fz_context* c, pdf_obj* link)
{
    if (pdf_obj* dest = pdf_dict_get(c, link, PDF_NAME(Dest)))
        return dest;
    pdf_obj* action = pdf_dict_get(c, link, PDF_NAME(A));
    if (pdf_name_eq(c, pdf_dict_get(c, action, PDF_NAME(S)), PDF_NAME(GoTo)))
        return pdf_dict_get(c, action, PDF_NAME(D));
    return nullptr;
}

// The explicit destination array behind an explicit or named destination of `doc`.
pdf_obj* explicitDestination(fz_context* c, pdf_document* doc, pdf_obj* dest)
{
    if (pdf_is_name(c, dest) || pdf_is_string(c, dest))
        dest = lookupDestination(c, doc, dest);
    if (pdf_is_dict(c, dest))
        dest = pdf_dict_get(c, dest, PDF_NAME(D));
    return pdf_is_array(c, dest) ? dest : nullptr;
}

// Whether the explicit destination's page is one of `pages` (object numbers in `doc`).
bool pointsInto(fz_context* c, pdf_obj* array, const std::set<int>& pages)
{
    pdf_obj* page = pdf_array_get(c, array, 0);
    return pdf_is_indirect(c, page) && pages.count(pdf_to_num(c, page)) > 0;
}

// Drops the links of a copied page whose destinations did not come along. Named destinations are looked
// up in the source, where the names are still known.
void dropDanglingLinks(fz_context* c, pdf_document* source, pdf_obj* page, const std::set<int>& sourcePages)
{
    pdf_obj* annots = pdf_dict_get(c, page, PDF_NAME(Annots));
    for (int i = pdf_array_len(c, annots) - 1; i >= 0; --i) {
        pdf_obj* annot = pdf_array_get(c, annots, i);
        if (!pdf_name_eq(c, pdf_dict_get(c, annot, PDF_NAME(Subtype)), PDF_NAME(Link)))
            continue;
        pdf_obj* dest = linkDestination(c, annot);
        if (!dest)
            continue;
        bool keep = false;
        if (pdf_is_name(c, dest) || pdf_is_string(c, dest)) {
            pdf_obj* array = explicitDestination(c, source, dest);
            keep = array && pointsInto(c, array, sourcePages);
        } else {
            // The copier turned references to pages left behind into null.
            pdf_obj* array = pdf_is_dict(c, dest) ? pdf_dict_get(c, dest, PDF_NAME(D)) : dest;
            keep = pdf_is_array(c, array) && pdf_is_indirect(c, pdf_array_get(c, array, 0));
        }
        if (!keep)
            pdf_array_delete(c, annots, i);
    }
}

// The top of a widget's field tree.
pdf_obj* fieldRoot(fz_context* c, pdf_obj* widget)
{
    pdf_obj* node = widget;
    for (int depth = 0; depth < kMaxFieldDepth; ++depth) {
        pdf_obj* parent = pdf_dict_get(c, node, PDF_NAME(Parent));
        if (!pdf_is_dict(c, parent))
            break;
        node = parent;
    }
    return node;
}

// Removes from the field tree the widgets that are not among `kept` (object numbers) and the fields left
// without any. Returns whether anything of the field remains.
bool pruneField(fz_context* c, pdf_obj* field, const std::set<int>& kept, int depth)
{
    if (isWidget(c, field))
        return kept.count(pdf_to_num(c, field)) > 0;
    pdf_obj* kids = pdf_dict_get(c, field, PDF_NAME(Kids));
    if (!pdf_is_array(c, kids) || depth > kMaxFieldDepth)
        return false;
    for (int i = pdf_array_len(c, kids) - 1; i >= 0; --i) {
        if (!pruneField(c, pdf_array_get(c, kids, i), kept, depth + 1))
            pdf_array_delete(c, kids, i);
    }
    return pdf_array_len(c, kids) > 0;
}

} // namespace

Result<std::vector<PagePtr>> transferPages(Document& target, const Document& source, const std::vector<int>& indices,
                                           int index)
{
    if (target.isLocked() || source.isLocked())
        return Result<std::vector<PagePtr>>::failure(QStringLiteral("The document is locked."));
    std::vector<PagePtr> sourcePages;
    for (int i : indices) {
        if (PagePtr page = source.page(i)) {
            ensureAppearances(*page);
            sourcePages.push_back(page);
        }
    }
    fz_context* c = ctx();
    pdf_document* from = source.state().doc;
    pdf_document* to = target.state().doc;
    std::set<int> sourceNums;
    std::vector<int> newNums(sourcePages.size(), 0);
    for (const PagePtr& page : sourcePages)
        sourceNums.insert(page->state().ref.num());

    ObjectCopier copier(from, to);
    StructureCopy structure(from, to);
    QString error;
    const bool copied = guarded(c, [&] {
        // Every page's number is known before anything is copied, so references between them resolve.
        for (size_t k = 0; k < sourcePages.size(); ++k) {
            newNums[k] = pdf_create_object(c, to);
            copier.map(sourcePages[k]->state().ref.num(), newNums[k]);
        }
        for (size_t k = 0; k < sourcePages.size(); ++k) {
            pdf_obj* dict = pdf_resolve_indirect(c, sourcePages[k]->state().ref.obj);
            pdf_flatten_inheritable_page_items(c, dict);
            pdf_obj* copy = copier.copyDictExcept(c, dict, {PDF_NAME(Parent), PDF_NAME(B), PDF_NAME(StructParents)});
            pdf_update_object(c, to, newNums[k], copy);
            pdf_drop_obj(c, copy);
        }
        for (int num : newNums) {
            pdf_obj* page = pdf_new_indirect(c, to, num, 0);
            fz_try(c) { dropDanglingLinks(c, from, page, sourceNums); }
            fz_always(c) { pdf_drop_obj(c, page); }
            fz_catch(c) { fz_rethrow(c); }
        }
    }, &error);
    if (!copied) {
        qCWarning(lcVmkPdf) << "The pages could not be copied:" << error;
        return Result<std::vector<PagePtr>>::failure(error);
    }
    std::set<int> widgets;
    std::vector<pdf_obj*> roots;
    std::set<int> rootNums;
    if (!guarded(c, [&] {
        for (int num : newNums) {
            pdf_obj* page = pdf_new_indirect(c, to, num, 0);
            pdf_obj* annots = pdf_dict_get(c, page, PDF_NAME(Annots));
            for (int i = 0, n = pdf_array_len(c, annots); i < n; ++i) {
                pdf_obj* annot = pdf_array_get(c, annots, i);
                if (!isWidget(c, annot) || !pdf_is_indirect(c, annot))
                    continue;
                widgets.insert(pdf_to_num(c, annot));
                pdf_obj* root = fieldRoot(c, annot);
                if (pdf_is_indirect(c, root) && rootNums.insert(pdf_to_num(c, root)).second)
                    roots.push_back(root);
            }
            pdf_drop_obj(c, page);
        }
        for (pdf_obj* root : roots)
            pruneField(c, root, widgets, 0);
        structure.mergeFields(c, copier, roots);
    }, &error))
        qCWarning(lcVmkPdf) << "The form fields could not be merged:" << error;
    if (!guarded(c, [&] { structure.copyNamedDestinations(c, copier, sourceNums, newNums); }, &error))
        qCWarning(lcVmkPdf) << "The named destinations could not be copied:" << error;

    std::vector<PagePtr> result;
    int position = qBound(0, index, target.pageCount());
    for (int num : newNums) {
        PagePtr page = PageState::make(to, num);
        if (Status inserted = target.insertPage(page, position); !inserted)
            return Result<std::vector<PagePtr>>::failure(inserted.error());
        ++position;
        result.push_back(page);
    }
    return result;
}

} // namespace vmk::pdf
