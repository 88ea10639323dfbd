#include "core/ImageEncoding.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

#include <cmath>

namespace vmk::core::PDFOps {

namespace {

std::optional<QByteArray> encode(const QImage& image, const char* format, int quality)
{
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image) || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<QByteArray> jpegData(const QImage& image, double quality)
{
    if (image.isNull() || !std::isfinite(quality))
        return std::nullopt;
    // JPEG has no alpha: composite translucent pixels onto white instead of letting them turn black.
    QImage opaque = image;
    if (image.hasAlphaChannel()) {
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.setDevicePixelRatio(image.devicePixelRatio());
        opaque.fill(Qt::white);
        QPainter(&opaque).drawImage(0, 0, image);
    }
    return encode(opaque, "jpeg", std::clamp(int(std::lround(quality * 100)), 0, 100));
}

std::optional<QByteArray> pngData(const QImage& image)
{
    return encode(image, "png", -1);
}

QImage drawAnnotations(const pdf::Page& page, const QImage& image)
{
    return page.drawAnnotationsOver(image);
}

} // namespace vmk::core::PDFOps
