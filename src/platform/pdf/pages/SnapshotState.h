#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <memory>

namespace vmk::pdf::detail {

struct SnapshotState {
    fz_display_list* list = nullptr;
    fz_rect deviceBounds = fz_empty_rect;
    QRectF cropBox;
    int rotation = 0;
    QSizeF displaySize;
    QTransform displayTransform;
    std::shared_ptr<const void> source; // whatever the list's resources came from, kept while it lives
    // The engine family the list was recorded in (see EngineFamily); null for ctx()'s.
    std::shared_ptr<EngineFamily> family;
    ~SnapshotState();
};

} // namespace vmk::pdf::detail
