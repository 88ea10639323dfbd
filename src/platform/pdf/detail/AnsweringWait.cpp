#include "platform/pdf/detail/AnsweringWait.h"
#include "platform/pdf/AnsweringWait.h"
#include "platform/services/SteadyCondition.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <chrono>
#include <mutex>
#include <thread>

namespace vmk::pdf::detail {

void runWhileAnswering(const std::function<void()>& work, int quietMs)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    std::mutex mutex;
    platform::SteadyCondition ended;
    bool done = false;
    QEventLoop loop;
    std::thread worker([&] {
        work();
        std::lock_guard lock(mutex);
        done = true;
        ended.notifyAll();
        // Under the lock: the loop is still there (this thread is joined before it goes).
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    {
        std::unique_lock lock(mutex);
        ended.waitFor(lock, std::chrono::milliseconds(quietMs), [&] { return done; });
    }
    bool finished = false;
    {
        std::lock_guard lock(mutex);
        finished = done;
    }
    // The quit is queued after `done` is set, so exec() cannot miss it; it may return earlier when the
    // application is told to end, and then the rest is simply waited for.
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
    worker.join();
}

} // namespace vmk::pdf::detail

namespace vmk::pdf {

void waitWhileAnswering(const std::function<void()>& work)
{
    detail::runWhileAnswering(work);
}

} // namespace vmk::pdf
