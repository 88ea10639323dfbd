// A page recording that leaves chosen annotations out, for views that show something else in their place
// for a while (an animation, an inline editor) without touching what the file says about them.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/pages/SnapshotRecording.h"

#include <algorithm>

namespace vmk::pdf {

using namespace detail;

std::shared_ptr<PageSnapshot> Page::snapshotExcluding(const std::vector<const Annotation*>& excluded) const
{
    if (excluded.empty())
        return snapshot(true);
    std::vector<int> skipped;
    for (const Annotation* a : excluded) {
        if (a && a->page().get() == this)
            skipped.push_back(a->state().ref.num());
    }
    ensureAppearances(*this);
    return recordSnapshot(*this, [&](fz_context* c, pdf_page* page, fz_device* device) {
        pdf_run_page_contents(c, page, device, fz_identity, nullptr);
        for (pdf_annot* annot = pdf_first_annot(c, page); annot; annot = pdf_next_annot(c, annot)) {
            const int num = pdf_to_num(c, pdf_annot_obj(c, annot));
            if (std::find(skipped.begin(), skipped.end(), num) == skipped.end())
                pdf_run_annot(c, annot, device, fz_identity, nullptr);
        }
        pdf_run_page_widgets(c, page, device, fz_identity, nullptr);
    });
}

} // namespace vmk::pdf
