#include "platform/pdf/engine/WaitRunner.h"
#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/engine/InputDuringWait.h"
#include "platform/services/SteadyCondition.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace vmk::pdf::detail {

namespace {

// What a waiting caller and its worker share. An abandoned worker outlives the caller, so it is held by both.
struct WaitState {
    std::mutex mutex;
    platform::SteadyCondition ended;
    bool done = false;
    std::atomic<bool> cancelled{false};
    QEventLoop* loop = nullptr; // the caller's, while it is there (under the mutex)
};

std::atomic<int> g_workers{0};
thread_local const std::atomic<bool>* t_cancelled = nullptr;

} // namespace

WaitOutcome runWhileAnswering(std::function<void()> work, OnCancel onCancel, int quietMs)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return t_cancelled && t_cancelled->load() ? WaitOutcome::Cancelled : WaitOutcome::Finished;
    }
    auto shared = std::make_shared<WaitState>();
    QEventLoop loop;
    shared->loop = &loop;
    ++g_workers;
    std::thread worker([shared, work = std::move(work)]() mutable {
        t_cancelled = &shared->cancelled;
        work();
        // What the work held goes here, on its own thread, even when nobody waits for it any more.
        work = nullptr;
        t_cancelled = nullptr;
        std::lock_guard lock(shared->mutex);
        shared->done = true;
        shared->ended.notifyAll();
        // Under the lock: the loop is still there until the caller has cleared it.
        if (shared->loop)
            QMetaObject::invokeMethod(shared->loop, &QEventLoop::quit, Qt::QueuedConnection);
        --g_workers;
    });
    {
        std::unique_lock lock(shared->mutex);
        shared->ended.waitFor(lock, std::chrono::milliseconds(quietMs), [&] { return shared->done; });
    }
    bool finished = false;
    {
        std::lock_guard lock(shared->mutex);
        finished = shared->done;
    }
    // The quit is queued after `done` is set, so exec() cannot miss it. It returns earlier when the user
    // calls the wait off and the work may be left, or when the application is told to end.
    if (!finished) {
        InputDuringWait input([&] {
            shared->cancelled = true;
            if (onCancel == OnCancel::Abandon)
                loop.quit();
        });
        loop.exec(QEventLoop::ExcludeSocketNotifiers);
    }
    {
        std::lock_guard lock(shared->mutex);
        shared->loop = nullptr;
        finished = shared->done;
    }
    if (!finished)
        shared->cancelled = true; // called off, or the application is ending: the work need not go on
    if (finished || onCancel == OnCancel::Finish)
        worker.join();
    else
        worker.detach();
    return shared->cancelled ? WaitOutcome::Cancelled : WaitOutcome::Finished;
}

int runningWaitWorkers()
{
    return g_workers.load();
}

} // namespace vmk::pdf::detail

namespace vmk::pdf {

WaitOutcome waitWhileAnswering(std::function<void()> work, OnCancel onCancel, int quietMs)
{
    return detail::runWhileAnswering(std::move(work), onCancel, quietMs);
}

bool waitCancelled()
{
    return detail::t_cancelled && detail::t_cancelled->load(std::memory_order_relaxed);
}

IgnoringCancel::IgnoringCancel() : m_saved(detail::t_cancelled)
{
    detail::t_cancelled = nullptr;
}

IgnoringCancel::~IgnoringCancel()
{
    detail::t_cancelled = static_cast<const std::atomic<bool>*>(m_saved);
}

} // namespace vmk::pdf
