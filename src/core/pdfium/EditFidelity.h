#pragma once

// The guard every in-place edit passes before it reaches the document: the page is drawn before and after
// by our own renderer, and nothing outside the regions the edit meant to change may look different. The
// engine that rewrites the page may lose what its object model cannot carry (shadings, patterns, inline
// images, unusual colour spaces); this check does not trust it.

#include "platform/pdf/document/PdfTypes.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>

namespace vmk::core::fidelity {

struct Verdict {
    bool intact = true;
    int changedPixels = 0; // outside the regions, beyond antialiasing
    QRect firstChange;      // in pixels of the comparison renders; empty when intact
    bool drawn = true;      // false: a page could not be drawn within its budget, so nothing was compared
};

// Pixels of two renders of the same page that differ outside the excluded pixel rectangles. A pixel counts
// only when its colour leaves the range of colours within one pixel of it in the other image (per channel,
// widened by the tolerance), either way round, so that edges moved by antialiasing or sub-pixel rounding do
// not count. Images of different sizes differ.
Verdict compareImages(const QImage& before, const QImage& after, const QList<QRect>& excluded, int tolerance = 24,
                      int allowedPixels = 4);

// The page-space rectangles as pixel rectangles of a render of the page at the scale (rotation and crop
// applied as the renderer applies them), each grown by one pixel.
QList<QRect> pixelRegions(const pdf::PagePtr& page, const QList<QRectF>& regions, double scale);

// Renders both pages without annotations and compares them outside the regions (page space of `before`).
// Each drawing has the time the viewer gives a page: a page slower than that is not intact (drawn false).
Verdict comparePages(const pdf::PagePtr& before, const pdf::PagePtr& after, const QList<QRectF>& regions);

} // namespace vmk::core::fidelity
