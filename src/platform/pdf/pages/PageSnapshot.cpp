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
    if (!list)
        return;
    if (family) {
        // Of a family of its own: dropped at once on this thread, wherever the writer is.
        if (const ContextFor c(family.get()); c.get())
            fz_drop_display_list(c.get(), list);
        return;
    }
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
    // The work keeps the list, its family and what its resources came from: it may outlive this snapshot.
    // Each thread renders with its own context; the display list is shared read-only.
    std::shared_ptr<EngineFamily> family = m_state->family;
    fz_display_list* list = nullptr;
    {
        const ContextFor c(family.get());
        if (!c.get())
            return {};
        list = fz_keep_display_list(c.get(), m_state->list);
    }
    auto result = std::make_shared<DrawResult>();
    auto work = [list, family, source = m_state->source, bounds = m_state->deviceBounds, result, scale, tile,
                 budget](const RecordCancel& stop) {
        *result = drawList(list, family.get(), bounds, scale, tile, budget, stop);
        const ContextFor c(family.get());
        fz_drop_display_list(c.get(), list);
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
    const fz_irect area = renderArea(m_state->deviceBounds, scale, tile);
    if (fz_is_empty_irect(area) || area.x1 - area.x0 > target.width() || area.y1 - area.y0 > target.height())
        return RecordOutcome::failed;
    // A list of a family of its own is drawn with a clone of that family on this thread.
    const ContextFor c(m_state->family.get());
    if (!c.get())
        return RecordOutcome::failed;
    return drawListInto(c.get(), m_state->list, fz_scale(float(scale), float(scale)), area, target, budget, cancel);
}

} // namespace vmk::pdf
