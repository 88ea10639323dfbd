#include "platform/ocr/RecognitionCost.h"

#include <array>

namespace vmk::platform {

namespace {

// Every fourth row: a line of text at 300 dpi is still crossed half a dozen times.
constexpr int kRowStep = 4;

// The threshold between paper and ink that separates the sampled pixels' histogram best (Otsu's).
int inkThreshold(const std::array<double, 256>& histogram)
{
    double total = 0, sum = 0;
    for (int v = 0; v < 256; ++v) {
        total += histogram[size_t(v)];
        sum += v * histogram[size_t(v)];
    }
    double below = 0, belowSum = 0, best = -1;
    int threshold = 128;
    for (int v = 0; v < 255; ++v) {
        below += histogram[size_t(v)];
        belowSum += v * histogram[size_t(v)];
        const double above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double meanBelow = belowSum / below, meanAbove = (sum - belowSum) / above;
        const double between = below * above * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (between > best) {
            best = between;
            threshold = v + 1;
        }
    }
    return threshold;
}

} // namespace

double expectedRecognitionCost(const QImage& image)
{
    if (image.isNull())
        return 0;
    const QImage grey = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
    const int w = grey.width(), h = grey.height();
    std::array<double, 256> histogram{};
    for (int y = 0; y < h; y += kRowStep) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ++histogram[row[x]];
    }
    const int threshold = inkThreshold(histogram);
    // An image of one shade has no ink; nor has one whose "ink" is barely darker than its paper.
    int darkest = 0, lightest = 255;
    while (darkest < 255 && histogram[size_t(darkest)] == 0)
        ++darkest;
    while (lightest > 0 && histogram[size_t(lightest)] == 0)
        --lightest;
    if (lightest - darkest < 64)
        return 0;
    double entries = 0;
    for (int y = 0; y < h; y += kRowStep) {
        const uchar* row = grey.constScanLine(y);
        bool inInk = false;
        for (int x = 0; x < w; ++x) {
            const bool ink = row[x] < threshold;
            entries += ink && !inInk;
            inInk = ink;
        }
    }
    return entries;
}

} // namespace vmk::platform
