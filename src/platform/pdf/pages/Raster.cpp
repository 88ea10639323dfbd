#include "platform/pdf/pages/Raster.h"

#include <algorithm>
#include <atomic>

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

// BGRA bytes with opaque alpha are exactly QImage::Format_RGB32 on little-endian machines.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "pixel layout assumes a little-endian machine");

namespace {

using FillImage = void (*)(fz_context*, fz_device*, fz_image*, fz_matrix, float, fz_color_params);
using FillImageMask = void (*)(fz_context*, fz_device*, fz_image*, fz_matrix, fz_colorspace*, const float*, float,
                               fz_color_params);
using ClipImageMask = void (*)(fz_context*, fz_device*, fz_image*, fz_matrix, fz_rect);

// The draw device's own handlers, the same for every draw device.
std::atomic<FillImage> g_fillImage{nullptr};
std::atomic<FillImageMask> g_fillImageMask{nullptr};
std::atomic<ClipImageMask> g_clipImageMask{nullptr};

// The bytes of samples decoding the image makes: one per component and pixel as declared, its soft mask
// included. An image already decoded (made from pixels) costs nothing more.
std::size_t decodedBytes(fz_context* c, fz_image* image, int depth = 0)
{
    if (!image || depth > 1)
        return 0;
    std::size_t bytes = 0;
    if (fz_compressed_image_buffer(c, image))
        bytes = std::size_t(std::max(image->w, 0)) * std::size_t(std::max(image->h, 0)) *
                std::max<std::size_t>(1, image->n);
    return bytes + decodedBytes(c, image->mask, depth + 1);
}

void fillImage(fz_context* c, fz_device* device, fz_image* image, fz_matrix ctm, float alpha, fz_color_params params)
{
    if (fitsAllocationBudget(decodedBytes(c, image)))
        g_fillImage.load()(c, device, image, ctm, alpha, params);
}

void fillImageMask(fz_context* c, fz_device* device, fz_image* image, fz_matrix ctm, fz_colorspace* space,
                   const float* color, float alpha, fz_color_params params)
{
    if (fitsAllocationBudget(decodedBytes(c, image)))
        g_fillImageMask.load()(c, device, image, ctm, space, color, alpha, params);
}

void clipImageMask(fz_context* c, fz_device* device, fz_image* image, fz_matrix ctm, fz_rect scissor)
{
    // Refused, the clip is never pushed; the drawing is aborted anyway, so its end is never drawn.
    if (fitsAllocationBudget(decodedBytes(c, image)))
        g_clipImageMask.load()(c, device, image, ctm, scissor);
}

} // namespace

fz_device* newDrawDevice(fz_context* c, fz_pixmap* pixmap)
{
    fz_device* device = fz_new_draw_device(c, fz_identity, pixmap);
    g_fillImage.store(device->fill_image);
    g_fillImageMask.store(device->fill_image_mask);
    g_clipImageMask.store(device->clip_image_mask);
    device->fill_image = fillImage;
    device->fill_image_mask = fillImageMask;
    device->clip_image_mask = clipImageMask;
    return device;
}

} // namespace vmk::pdf::detail
