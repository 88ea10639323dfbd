#pragma once

#include "platform/pdf/engine/Fz.h"

#include <QImage>
#include <QRect>

namespace vmk::pdf::detail {

// The pixel rectangle to render for a page whose device bounds are `bounds`, at `scale`, restricted to
// `tile` (pixels of the full image) when it is not null. Empty when nothing is left.
fz_irect renderArea(fz_rect bounds, double scale, const QRect& tile);

// A draw device over `pixmap` that refuses, before decoding it, an image whose samples in full are beyond
// the memory budget of the thread drawing (see fitsAllocationBudget): a decoder passes through every pixel
// an image declares even to draw it small, and no deadline reaches it half-way, so a 40,000-pixel-square
// image would otherwise hold its drawing for most of a minute.
fz_device* newDrawDevice(fz_context* c, fz_pixmap* pixmap);

} // namespace vmk::pdf::detail
