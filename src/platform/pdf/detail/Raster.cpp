#include "platform/pdf/detail/Raster.h"


namespace vmk::pdf::detail {

fz_irect renderArea(fz_rect bounds, double scale, const QRect& tile)
{
    const fz_matrix ctm = fz_scale(float(scale), float(scale));
    fz_irect area = fz_round_rect(fz_transform_rect(bounds, ctm));
    if (!tile.isNull()) {
        const fz_irect wanted = {area.x0 + tile.left(), area.y0 + tile.top(), area.x0 + tile.left() + tile.width(),
                                 area.y0 + tile.top() + tile.height()};
        area = fz_intersect_irect(area, wanted);
    }
    return area;
}

fz_pixmap* newWhitePixmap(fz_context* c, fz_irect area)
{
    // BGRA bytes with opaque alpha are exactly QImage::Format_RGB32 on little-endian machines.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "pixel layout assumes a little-endian machine");
    fz_pixmap* pixmap = fz_new_pixmap_with_bbox(c, fz_device_bgr(c), area, nullptr, 1);
    fz_clear_pixmap_with_value(c, pixmap, 255);
    return pixmap;
}

namespace {

void dropPixmap(void* pixmap)
{
    // Whichever thread lets go of the image drops the pixmap with its own context.
    fz_drop_pixmap(ctx(), static_cast<fz_pixmap*>(pixmap));
}

} // namespace

QImage toImage(fz_context* c, fz_pixmap* pixmap)
{
    const int w = fz_pixmap_width(c, pixmap), h = fz_pixmap_height(c, pixmap);
    const qsizetype stride = qsizetype(fz_pixmap_stride(c, pixmap));
    unsigned char* samples = fz_pixmap_samples(c, pixmap);
    if (w <= 0 || h <= 0 || !samples)
        return QImage();
    // The image shares the pixmap's memory (a page at 150 dpi is megabytes; copying it costs as much as
    // a good part of the drawing) and keeps the pixmap alive until the image and its copies are gone.
    fz_keep_pixmap(c, pixmap);
    return QImage(samples, w, h, stride, QImage::Format_RGB32, dropPixmap, pixmap);
}

} // namespace vmk::pdf::detail
