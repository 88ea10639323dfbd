#pragma once

#include "platform/pdf/engine/Fz.h"

#include <vector>

namespace vmk::pdf::detail {

// The engine draws a choice field from its raw value: a combo box whose options pair an export value
// with a label shows the export value ("c" where the user picked "Cherry"), and a list box shows its
// options without marking the chosen ones. Other readers show the label and mark the chosen rows, and
// so must we, or a filled form looks unfilled. Used around the engine's update of a page's widgets:
//
//     ChoiceLooks looks;
//     looks.prepare(c, widget);   // each widget about to be drawn
//     pdf_update_annot(...);
//     looks.finish(c);            // always, also when the update failed
//
// While the update runs a combo box's value is its label; finish() puts the export value back, leaves
// the field as clean as the update left it (so the engine does not draw it again from the export value),
// and lays a band behind each chosen row of the list boxes that were drawn.
class ChoiceLooks {
public:
    ChoiceLooks() = default;
    ChoiceLooks(const ChoiceLooks&) = delete;
    ChoiceLooks& operator=(const ChoiceLooks&) = delete;
    ~ChoiceLooks();

    // Call inside guarded(); throws MuPDF errors. Other widgets are ignored.
    void prepare(fz_context* c, pdf_annot* widget);
    // Never throws: a list whose band cannot be laid keeps the engine's drawing.
    void finish(fz_context* c);

private:
    struct Shown {
        pdf_obj* holder = nullptr; // the dictionary holding /V: the widget or one of its parents
        pdf_obj* value = nullptr;  // the export value, put back by finish()
        pdf_obj* widget = nullptr;
    };
    std::vector<Shown> shown_;
    std::vector<pdf_annot*> lists_;
};

} // namespace vmk::pdf::detail
