#include "signatures/ArtworkImage.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"

#include <QColor>

namespace vmk::signatures {

namespace {

constexpr pdf::RecordBudget kArtworkBudget{1500, std::size_t(128) << 20};

// Turns a rendering on white into ink on transparency: each pixel's coverage is how far its darkest
// channel is from white, and its colour is what, laid over white at that coverage, gives the pixel back.
// Signature lists and the write-on effect then sit on any background.
QImage whiteToAlpha(const QImage& rendered)
{
    QImage image = rendered.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int r = qRed(pixel);
            const int g = qGreen(pixel);
            const int b = qBlue(pixel);
            const int alpha = 255 - qMin(r, qMin(g, b));
            if (alpha == 0) {
                line[x] = qRgba(0, 0, 0, 0);
                continue;
            }
            const auto unblend = [alpha](int c) { return qBound(0, 255 - (255 - c) * 255 / alpha, 255); };
            line[x] = qRgba(unblend(r), unblend(g), unblend(b), alpha);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

std::optional<ArtworkImage> renderArtworkImage(const QByteArray& pdfData, double scale)
{
    if (pdfData.isEmpty())
        return std::nullopt;
    const pdf::Result<pdf::DocumentPtr> document = pdf::Document::fromData(pdfData);
    if (!document || !*document || (*document)->isLocked() || (*document)->pageCount() < 1)
        return std::nullopt;
    const pdf::PagePtr page = (*document)->page(0);
    if (!page)
        return std::nullopt;
    const QSizeF size = page->displaySize();
    if (!(size.width() > 0) || !(size.height() > 0))
        return std::nullopt;
    // Drawn where the signature list is built, often the main thread: artwork is a few strokes, and a
    // file that takes longer than this is not one this application wrote. It is skipped as unreadable.
    const pdf::DrawResult drawn = page->render(scale, {}, kArtworkBudget);
    if (drawn.image.isNull())
        return std::nullopt;
    return ArtworkImage{whiteToAlpha(drawn.image), size};
}

} // namespace vmk::signatures
