#pragma once

#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/pages/SnapshotState.h"
#include "platform/pdf/document/State.h"

#include <memory>

namespace vmk::pdf::detail {

// Records a page into a display list on the owning thread, so that workers can render it later. `run`
// decides what goes onto the list: run(context, page, device) inside the engine's error guard.
template <typename Run>
std::shared_ptr<PageSnapshot> recordSnapshot(const Page& source, Run&& run)
{
    auto state = std::make_unique<SnapshotState>();
    state->cropBox = source.cropBox();
    state->rotation = source.rotation();
    state->displaySize = source.displaySize();
    state->displayTransform = source.displayTransform();
    SnapshotState* s = state.get();
    bool ok = false;
    withLoadedPage(source, [&](fz_context* c, pdf_page* page) {
        fz_display_list* list = nullptr;
        fz_device* device = nullptr;
        ok = guarded(c, [&] {
            s->deviceBounds = pdf_bound_page(c, page);
            list = fz_new_display_list(c, s->deviceBounds);
            device = fz_new_list_device(c, list);
            run(c, page, device);
            fz_close_device(c, device);
        });
        fz_drop_device(c, device);
        if (ok)
            s->list = list;
        else
            fz_drop_display_list(c, list);
    });
    if (!ok)
        return nullptr;
    return std::make_shared<PageSnapshot>(std::move(state));
}

} // namespace vmk::pdf::detail
