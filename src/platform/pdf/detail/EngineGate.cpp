#include "platform/pdf/detail/EngineGate.h"

#include "platform/services/SteadyCondition.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <mutex>

namespace vmk::pdf::detail::EngineGate {

namespace {

std::atomic<int> g_closed{0};
std::mutex g_mutex;

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
    if (g_closed.fetch_sub(1, std::memory_order_acq_rel) == 1)
        opened().notifyAll();
}

bool isClosed()
{
    return g_closed.load(std::memory_order_acquire) > 0;
}

void passMainThread()
{
    if (!isClosed() || !onMainThread())
        return;
    std::unique_lock lock(g_mutex);
    while (g_closed.load(std::memory_order_acquire) > 0)
        opened().wait(lock);
}

} // namespace vmk::pdf::detail::EngineGate
