#pragma once

#include "platform/pdf/document/Page.h"

#include <QRectF>
#include <QSizeF>

namespace vmk {

// What a page looked like when it was copied for work on a worker: its drawing and its boxes. A page
// that no longer looks so when the work comes back was worked on as it no longer is.
struct PageLook {
    quint64 content = 0;
    QRectF media;
    QRectF crop;
    int rotation = 0;
    QSizeF display;

    static PageLook of(const pdf::Page& page)
    {
        return {page.contentVersion(), page.mediaBox(), page.cropBox(), page.rotation(), page.displaySize()};
    }
    friend bool operator==(const PageLook&, const PageLook&) = default;
};

} // namespace vmk
