#include "platform/services/Scheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace vmk::platform {

namespace detail {
struct WorkState {
    std::function<void()> work;
    bool cancelled = false;
    bool ran = false;
};
} // namespace detail

void WorkItem::cancel()
{
    if (m_state && !m_state->ran) {
        m_state->cancelled = true;
        m_state->work = nullptr;   // release what the work captured
    }
}

bool WorkItem::isCancelled() const { return m_state && m_state->cancelled; }
bool WorkItem::isPending() const { return m_state && !m_state->cancelled && !m_state->ran; }
bool WorkItem::hasRun() const { return m_state && m_state->ran; }

namespace {
Scheduler* g_sharedOverride = nullptr;
}

Scheduler& Scheduler::shared()
{
    if (g_sharedOverride)
        return *g_sharedOverride;
    static MainScheduler scheduler;
    return scheduler;
}

void Scheduler::setShared(Scheduler* scheduler) { g_sharedOverride = scheduler; }

std::shared_ptr<detail::WorkState> Scheduler::makeState(std::function<void()> work)
{
    auto state = std::make_shared<detail::WorkState>();
    state->work = std::move(work);
    return state;
}

void Scheduler::run(const std::shared_ptr<detail::WorkState>& state)
{
    if (!state || state->cancelled || state->ran)
        return;
    state->ran = true;
    auto work = std::move(state->work);
    state->work = nullptr;
    if (work)
        work();
}

// --- MainScheduler -------------------------------------------------------------------------------------

namespace {
QElapsedTimer& monotonic()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}
} // namespace

MainScheduler::MainScheduler() : m_context(std::make_unique<QObject>())
{
    // Work runs on the main thread whichever thread made the scheduler.
    if (QCoreApplication::instance())
        m_context->moveToThread(QCoreApplication::instance()->thread());
}

MainScheduler::~MainScheduler() = default;

WorkItem MainScheduler::schedule(double delaySeconds, std::function<void()> work)
{
    auto state = makeState(std::move(work));
    const int ms = delaySeconds <= 0 ? 0 : int(std::lround(delaySeconds * 1000.0));
    QObject* context = m_context.get();
    auto start = [ms, context, state] { QTimer::singleShot(ms, Qt::PreciseTimer, context, [state] { run(state); }); };
    // Timers belong to the thread that starts them; work scheduled from a worker still runs on the main thread.
    if (QThread::currentThread() == context->thread())
        start();
    else
        QMetaObject::invokeMethod(context, start, Qt::QueuedConnection);
    return WorkItem(state);
}

double MainScheduler::now() const { return double(monotonic().nsecsElapsed()) / 1e9; }

// --- ManualScheduler -----------------------------------------------------------------------------------

WorkItem ManualScheduler::schedule(double delaySeconds, std::function<void()> work)
{
    auto state = makeState(std::move(work));
    m_entries.push_back(Entry{m_now + std::max(0.0, delaySeconds), m_sequence++, state});
    return WorkItem(state);
}

void ManualScheduler::advance(double seconds)
{
    const double target = m_now + std::max(0.0, seconds);
    // A tiny tolerance so that 0.1 + 0.7 reaches work due at 0.8.
    const double end = target + 1e-9;
    for (;;) {
        auto next = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->due > end)
                continue;
            if (next == m_entries.end() || it->due < next->due
                || (it->due == next->due && it->sequence < next->sequence))
                next = it;
        }
        if (next == m_entries.end())
            break;
        const Entry entry = *next;
        m_entries.erase(next);
        m_now = std::max(m_now, entry.due);
        run(entry.state);
    }
    m_now = std::max(m_now, target);
    std::erase_if(m_entries, [](const Entry& e) { return e.state->cancelled || e.state->ran; });
}

int ManualScheduler::pendingCount() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return !e.state->cancelled && !e.state->ran; }));
}

double ManualScheduler::nextDueTime() const
{
    double best = -1;
    for (const Entry& e : m_entries) {
        if (e.state->cancelled || e.state->ran)
            continue;
        if (best < 0 || e.due < best)
            best = e.due;
    }
    return best;
}

// --- Debouncer -----------------------------------------------------------------------------------------

Debouncer::Debouncer(double delaySeconds, Scheduler* scheduler) : m_delay(delaySeconds), m_scheduler(scheduler) {}

Debouncer::~Debouncer() { m_item.cancel(); }

void Debouncer::trigger(std::function<void()> work)
{
    m_item.cancel();
    Scheduler& scheduler = m_scheduler ? *m_scheduler : Scheduler::shared();
    m_item = scheduler.schedule(m_delay, std::move(work));
}

void Debouncer::cancel() { m_item.cancel(); }

} // namespace vmk::platform
