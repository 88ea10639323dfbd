// Drawing a page: rendering to images, thread-safe snapshots, annotations over an image, and the walk
// of the page's XObject resources.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/pages/Raster.h"
#include "platform/pdf/pages/SnapshotRecording.h"
#include "platform/pdf/pages/SnapshotState.h"
#include "platform/pdf/document/State.h"

namespace vmk::pdf {

using namespace detail;

QImage Page::render(double scale, const RenderOptions& options) const
{
    return render(scale, options, RecordBudget{}).image;
}

DrawResult Page::render(double scale, const RenderOptions& options, const RecordBudget& budget,
                        const RecordCancel* cancel) const
{
    if (!(scale > 0))
        return {};
    // Interpreted and drawn from a copy on a thread of its own, never here: a hostile page may keep the
    // engine busy for minutes in a decoder that no deadline reaches, and this document stays untouched
    // by what the drawing loads and fails to load.
    const std::shared_ptr<PageCapture> capture = PageCapture::takeToDraw(*this, options.withAnnotations);
    if (!capture)
        return {};
    return capture->draw(scale, options.tile, budget, cancel);
}

std::shared_ptr<PageSnapshot> Page::snapshot(bool withAnnotations) const
{
    if (withAnnotations)
        ensureAppearances(*this);
    return recordSnapshot(*this, [&](fz_context* c, pdf_page* page, fz_device* device) {
        if (withAnnotations)
            pdf_run_page(c, page, device, fz_identity, nullptr);
        else
            pdf_run_page_contents(c, page, device, fz_identity, nullptr);
    });
}

QImage Page::drawAnnotationsOver(const QImage& image) const
{
    bool anyShown = false;
    for (const AnnotationPtr& a : annotations())
        anyShown = anyShown || a->shouldDisplay();
    const QSizeF display = displaySize();
    if (!anyShown || image.isNull() || display.width() <= 0 || display.height() <= 0)
        return image;
    ensureAppearances(*this);
    QImage canvas = image.convertToFormat(QImage::Format_RGB32);
    const float sx = float(canvas.width() / display.width());
    const float sy = float(canvas.height() / display.height());
    bool ok = false;
    withLoadedPage(*this, [&](fz_context* c, pdf_page* page) {
        fz_pixmap* pixmap = nullptr;
        fz_device* device = nullptr;
        unsigned char* samples = canvas.bits();
        const int w = canvas.width(), h = canvas.height();
        const int stride = int(canvas.bytesPerLine());
        ok = guarded(c, [&] {
            pixmap = fz_new_pixmap_with_data(c, fz_device_bgr(c), w, h, nullptr, 1, stride, samples);
            device = fz_new_draw_device(c, fz_identity, pixmap);
            // Form fields are widgets, which MuPDF runs apart from the other annotations.
            pdf_run_page_annots(c, page, device, fz_scale(sx, sy), nullptr);
            pdf_run_page_widgets(c, page, device, fz_scale(sx, sy), nullptr);
            fz_close_device(c, device);
        });
        fz_drop_device(c, device);
        fz_drop_pixmap(c, pixmap);
    });
    return ok ? canvas : image;
}

namespace {

constexpr int kMaxFormDepth = 2;

QList<XObjectNode> walkXObjects(fz_context* c, pdf_obj* owner, int depth)
{
    QList<XObjectNode> nodes;
    int count = 0;
    guarded(c, [&] { count = pdf_dict_len(c, pdf_dict_getp(c, owner, "Resources/XObject")); });
    for (int i = 0; i < count; ++i) {
        pdf_obj* key = nullptr;
        pdf_obj* value = nullptr;
        pdf_obj* subtype = nullptr;
        bool stream = false;
        guarded(c, [&] {
            pdf_obj* xobjects = pdf_dict_getp(c, owner, "Resources/XObject");
            key = pdf_dict_get_key(c, xobjects, i);
            value = pdf_dict_get_val(c, xobjects, i);
            stream = pdf_is_stream(c, value);
            if (stream)
                subtype = pdf_dict_get(c, value, PDF_NAME(Subtype));
        });
        XObjectNode node;
        node.name = nameOf(c, key);
        node.subtype = stream ? nameOf(c, subtype) : QString();
        if (node.subtype == QLatin1String("Form") && depth < kMaxFormDepth)
            node.children = walkXObjects(c, value, depth + 1);
        nodes.append(node);
    }
    return nodes;
}

} // namespace

QList<XObjectNode> Page::xObjects() const
{
    // The page's own resources only, not those inherited from the page tree.
    return walkXObjects(ctx(), m_state->ref.obj, 0);
}

} // namespace vmk::pdf
