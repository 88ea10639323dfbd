#include "core/pdfium/EditFidelity.h"

#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vmk::core::fidelity {

namespace {

// About four million pixels at most: two renders stay quick on large pages.
constexpr double kMaxPixels = 4.0e6;
constexpr double kPreferredScale = 2.0;
// Each page is drawn while the user waits for the edit. The time allowed is the viewer's own for drawing a
// page at all, not a tight one: a clock budget depends on how busy the computer is, and a short one refused
// on a loaded machine edits an idle one accepted. Only a page the viewer could not show either is refused,
// and the memory budget (which does not depend on load) stays tight.
constexpr pdf::RecordBudget kDrawBudget{pdf::RecordBudget{}.milliseconds, std::size_t(256) << 20};

int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Whether the colour lies, channel by channel, within the range the pixels of `other` within one pixel of
// (x, y) span, widened by the tolerance: an edge moved by a fraction of a pixel gives in-between tones.
bool withinNeighbourhood(const QImage& other, int x, int y, QRgb colour, int tolerance)
{
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (int dy = -1; dy <= 1; ++dy) {
        const int yy = y + dy;
        if (yy < 0 || yy >= other.height())
            continue;
        const auto* line = reinterpret_cast<const QRgb*>(other.constScanLine(yy));
        for (int dx = -1; dx <= 1; ++dx) {
            const int xx = x + dx;
            if (xx < 0 || xx >= other.width())
                continue;
            const int v[3] = {qRed(line[xx]), qGreen(line[xx]), qBlue(line[xx])};
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], v[k]);
                hi[k] = std::max(hi[k], v[k]);
            }
        }
    }
    const int c[3] = {qRed(colour), qGreen(colour), qBlue(colour)};
    for (int k = 0; k < 3; ++k)
        if (c[k] < lo[k] - tolerance || c[k] > hi[k] + tolerance)
            return false;
    return true;
}

} // namespace

Verdict compareImages(const QImage& beforeImage, const QImage& afterImage, const QList<QRect>& excluded, int tolerance,
                      int allowedPixels)
{
    Verdict verdict;
    if (beforeImage.size() != afterImage.size() || beforeImage.isNull()) {
        verdict.intact = false;
        verdict.changedPixels = std::max(beforeImage.width() * beforeImage.height(), 1);
        verdict.firstChange = QRect(QPoint(0, 0), beforeImage.size());
        return verdict;
    }
    const QImage before = beforeImage.convertToFormat(QImage::Format_RGB32);
    const QImage after = afterImage.convertToFormat(QImage::Format_RGB32);
    const int w = before.width(), h = before.height();
    std::vector<uchar> skip(size_t(w) * size_t(h), 0);
    for (const QRect& r : excluded) {
        const QRect clipped = r.intersected(QRect(0, 0, w, h));
        for (int y = clipped.top(); y <= clipped.bottom(); ++y)
            std::fill_n(skip.begin() + qsizetype(y) * w + clipped.left(), clipped.width(), uchar(1));
    }
    for (int y = 0; y < h; ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(after.constScanLine(y));
        const uchar* s = skip.data() + qsizetype(y) * w;
        for (int x = 0; x < w; ++x) {
            if (s[x] || a[x] == b[x] || channelDistance(a[x], b[x]) <= tolerance)
                continue;
            if (withinNeighbourhood(after, x, y, a[x], tolerance) && withinNeighbourhood(before, x, y, b[x], tolerance))
                continue;
            if (verdict.changedPixels == 0)
                verdict.firstChange = QRect(x, y, 1, 1);
            else
                verdict.firstChange |= QRect(x, y, 1, 1);
            ++verdict.changedPixels;
        }
    }
    verdict.intact = verdict.changedPixels <= allowedPixels;
    if (verdict.intact)
        verdict.firstChange = QRect();
    return verdict;
}

QList<QRect> pixelRegions(const pdf::PagePtr& page, const QList<QRectF>& regions, double scale)
{
    QList<QRect> out;
    if (!page)
        return out;
    const QSizeF shown = page->displaySize();
    // Page space -> displayed page (y up) -> pixels (y down).
    const QTransform toPixels =
        page->displayTransform() * QTransform(1, 0, 0, -1, 0, shown.height()) * QTransform::fromScale(scale, scale);
    for (const QRectF& r : regions) {
        if (r.isNull())
            continue;
        const QRectF mapped = toPixels.mapRect(r.normalized());
        out.append(mapped.toAlignedRect().adjusted(-1, -1, 1, 1));
    }
    return out;
}

Verdict comparePages(const pdf::PagePtr& before, const pdf::PagePtr& after, const QList<QRectF>& regions)
{
    if (!before || !after)
        return Verdict{false, 1, QRect()};
    const QSizeF shown = before->displaySize();
    const double area = std::max(shown.width() * shown.height(), 1.0);
    const double scale = std::min(kPreferredScale, std::sqrt(kMaxPixels / area));
    pdf::RenderOptions options;
    options.withAnnotations = false;
    const QImage a = before->render(scale, options, kDrawBudget).image;
    const QImage b = a.isNull() ? QImage() : after->render(scale, options, kDrawBudget).image;
    if (a.isNull() || b.isNull())
        return Verdict{false, 0, QRect(), false};
    return compareImages(a, b, pixelRegions(before, regions, scale));
}

} // namespace vmk::core::fidelity
