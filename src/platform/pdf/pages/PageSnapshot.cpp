#include "platform/pdf/pages/PageSnapshot.h"

#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageRenderWorker.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/pdf/pages/Raster.h"
#include "platform/pdf/pages/SnapshotState.h"
#include "platform/pdf/engine/Watchdog.h"

namespace vmk::pdf {

using namespace detail;

SnapshotState::~SnapshotState()
{
    if (list)
        EngineGate::releaseLater([list = list] { fz_drop_display_list(ctx(), list); });
}

PageSnapshot::PageSnapshot(std::unique_ptr<SnapshotState> state) : m_state(std::move(state)) {}

PageSnapshot::~PageSnapshot() = default;

QRectF PageSnapshot::cropBox() const { return m_state->cropBox; }
int PageSnapshot::rotation() const { return m_state->rotation; }
QSizeF PageSnapshot::displaySize() const { return m_state->displaySize; }
QTransform PageSnapshot::displayTransform() const { return m_state->displayTransform; }

QImage PageSnapshot::render(double scale, const QRect& tile) const
{
    return render(scale, tile, RecordBudget{}).image;
}

DrawResult PageSnapshot::render(double scale, const QRect& tile, const RecordBudget& budget,
                                const RecordCancel* cancel) const
{
    if (!m_state->list || !(scale > 0))
        return {};
    // The work keeps the list and what its resources came from: it may outlive this snapshot.
    fz_display_list* list = fz_keep_display_list(ctx(), m_state->list);
    auto result = std::make_shared<DrawResult>();
    auto work = [list, source = m_state->source, bounds = m_state->deviceBounds, result, scale, tile,
                 budget](const RecordCancel& stop) {
        // Each thread renders with its own context; the display list is shared read-only.
        *result = drawList(list, bounds, scale, tile, budget, stop);
        fz_drop_display_list(ctx(), list);
    };
    return drawAbandonable(budget, cancel, result, std::move(work));
}

bool PageSnapshot::renderInto(QImage& target, double scale, const QRect& tile, const RecordCancel* cancel) const
{
    return renderInto(target, scale, tile, RecordBudget{0, RecordBudget{}.bytes}, cancel) == RecordOutcome::recorded;
}

RecordOutcome PageSnapshot::renderInto(QImage& target, double scale, const QRect& tile, const RecordBudget& budget,
                                       const RecordCancel* cancel) const
{
    if (!m_state->list || scale <= 0 || target.format() != QImage::Format_RGB32)
        return RecordOutcome::failed;
    fz_context* c = ctx();
    const fz_irect area = renderArea(m_state->deviceBounds, scale, tile);
    if (fz_is_empty_irect(area) || area.x1 - area.x0 > target.width() || area.y1 - area.y0 > target.height())
        return RecordOutcome::failed;
    target.fill(Qt::white);
    unsigned char* samples = target.bits();
    const int stride = int(target.bytesPerLine());
    fz_display_list* list = m_state->list;
    const fz_matrix ctm = fz_scale(float(scale), float(scale));
    WatchedCookie watched(budget.milliseconds, cancel ? &cancel->link() : nullptr);
    fz_cookie* cookie = watched.cookie();
    fz_pixmap* pixmap = nullptr;
    fz_device* device = nullptr;
    QString error;
    bool ok = false;
    bool overBudget = false;
    {
        ScopedAllocationBudget memory(budget.bytes, &cookie->abort);
        ok = guarded(c, [&] {
            // BGRA with opaque alpha over the image's memory: exactly Format_RGB32 on little-endian machines.
            pixmap = fz_new_pixmap_with_data(c, fz_device_bgr(c), area.x1 - area.x0, area.y1 - area.y0, nullptr, 1,
                                             stride, samples);
            pixmap->x = area.x0;
            pixmap->y = area.y0;
            device = newDrawDevice(c, pixmap);
            fz_run_display_list(c, list, device, ctm, fz_rect_from_irect(area), cookie);
            fz_close_device(c, device);
        }, &error);
        fz_drop_device(c, device);
        fz_drop_pixmap(c, pixmap);
        overBudget = memory.exceeded();
    }
    if (overBudget)
        return RecordOutcome::tooLarge;
    if (watched.cancelled())
        return RecordOutcome::cancelled;
    if (watched.timedOut())
        return RecordOutcome::tooSlow;
    if (!ok || abortRaised(&cookie->abort)) {
        qCWarning(lcVmkPdf) << "A page snapshot could not be rendered:" << error;
        return RecordOutcome::failed;
    }
    return RecordOutcome::recorded;
}

} // namespace vmk::pdf
