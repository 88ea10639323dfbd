#pragma once

#include "platform/pdf/document/PdfTypes.h"

namespace vmk::pdf {

struct ImageRecompressionOptions {
    double jpegQuality = 0.75; // 0...1
    // When above 0, images whose longer side exceeds it are scaled down to it first.
    int maxPixelSide = 0;
    // When above 0, images are also scaled down to what the largest area they are drawn on can show at
    // this resolution (dots per inch), as a screen shows them.
    double screenDpi = 0;
};

// Re-encodes the image XObjects of the document as JPEG where that makes their stream smaller. Images that
// a lossy encoding would harm are left alone: soft masks and stencil masks (and images that serve as
// another's mask), colour-key masked images and one-bit images. Images of an encoding (with or without
// scaling down) whose first few saved almost nothing are not tried further. Returns how many images were
// replaced.
// Meant for a working copy: the change is made in place.
int recompressImages(Document& document, const ImageRecompressionOptions& options);

// What the images a page draws weigh in the file as stored: those of its own resources and of the forms
// it uses, two levels down (an image used twice counts twice). On the document's thread.
qint64 pageImageBytes(const Page& page);

} // namespace vmk::pdf
