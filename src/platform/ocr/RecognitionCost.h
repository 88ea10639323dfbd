#pragma once

#include <QImage>

namespace vmk::platform {

// How long reading a page image will take, relative to other pages read at the same resolution: the
// recogniser's time goes into text lines, nearly in proportion to their strokes, while pictures and empty
// paper cost little. Counts where sampled rows enter ink (darker than a threshold chosen for the image),
// so it takes about a millisecond for a 300 dpi page. 0 for an empty or inkless image. Any thread.
double expectedRecognitionCost(const QImage& grey);

} // namespace vmk::platform
