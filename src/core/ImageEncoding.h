#pragma once

#include "platform/pdf/document/Page.h"

#include <QByteArray>
#include <QImage>

#include <optional>

// Encoding rendered page images, and drawing a page's annotations over such an image. Safe on any thread
// except drawAnnotations(), which reads the page.
namespace vmk::core::PDFOps {

// JPEG with a lossy quality of 0...1; nothing (never empty data) when the image cannot be encoded.
std::optional<QByteArray> jpegData(const QImage& image, double quality);
// PNG; nothing when the image cannot be encoded.
std::optional<QByteArray> pngData(const QImage& image);

// An image of the same pixel size with the page's displayed annotations drawn over the image of the
// displayed page. The given image itself when nothing is displayed or drawing fails.
QImage drawAnnotations(const pdf::Page& page, const QImage& image);

} // namespace vmk::core::PDFOps
