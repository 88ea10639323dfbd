// A file that sets /NeedAppearances asks every reader to draw its fields from their values, and office
// suites write such files with empty appearance streams. Building the appearances right after opening
// lets the view, flattened copies and every export show what other readers show.

#include "platform/pdf/detail/FieldAppearances.h"

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

void buildRequestedFieldAppearances(fz_context* c, pdf_document* doc)
{
    if (!asksForFieldAppearances(c, doc))
        return;
    int count = 0;
    guarded(c, [&] { count = pdf_count_pages(c, doc); });
    for (int i = 0; i < count; ++i) {
        pdf_page* page = nullptr;
        // A page whose fields cannot be drawn keeps what the file has; the others still get theirs.
        guarded(c, [&] {
            page = pdf_load_page(c, doc, i);
            for (pdf_annot* widget = pdf_first_widget(c, page); widget; widget = pdf_next_widget(c, widget)) {
                // Text and choice fields are drawn from their values; buttons keep the states they have.
                const enum pdf_widget_type type = pdf_widget_type(c, widget);
                if (type != PDF_WIDGET_TYPE_TEXT && type != PDF_WIDGET_TYPE_COMBOBOX && type != PDF_WIDGET_TYPE_LISTBOX)
                    continue;
                pdf_dict_del(c, pdf_annot_obj(c, widget), PDF_NAME(AP));
                pdf_annot_request_resynthesis(c, widget);
                pdf_update_annot(c, widget);
            }
        });
        fz_drop_page(c, reinterpret_cast<fz_page*>(page));
    }
}

} // namespace vmk::pdf::detail
