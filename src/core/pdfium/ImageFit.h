#pragma once

// The geometry of picture edits, in page space (points, y up).

#include <QRectF>
#include <QSize>

#include <optional>

namespace vmk::core {

// The affine transform (a, b, c, d, e, f) applied to a page object.
struct ImageTransform {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    friend bool operator==(const ImageTransform&, const ImageTransform&) = default;
};

namespace imagefit {

// The transform that maps the current bounds onto the frame; none when the bounds have no positive size.
std::optional<ImageTransform> frameTransform(const QRectF& bounds, const QRectF& frame);

// Where a picture of pixelSize goes inside the box: as large as fits, aspect kept, centred on the axis
// with room to spare.
QRectF fitPicture(const QSize& pixelSize, const QRectF& box);

} // namespace imagefit

} // namespace vmk::core
