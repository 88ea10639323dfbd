#include "chrome/GaussianBlur.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vmk::chrome {

namespace {

// Weights in 16.16 fixed point that sum to exactly 1.
QList<int> kernelFor(double sigma)
{
    const int reach = std::max(1, int(std::ceil(3.0 * sigma)));
    QList<double> raw(2 * reach + 1);
    double sum = 0.0;
    for (int i = -reach; i <= reach; ++i)
        sum += raw[i + reach] = std::exp(-(i * i) / (2.0 * sigma * sigma));
    QList<int> weights(raw.size());
    int total = 0;
    for (int i = 0; i < raw.size(); ++i)
        total += weights[i] = int(std::lround(raw[i] / sum * 65536.0));
    weights[reach] += 65536 - total; // rounding left over goes to the centre
    return weights;
}

// One pass along rows (step 1) or columns (step = pixels per line) of `count` lines of `length` pixels;
// pixels beyond the edges are transparent.
void blurPass(const QRgb* in, QRgb* out, int length, int count, int along, int across, const QList<int>& weights)
{
    const int reach = int(weights.size() / 2);
    for (int line = 0; line < count; ++line) {
        const QRgb* src = in + line * across;
        QRgb* dst = out + line * across;
        for (int i = 0; i < length; ++i) {
            std::int64_t a = 0, r = 0, g = 0, b = 0;
            const int lo = std::max(0, i - reach), hi = std::min(length - 1, i + reach);
            for (int j = lo; j <= hi; ++j) {
                const QRgb p = src[j * along];
                const int w = weights[j - i + reach];
                a += std::int64_t(qAlpha(p)) * w;
                r += std::int64_t(qRed(p)) * w;
                g += std::int64_t(qGreen(p)) * w;
                b += std::int64_t(qBlue(p)) * w;
            }
            const auto channel = [](std::int64_t v) { return int(std::min<std::int64_t>(255, (v + 32768) >> 16)); };
            const int alpha = channel(a);
            // Premultiplied colour never exceeds its alpha, whatever the rounding did.
            dst[i * along] = qRgba(std::min(alpha, channel(r)), std::min(alpha, channel(g)), std::min(alpha, channel(b)), alpha);
        }
    }
}

// Past this deviation (in pixels) the picture is blurred at a smaller scale and brought back up: what a
// wide blur leaves has no detail that the smaller scale loses, and the work stops growing with the radius.
constexpr double kWidestExactSigma = 4.0;

QImage exactlyBlurred(const QImage& image, double sigma)
{
    QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = source.width(), h = source.height();
    QImage across(w, h, QImage::Format_ARGB32_Premultiplied);
    QImage result(w, h, QImage::Format_ARGB32_Premultiplied);
    const QList<int> weights = kernelFor(sigma);
    const int line = int(source.bytesPerLine() / 4);
    // Both passes share one stride: every image here has the same format and width.
    blurPass(reinterpret_cast<const QRgb*>(source.constBits()), reinterpret_cast<QRgb*>(across.bits()), w, h, 1, line, weights);
    blurPass(reinterpret_cast<const QRgb*>(across.constBits()), reinterpret_cast<QRgb*>(result.bits()), h, w, line, 1, weights);
    return result;
}

} // namespace

QImage gaussianBlurred(const QImage& image, double radius)
{
    if (image.isNull() || !(radius >= 0.25))
        return image;
    const double sigma = radius / 2.0;
    QImage result;
    if (sigma <= kWidestExactSigma) {
        result = exactlyBlurred(image, sigma);
    } else {
        const double scale = kWidestExactSigma / sigma;
        const QSize small = (QSizeF(image.size()) * scale).toSize().expandedTo(QSize(1, 1));
        const QImage reduced = image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                   .scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        result = exactlyBlurred(reduced, kWidestExactSigma)
                     .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    result.setDevicePixelRatio(image.devicePixelRatio());
    return result;
}

} // namespace vmk::chrome
