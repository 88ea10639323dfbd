#include "platform/pdf/detail/Watchdog.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vmk::pdf::detail {

// One thread for the whole process, asleep while nothing is watched. Polling every few milliseconds
// keeps it simple: cancel flags are plain atomics that nobody signals.
struct WatchdogThread {
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<WatchedCookie*> watched;

    static WatchdogThread& instance()
    {
        // Never destroyed: the thread may outlive static destruction at exit.
        static WatchdogThread* self = [] {
            auto* w = new WatchdogThread;
            std::thread([w] { w->run(); }).detach();
            return w;
        }();
        return *self;
    }

    void add(WatchedCookie* cookie)
    {
        {
            std::lock_guard lock(mutex);
            watched.push_back(cookie);
        }
        wake.notify_one();
    }

    void remove(WatchedCookie* cookie)
    {
        std::lock_guard lock(mutex);
        std::erase(watched, cookie);
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !watched.empty(); });
            const auto now = WatchedCookie::Clock::now();
            for (WatchedCookie* w : watched) {
                if (w->m_cancelled && w->m_cancelled->load()) {
                    w->m_cookie.abort = 1;
                } else if (w->m_hasDeadline && now >= w->m_deadline) {
                    w->m_timedOut = true;
                    w->m_cookie.abort = 1;
                }
            }
            wake.wait_for(lock, std::chrono::milliseconds(5));
        }
    }
};

WatchedCookie::WatchedCookie(int milliseconds, const std::atomic_bool* cancelled)
    : m_deadline(Clock::now() + std::chrono::milliseconds(std::max(0, milliseconds))),
      m_hasDeadline(milliseconds > 0), m_cancelled(cancelled)
{
    if (m_hasDeadline || m_cancelled)
        WatchdogThread::instance().add(this);
}

WatchedCookie::~WatchedCookie()
{
    if (m_hasDeadline || m_cancelled)
        WatchdogThread::instance().remove(this);
}

} // namespace vmk::pdf::detail
