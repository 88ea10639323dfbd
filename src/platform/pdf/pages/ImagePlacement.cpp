// Where images are drawn: the drawing device records the size of every image it is asked to paint. The
// interpreter loads an image through the engine's store, so while we hold the image objects loaded here
// the pointers it paints are the same ones.

#include "platform/pdf/pages/ImagePlacement.h"

#include "platform/pdf/engine/Watchdog.h"

#include <algorithm>
#include <cmath>

namespace vmk::pdf::detail {

namespace {

// What interpreting one page may spend here. A page over it leaves its images' places unknown.
constexpr int kPageMs = 10000;
constexpr std::size_t kPageBytes = std::size_t(512) << 20;

struct PlacementDevice {
    fz_device super;
    std::map<fz_image*, double>* sizes;
};

double longerSide(fz_matrix m)
{
    return std::max(std::hypot(double(m.a), double(m.b)), std::hypot(double(m.c), double(m.d)));
}

void record(fz_device* device, fz_image* image, fz_matrix ctm)
{
    auto* self = reinterpret_cast<PlacementDevice*>(device);
    auto found = self->sizes->find(image);
    if (found != self->sizes->end())
        found->second = std::max(found->second, longerSide(ctm));
}

void fillImage(fz_context*, fz_device* device, fz_image* image, fz_matrix ctm, float, fz_color_params)
{
    record(device, image, ctm);
}

void fillImageMask(fz_context*, fz_device* device, fz_image* image, fz_matrix ctm, fz_colorspace*, const float*,
                   float, fz_color_params)
{
    record(device, image, ctm);
}

void clipImageMask(fz_context*, fz_device* device, fz_image* image, fz_matrix ctm, fz_rect)
{
    record(device, image, ctm);
}

} // namespace

std::map<int, double> largestPlacements(fz_context* c, pdf_document* doc, const std::vector<int>& images)
{
    std::map<fz_image*, double> sizes;
    std::map<fz_image*, int> numbers;
    for (int num : images) {
        fz_image* image = nullptr;
        pdf_obj* ref = nullptr;
        guarded(c, [&] {
            ref = pdf_new_indirect(c, doc, num, 0);
            image = pdf_load_image(c, doc, ref);
        });
        pdf_drop_obj(c, ref);
        if (image && numbers.emplace(image, num).second)
            sizes.emplace(image, 0.0);
        else
            fz_drop_image(c, image);
    }
    int pages = 0;
    guarded(c, [&] { pages = pdf_count_pages(c, doc); });
    bool complete = true;
    for (int i = 0; i < pages && complete; ++i) {
        pdf_page* page = nullptr;
        fz_device* device = nullptr;
        WatchedCookie watched(kPageMs, nullptr);
        fz_cookie* cookie = watched.cookie();
        ScopedAllocationBudget memory(kPageBytes, &cookie->abort);
        guarded(c, [&] {
            page = pdf_load_page(c, doc, i);
            auto* placement = reinterpret_cast<PlacementDevice*>(fz_new_device_of_size(c, sizeof(PlacementDevice)));
            placement->sizes = &sizes;
            placement->super.fill_image = fillImage;
            placement->super.fill_image_mask = fillImageMask;
            placement->super.clip_image_mask = clipImageMask;
            device = &placement->super;
            pdf_run_page(c, page, device, fz_identity, cookie);
            fz_close_device(c, device);
        });
        fz_drop_device(c, device);
        fz_drop_page(c, reinterpret_cast<fz_page*>(page));
        // An image that page draws large may be recorded small elsewhere: no answer beats a wrong one.
        complete = !abortRaised(&cookie->abort) && !memory.exceeded();
    }
    std::map<int, double> result;
    for (const auto& [image, num] : numbers) {
        if (complete && sizes[image] > 0)
            result.emplace(num, sizes[image]);
        fz_drop_image(c, image);
    }
    return result;
}

} // namespace vmk::pdf::detail
