#pragma once

#include "platform/pdf/pages/PageRebuild.h"
#include "platform/pdf/engine/Fz.h"

#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace vmk::pdf::detail {

// How the page being rebuilt is framed, as the page layer reads it (a missing or unusable box already
// replaced).
struct RebuildFrame {
    QRectF media;
    QRectF crop;
    int rotation = 0;
    QSizeF display;
    QTransform displayTransform;
};

// makeRebuiltPage() from a page dictionary of `doc` (held by the caller, used by no other thread meanwhile)
// framed as given. Runs on any thread.
Result<PagePtr> rebuildFrom(pdf_document* doc, pdf_obj* page, const RebuildFrame& frame, const RebuildBase& base,
                            const QList<InvisibleTextRun>& runs);

} // namespace vmk::pdf::detail
