// The engine's store compares what fonts were loaded from by value, across every open document: a look-up
// for one document must never read or grow another document's table.

#include "platform/pdf/engine/Fz.h"

#include <gtest/gtest.h>

using namespace vmk::pdf::detail;

namespace {

// A direct font dictionary held by a new object of `doc`, after `filler` other objects.
pdf_obj* heldFont(fz_context* c, pdf_document* doc, int filler, bool asStream)
{
    for (int i = 0; i < filler; ++i)
        pdf_drop_obj(c, pdf_add_new_dict(c, doc, 1));
    pdf_obj* font = pdf_new_dict(c, doc, 3);
    pdf_dict_put(c, font, PDF_NAME(Type), PDF_NAME(Font));
    pdf_dict_put(c, font, PDF_NAME(Subtype), PDF_NAME(Type1));
    pdf_dict_put_name(c, font, PDF_NAME(BaseFont), "Helvetica");
    if (asStream) {
        fz_buffer* data = fz_new_buffer_from_copied_data(c, reinterpret_cast<const unsigned char*>("x"), 1);
        pdf_obj* ref = pdf_add_stream(c, doc, data, font, 0);
        fz_drop_buffer(c, data);
        pdf_drop_obj(c, font);
        return ref;
    }
    pdf_obj* holder = pdf_add_new_dict(c, doc, 1);
    pdf_dict_put_drop(c, holder, PDF_NAME(F), font);
    return holder;
}

} // namespace

TEST(EngineKeyCompare, LookingUpAnotherDocumentsEqualFontLeavesTablesAlone)
{
    fz_context* c = ctx();
    struct Case { const char* name; bool secondIsStream; };
    for (const Case& k : {Case{"dictionary", false}, Case{"stream", true}}) {
        SCOPED_TRACE(k.name);
        pdf_document* small = nullptr;
        pdf_document* large = nullptr;
        int smallLength = 0;
        int largeLength = 0;
        ASSERT_TRUE(guarded(c, [&] {
            small = pdf_create_document(c);
            large = pdf_create_document(c);
            pdf_obj* first = heldFont(c, small, 0, false);
            pdf_obj* second = heldFont(c, large, 3000, k.secondIsStream);
            smallLength = pdf_xref_len(c, small);
            largeLength = pdf_xref_len(c, large);
            pdf_obj* secondFont = k.secondIsStream ? second : pdf_dict_get(c, second, PDF_NAME(F));
            // The second load looks the first one's key up in the shared store.
            pdf_drop_font(c, pdf_load_font(c, small, nullptr, pdf_dict_get(c, first, PDF_NAME(F))));
            pdf_drop_font(c, pdf_load_font(c, large, nullptr, secondFont));
            pdf_drop_obj(c, first);
            pdf_drop_obj(c, second);
        }));
        EXPECT_EQ(pdf_xref_len(c, small), smallLength);
        EXPECT_EQ(pdf_xref_len(c, large), largeLength);
        dropDocument(c, small);
        dropDocument(c, large);
    }
}
