#pragma once

#include "platform/pdf/PdfTypes.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>

namespace vmk::views {

// The colour a page shows around a page-space rectangle, for laying an editor over the page's own text:
// the page is rendered (at most 6000 pixels on its longer side) and sampled just outside the rectangle's
// four corners (3 points out); the result is the per-channel median. Never fails: anything missing gives
// white.
QColor sampleBackgroundColor(const pdf::PagePtr& page, const QRectF& pageRect);

// The per-channel median (the upper middle value for an even count) of the image's pixels at points given
// in y-up pixel space (row 0 at the bottom). A point falls in the pixel whose lower-left corner is the
// point rounded down; points outside the image are skipped; no sample gives white.
QColor medianOfSamples(const QImage& image, const QList<QPointF>& points);

} // namespace vmk::views
