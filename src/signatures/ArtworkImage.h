#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <optional>

namespace vmk::signatures {

// The first page of signature artwork as a picture, and the page's size in points.
struct ArtworkImage {
    QImage image;
    QSizeF pointSize;
};

// Renders the first page of the PDF bytes at `scale` pixels per point on a transparent background.
// Nothing when the bytes are not a readable PDF with a page, or when the page cannot be drawn within a
// second and a half (artwork is a few strokes).
std::optional<ArtworkImage> renderArtworkImage(const QByteArray& pdfData, double scale = 2.0);

} // namespace vmk::signatures
