#pragma once

#include <QImage>

namespace vmk::chrome {

// The image blurred with a Gaussian of standard deviation radius / 2 (so it spreads about 1.5 × radius
// each way), in premultiplied ARGB and at the same size: callers leave room for what spreads. A radius
// below a quarter pixel gives the image back unchanged. Wide blurs are worked at a smaller scale, so the
// cost stays that of a blur of a few pixels whatever the radius (a frame of an entrance must stay quick).
QImage gaussianBlurred(const QImage& image, double radius);

} // namespace vmk::chrome
