#include "platform/services/ThreadStarter.h"

#include "platform/services/ThreadHandOff.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vmk::platform {

namespace {

class Starter {
public:
    Starter() : m_thread([this] { run(); })
    {
        // Starts still queued when the application ends run before its pools are waited for and torn down.
        qAddPostRoutine([] { instance().stop(); });
    }

    static Starter& instance()
    {
        // Never destroyed: stop() ends the thread at the application's end; a process without an application
        // never queues anything (see startOffWindowThread).
        static Starter* starter = [] {
            auto* made = new Starter;
            s_made.store(true);
            return made;
        }();
        return *starter;
    }
    static bool made() { return s_made.load(); }

    void push(std::function<void()> start)
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_stopped) {
                m_queue.push_back(std::move(start));
                ++m_queued;
                m_changed.notify_all();
                return;
            }
        }
        start(); // the application has ended: nothing is left to hold up
    }

    void waitUntilRun()
    {
        std::unique_lock lock(m_mutex);
        const quint64 target = m_queued;
        m_changed.wait(lock, [&] { return m_ran >= target || m_stopped; });
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return !m_queue.empty() || m_stopping; });
            if (m_queue.empty())
                break;
            std::function<void()> start = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            start();
            start = nullptr; // what the start held goes before it counts as run
            lock.lock();
            ++m_ran;
            m_changed.notify_all();
        }
    }

    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            m_changed.notify_all();
        }
        m_thread.join(); // runs what is queued first
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_queue;
    quint64 m_queued = 0;
    quint64 m_ran = 0;
    bool m_stopping = false;
    bool m_stopped = false;
    std::thread m_thread;
    static inline std::atomic<bool> s_made{false};
};

bool onWindowThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

void startOffWindowThread(std::function<void()> start)
{
    if (!onWindowThread()) {
        start();
        return;
    }
    Starter::instance().push(handedOver(std::move(start)));
}

void startOffWindowThread(QThreadPool& pool, std::function<void()> work, int priority)
{
    startOffWindowThread([&pool, work = std::move(work), priority]() mutable { pool.start(std::move(work), priority); });
}

void waitForHandedStarts()
{
    if (onWindowThread() && Starter::made())
        Starter::instance().waitUntilRun();
}

void prepareThreadStarter()
{
    if (onWindowThread())
        Starter::instance();
}

} // namespace vmk::platform
