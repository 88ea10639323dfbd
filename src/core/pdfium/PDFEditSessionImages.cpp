// Moving, resizing, replacing and deleting pictures, and saving the session's document.

#include "core/pdfium/PDFEditSession.h"

#include "core/pdfium/ImageFit.h"
#include "core/pdfium/SavedNumbers.h"

#include <cstdlib>

namespace vmk::core {

MaybePDFiumError PDFEditSession::setImageFrame(const EditableImage& image, const QRectF& frame, int pageIndex)
{
    const auto loaded = page(pageIndex);
    if (!loaded)
        return loaded.error();
    const std::optional<ImageTransform> t = imagefit::frameTransform(image.bounds, frame);
    if (!t)
        return std::nullopt;
    m_api->FPDFPageObj_Transform(image.object, t->a, t->b, t->c, t->d, t->e, t->f);
    return finishEdit(pageIndex, loaded.value());
}

MaybePDFiumError PDFEditSession::replaceImage(const EditableImage& image, const QImage& picture, int pageIndex)
{
    const auto loaded = page(pageIndex);
    if (!loaded)
        return loaded.error();
    FPDF_PAGE pg = loaded.value();
    if (picture.isNull())
        return PDFiumError::saveFailed();
    // ARGB32 is blue, green, red, alpha in memory on this little-endian machine: PDFium's BGRA. PDFium keeps
    // the colour channels as the image and the alpha as its soft mask, so the colours must not be
    // premultiplied: premultiplied pixels would come out darker wherever the picture is translucent.
    QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    if (pixels.isNull() || pixels.bytesPerLine() != 4 * pixels.width())
        pixels = pixels.copy(); // a tightly packed copy
    if (pixels.isNull() || pixels.bytesPerLine() != 4 * pixels.width())
        return PDFiumError::saveFailed();
    FPDF_BITMAP bitmap = m_api->FPDFBitmap_CreateEx(pixels.width(), pixels.height(), kPDFiumBitmapBGRA,
                                                    pixels.bits(), int(pixels.bytesPerLine()));
    if (!bitmap)
        return PDFiumError::saveFailed();
    FPDF_PAGE pages[1] = {pg};
    if (!m_api->FPDFImageObj_SetBitmap(pages, 1, image.object, bitmap)) {
        m_api->FPDFBitmap_Destroy(bitmap);
        return PDFiumError::saveFailed();
    }
    const QRectF placed = imagefit::fitPicture(QSize(pixels.width(), pixels.height()), image.bounds);
    const FS_MATRIX m{float(placed.width()), 0, 0, float(placed.height()), float(placed.x()), float(placed.y())};
    m_api->FPDFPageObj_SetMatrix(image.object, &m);
    const MaybePDFiumError damaged = finishEdit(pageIndex, pg);
    m_api->FPDFBitmap_Destroy(bitmap);
    return damaged;
}

MaybePDFiumError PDFEditSession::deleteImage(const EditableImage& image, int pageIndex)
{
    const auto loaded = page(pageIndex);
    if (!loaded)
        return loaded.error();
    if (m_api->FPDFPage_RemoveObject(loaded.value(), image.object))
        m_api->FPDFPageObj_Destroy(image.object);
    return finishEdit(pageIndex, loaded.value());
}

PDFiumResult<QByteArray> PDFEditSession::save()
{
    if (m_spoiled)
        return PDFiumError::wouldDamage();
    // Pages changed since their last scan (and pages loaded but never scanned) get their content written.
    for (auto it = m_pages.constBegin(); it != m_pages.constEnd(); ++it)
        if (!m_models.contains(it.key()))
            m_api->FPDFPage_GenerateContent(it.value());
    unsigned char* buffer = nullptr;
    size_t length = 0;
    if (!pdfium_save_to_memory(m_api, m_document, &buffer, &length) || !buffer) {
        std::free(buffer);
        return PDFiumError::saveFailed();
    }
    QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(length));
    std::free(buffer);
    return withSubsetTagsRestored(withFileDigits(bytes, m_original.isEmpty() ? m_bytes : m_original), m_markedSubsets);
}

} // namespace vmk::core
