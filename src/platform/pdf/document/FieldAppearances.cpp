// A file that sets /NeedAppearances asks every reader to draw its fields from their values, and office
// suites write such files with empty appearance streams. Building the appearances right after opening
// lets the view, flattened copies and every export show what other readers show.

#include "platform/pdf/document/FieldAppearances.h"

#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/document/ChoiceLooks.h"

namespace vmk::pdf::detail {

bool asksForFieldAppearances(fz_context* c, pdf_document* doc)
{
    bool asks = false;
    guarded(c, [&] {
        pdf_obj* form = pdf_dict_getp(c, pdf_trailer(c, doc), "Root/AcroForm");
        asks = pdf_to_bool(c, pdf_dict_gets(c, form, "NeedAppearances"));
    });
    return asks;
}

namespace {

// Text and choice fields are drawn from their values; buttons keep the states they have.
bool drawnFromValue(fz_context* c, pdf_obj* widget)
{
    pdf_obj* type = pdf_dict_get_inheritable(c, widget, PDF_NAME(FT));
    return pdf_name_eq(c, type, PDF_NAME(Tx)) || pdf_name_eq(c, type, PDF_NAME(Ch));
}

// Whether a page lists such a field. Loading a page makes the engine draw each of its annotations that
// has no appearance, so a page without one is not loaded at all.
bool listsFieldDrawnFromValue(fz_context* c, pdf_obj* page)
{
    pdf_obj* annots = pdf_dict_get(c, page, PDF_NAME(Annots));
    for (int i = 0, n = pdf_array_len(c, annots); i < n; ++i) {
        pdf_obj* annot = pdf_array_get(c, annots, i);
        if (pdf_name_eq(c, pdf_dict_get(c, annot, PDF_NAME(Subtype)), PDF_NAME(Widget)) && drawnFromValue(c, annot))
            return true;
    }
    return false;
}

// Draws the fields of a loaded page with one update. Throws MuPDF errors.
//
// The engine's update goes over every annotation of the open pages whenever something asks for a new
// appearance, and draws each one that lacks an appearance into a scratch table as large as the whole file,
// which the next field's new appearance throws away again. Updating once per field, with a page of
// markups without appearances, cost a page's worth of drawing and two file-sized tables per field:
// 2.2 s to open 200 such pages. The other annotations are left out of the list the update walks while
// it runs: they are not changed (the file keeps them without appearances) and only the fields are drawn.
void drawFields(fz_context* c, pdf_page* page, ChoiceLooks& looks)
{
    pdf_annot* first = nullptr;
    for (pdf_annot* widget = pdf_first_widget(c, page); widget; widget = pdf_next_widget(c, widget)) {
        pdf_obj* obj = pdf_annot_obj(c, widget);
        if (!drawnFromValue(c, obj))
            continue;
        pdf_dict_del(c, obj, PDF_NAME(AP));
        pdf_annot_request_resynthesis(c, widget);
        looks.prepare(c, widget);
        first = first ? first : widget;
    }
    if (!first)
        return;
    pdf_annot* others = page->annots;
    pdf_annot** othersTail = page->annot_tailp;
    page->annots = nullptr;
    page->annot_tailp = &page->annots;
    fz_try(c) { pdf_update_annot(c, first); }
    fz_always(c)
    {
        page->annots = others;
        page->annot_tailp = othersTail;
    }
    fz_catch(c) { fz_rethrow(c); }
}

} // namespace

void buildRequestedFieldAppearances(fz_context* c, pdf_document* doc)
{
    if (!asksForFieldAppearances(c, doc))
        return;
    int count = 0;
    guarded(c, [&] { count = pdf_count_pages(c, doc); });
    // Looking a page up walks the page tree from its root; the map makes each look-up direct.
    const bool mapped = guarded(c, [&] { pdf_load_page_tree(c, doc); });
    // An opening the user stopped is dropped whole: the rest of the pages are not worth drawing.
    for (int i = 0; i < count && !waitCancelled(); ++i) {
        pdf_page* page = nullptr;
        ChoiceLooks looks;
        // A page whose fields cannot be drawn keeps what the file has; the others still get theirs.
        guarded(c, [&] {
            if (!listsFieldDrawnFromValue(c, pdf_lookup_page_obj(c, doc, i)))
                return;
            page = pdf_load_page(c, doc, i);
            drawFields(c, page, looks);
        });
        looks.finish(c);
        fz_drop_page(c, reinterpret_cast<fz_page*>(page));
    }
    if (mapped)
        guarded(c, [&] { pdf_drop_page_tree(c, doc); });
}

} // namespace vmk::pdf::detail
