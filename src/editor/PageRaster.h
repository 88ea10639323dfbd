#pragma once

#include "core/PageRebuild.h"

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QTransform>

// Rasters of displayed pages for the long tasks: the resolution each task asks for, capped so that no page
// ever needs an unbounded bitmap. Safe on any thread.
namespace vmk {

// Pixels per point: `preferred`, or less when the longer displayed side would exceed maxSide pixels.
double rasterScale(const QSizeF& displaySize, double maxSide, double preferred);
// Each side in points times the scale, rounded half away from zero, at least 1 pixel.
QSize rasterSize(const QSizeF& displaySize, double scale);
// Maps page space onto an image of the displayed page of `pixels` size (rotation applied, y down).
QTransform pageToPixels(const core::PDFOps::PageSnapshot& snapshot, const QSize& pixels);
// The displayed page, without annotations, on opaque white, exactly `pixels` in size, as RGB32, within the
// default drawing budget; or why there is none.
pdf::DrawResult drawDisplayedPage(const core::PDFOps::PageSnapshot& snapshot, const QSize& pixels);
// The same image, null when the page cannot be rendered.
QImage renderDisplayedPage(const core::PDFOps::PageSnapshot& snapshot, const QSize& pixels);

} // namespace vmk
