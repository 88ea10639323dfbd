#include "platform/pdf/engine/Watchdog.h"
#include "platform/services/SteadyCondition.h"

#include <mutex>
#include <thread>
#include <vector>

namespace vmk::pdf::detail {

// One thread for the whole process, asleep until the nearest deadline.
struct WatchdogThread {
    std::mutex mutex;
    platform::SteadyCondition wake;
    std::vector<WatchedCookie*> watched;
    // When the thread wakes next on its own. A cookie due later needs no wake-up: every drawing starts
    // one, and waking the thread for each made the drawing workers queue on this mutex.
    WatchedCookie::Clock::time_point planned = WatchedCookie::Clock::time_point::max();

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
        bool sooner = false;
        {
            std::lock_guard lock(mutex);
            watched.push_back(cookie);
            sooner = cookie->m_deadline < planned;
        }
        if (sooner)
            wake.notifyOne();
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
            planned = WatchedCookie::Clock::time_point::max();
            wake.wait(lock, [this] { return !watched.empty(); });
            const auto now = WatchedCookie::Clock::now();
            auto next = now + std::chrono::seconds(3600);
            for (WatchedCookie* w : watched) {
                if (!w->m_hasDeadline)
                    continue;
                if (now >= w->m_deadline) {
                    w->m_timedOut = true;
                    raiseAbort(&w->m_cookie.abort);
                } else {
                    next = std::min(next, w->m_deadline);
                }
            }
            // Asleep until the nearest deadline, or a cookie due sooner comes.
            planned = next;
            wake.waitUntil(lock, next);
        }
    }
};

WatchedCookie::WatchedCookie(int milliseconds, CookieLink* cancel)
    : m_deadline(Clock::now() + std::chrono::milliseconds(std::max(0, milliseconds))),
      m_hasDeadline(milliseconds > 0), m_cancel(cancel)
{
    if (m_cancel)
        m_cancel->attach(&m_cookie.abort);
    if (m_hasDeadline)
        WatchdogThread::instance().add(this);
}

WatchedCookie::~WatchedCookie()
{
    if (m_hasDeadline)
        WatchdogThread::instance().remove(this);
    if (m_cancel)
        m_cancel->detach();
}

bool WatchedCookie::cancelled() const
{
    return m_cancel && m_cancel->isCancelled();
}

void CookieLink::attach(int* abort)
{
    std::lock_guard lock(m_mutex);
    m_abort = abort;
    if (m_cancelled)
        raiseAbort(m_abort);
}

void CookieLink::detach()
{
    std::lock_guard lock(m_mutex);
    m_abort = nullptr;
}

void CookieLink::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_abort)
        raiseAbort(m_abort);
}

bool CookieLink::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

} // namespace vmk::pdf::detail
