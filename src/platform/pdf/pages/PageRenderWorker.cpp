// Drawing pages within a budget of time and memory that holds even for decoders that never look at
// their cancel flag: the engine works on a thread of its own, and its caller stops waiting at the deadline.

#include "platform/pdf/pages/PageRenderWorker.h"

#include "platform/pdf/engine/DrawScratch.h"
#include "platform/pdf/engine/PdfLog.h"
#include "platform/pdf/pages/Raster.h"
#include "platform/pdf/engine/Watchdog.h"
#include "platform/services/SteadyCondition.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace vmk::pdf::detail {

namespace {

using Clock = platform::SteadyCondition::Clock;

// Each abandoned run may hold up to its budget of memory until its decoder ends.
constexpr int kMaxAbandoned = 4;
constexpr auto kPoll = std::chrono::milliseconds(20);

struct Abandoned {
    std::mutex mutex;
    platform::SteadyCondition changed;
    int count = 0;
    static Abandoned& instance()
    {
        // Never destroyed: an abandoned run may end after static destruction has begun.
        static Abandoned* self = new Abandoned;
        return *self;
    }
};

struct Run {
    std::mutex mutex;
    platform::SteadyCondition done;
    bool finished = false;
    bool abandoned = false;
    RecordCancel stop;
};

// Waits on `condition` until `ready()`, the deadline (none when `timed` is false) or the caller's cancel.
template <typename Ready>
WaitEnd waitFor(std::unique_lock<std::mutex>& lock, platform::SteadyCondition& condition, Ready ready, bool timed,
                Clock::time_point deadline, const RecordCancel* cancel)
{
    for (;;) {
        if (ready())
            return WaitEnd::finished;
        if (cancel && cancel->isCancelled())
            return WaitEnd::cancelled;
        const auto now = Clock::now();
        if (timed && now >= deadline)
            return WaitEnd::timedOut;
        condition.waitUntil(lock, timed ? std::min(deadline, now + kPoll) : now + kPoll);
    }
}

} // namespace

DrawResult drawAbandonable(const RecordBudget& budget, const RecordCancel* cancel, const std::shared_ptr<DrawResult>& result,
                           std::function<void(const RecordCancel&)> work)
{
    const int wait = budget.milliseconds > 0 ? budget.milliseconds + kStopGraceMs : 0;
    switch (runAbandonable(wait, cancel, std::move(work))) {
    case WaitEnd::finished: return std::move(*result);
    case WaitEnd::cancelled: return {RecordOutcome::cancelled, {}};
    case WaitEnd::timedOut: break;
    }
    return {RecordOutcome::tooSlow, {}};
}

int abandonedRuns()
{
    Abandoned& a = Abandoned::instance();
    std::lock_guard lock(a.mutex);
    return a.count;
}

WaitEnd runAbandonable(int milliseconds, const RecordCancel* cancel, std::function<void(const RecordCancel&)> work)
{
    const bool timed = milliseconds > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, milliseconds));
    Abandoned& abandoned = Abandoned::instance();
    {
        std::unique_lock lock(abandoned.mutex);
        const WaitEnd room = waitFor(lock, abandoned.changed, [&] { return abandoned.count < kMaxAbandoned; },
                                     timed, deadline, cancel);
        if (room != WaitEnd::finished)
            return room;
    }
    auto run = std::make_shared<Run>();
    std::thread([run, work = std::move(work)] {
        work(run->stop);
        bool wasAbandoned = false;
        {
            std::lock_guard lock(run->mutex);
            run->finished = true;
            wasAbandoned = run->abandoned;
        }
        run->done.notifyAll();
        if (wasAbandoned) {
            Abandoned& a = Abandoned::instance();
            {
                std::lock_guard lock(a.mutex);
                --a.count;
            }
            a.changed.notifyAll();
        }
    }).detach();
    std::unique_lock lock(run->mutex);
    const WaitEnd end = waitFor(lock, run->done, [&] { return run->finished; }, timed, deadline, cancel);
    if (end == WaitEnd::finished)
        return end;
    // Counted before the run can see it was abandoned: the thread takes this lock before it looks.
    run->abandoned = true;
    {
        std::lock_guard count(abandoned.mutex);
        ++abandoned.count;
    }
    run->stop.cancel();
    qCWarning(lcVmkPdf) << "A page drawing was given up while the engine was still at it";
    return end;
}

RecordOutcome drawListInto(fz_context* c, fz_display_list* list, fz_matrix ctm, fz_irect area, QImage& target,
                           const RecordBudget& budget, const RecordCancel* cancel)
{
    // Cleared here and drawn straight into: the view paints this format, so no pass converts it after.
    target.fill(Qt::white);
    WatchedCookie watched(budget.milliseconds, cancel ? &cancel->link() : nullptr);
    fz_cookie* cookie = watched.cookie();
    fz_pixmap* pixmap = nullptr;
    fz_device* device = nullptr;
    QString error;
    bool ok = false;
    bool overBudget = false;
    {
        const ScopedDrawScratch scratch;
        ScopedAllocationBudget memory(budget.bytes, &cookie->abort);
        unsigned char* samples = target.bits();
        const int stride = int(target.bytesPerLine());
        ok = guarded(c, [&] {
            // BGRA with opaque alpha over the image's memory: exactly Format_RGB32 on little-endian machines.
            pixmap = fz_new_pixmap_with_data(c, fz_device_bgr(c), area.x1 - area.x0, area.y1 - area.y0, nullptr, 1,
                                             stride, samples);
            pixmap->x = area.x0;
            pixmap->y = area.y0;
            device = newDrawDevice(c, pixmap);
            // The area as scissor: the list skips every node outside it instead of clipping it pixel by pixel.
            fz_run_display_list(c, list, device, ctm, fz_rect_from_irect(area), cookie);
            fz_close_device(c, device);
        }, &error);
        fz_drop_device(c, device);
        fz_drop_pixmap(c, pixmap);
        overBudget = memory.exceeded();
    }
    const RecordOutcome outcome =
        budgetOutcome(overBudget, watched.cancelled(), watched.timedOut(), !ok || abortRaised(&cookie->abort));
    if (outcome == RecordOutcome::failed)
        qCWarning(lcVmkPdf) << "A page snapshot could not be rendered:" << error;
    return outcome;
}

DrawResult drawList(fz_display_list* list, const EngineFamily* family, fz_rect bounds, double scale,
                    const QRect& tile, const RecordBudget& budget, const RecordCancel& cancel)
{
    DrawResult result;
    if (!list || !(scale > 0))
        return result;
    const fz_irect area = renderArea(bounds, scale, tile);
    if (fz_is_empty_irect(area))
        return result;
    // The picture itself is the caller's choice of size; the budget is for what drawing it costs.
    QImage image(area.x1 - area.x0, area.y1 - area.y0, QImage::Format_RGB32);
    if (image.isNull()) {
        qCWarning(lcVmkPdf) << "A page picture could not be made:" << image.width() << "x" << image.height();
        return result;
    }
    const ContextFor c(family);
    if (!c.get())
        return result;
    result.outcome = drawListInto(c.get(), list, fz_scale(float(scale), float(scale)), area, image, budget, &cancel);
    if (result.outcome == RecordOutcome::recorded)
        result.image = std::move(image);
    return result;
}

} // namespace vmk::pdf::detail
