#include "platform/pdf/engine/EngineGate.h"

#include "platform/services/SteadyCondition.h"
#include "platform/services/ThreadHandOff.h"

#include "platform/pdf/engine/PdfLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace vmk::pdf::detail::EngineGate {

namespace {

std::atomic<int> g_closed{0};
std::atomic<int> g_mainThreadWaits{0};
std::mutex g_mutex;
// Main-thread work put off until the gate opens (under g_mutex).
std::vector<std::pair<QPointer<QObject>, std::function<void()>>> g_whenOpen;
// Engine objects the main thread let go of while the gate was closed, freed once it opens (under g_mutex).
std::vector<std::function<void()>> g_releases;

// On the main thread: runs what waited for the gate, unless it closed again meanwhile (then it waits on).
void runWhenOpen()
{
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> ready;
    std::vector<std::function<void()>> releases;
    {
        std::lock_guard lock(g_mutex);
        if (g_closed.load(std::memory_order_acquire) > 0)
            return;
        ready.swap(g_whenOpen);
        releases.swap(g_releases);
    }
    for (const std::function<void()>& release : releases)
        release();
    for (auto& [context, then] : ready) {
        if (context)
            then();
    }
}

platform::SteadyCondition& opened()
{
    static platform::SteadyCondition condition;
    return condition;
}

bool onMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void close()
{
    std::lock_guard lock(g_mutex);
    g_closed.fetch_add(1, std::memory_order_acq_rel);
}

void open()
{
    std::lock_guard lock(g_mutex);
    if (g_closed.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    opened().notifyAll();
    if (!g_whenOpen.empty() || !g_releases.empty()) {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, &runWhenOpen, Qt::QueuedConnection);
    }
}

bool isClosed()
{
    return g_closed.load(std::memory_order_acquire) > 0;
}

void passMainThread()
{
    if (!isClosed() || !onMainThread())
        return;
    QElapsedTimer waited;
    waited.start();
    {
        std::unique_lock lock(g_mutex);
        if (g_closed.load(std::memory_order_acquire) == 0)
            return;
        g_mainThreadWaits.fetch_add(1, std::memory_order_relaxed);
        while (g_closed.load(std::memory_order_acquire) > 0)
            opened().wait(lock);
    }
    // Work that could have waited did not look first: the window held still meanwhile.
    qCDebug(lcVmkPdf) << "The main thread waited" << waited.elapsed() << "ms for a document being written";
}

void whenOpen(QObject* context, std::function<void()> then)
{
    {
        std::lock_guard lock(g_mutex);
        if (g_closed.load(std::memory_order_acquire) > 0) {
            g_whenOpen.emplace_back(context, std::move(then));
            return;
        }
    }
    QMetaObject::invokeMethod(context, platform::handedOver(std::move(then)), Qt::QueuedConnection);
}

void releaseLater(std::function<void()> release)
{
    if (isClosed() && onMainThread()) {
        std::lock_guard lock(g_mutex);
        if (g_closed.load(std::memory_order_acquire) > 0) {
            g_releases.push_back(std::move(release));
            return;
        }
    }
    release();
}

int mainThreadWaits()
{
    return g_mainThreadWaits.load(std::memory_order_relaxed);
}

} // namespace vmk::pdf::detail::EngineGate
