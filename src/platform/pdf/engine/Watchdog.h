#pragma once

#include "platform/pdf/engine/Fz.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace vmk::pdf::detail {

// Cancels work in the engine from another thread: raising it sets the abort flag of the cookie attached
// at the time (and of any attached later), with no thread in between.
class CookieLink {
public:
    void attach(int* abort);
    void detach();
    void cancel();
    bool isCancelled() const;

private:
    mutable std::mutex m_mutex;
    int* m_abort = nullptr;
    bool m_cancelled = false;
};

// A cookie for one piece of work: aborted when its deadline passes (by a watchdog thread of its own)
// or when its link is cancelled.
class WatchedCookie {
public:
    using Clock = std::chrono::steady_clock;
    // `milliseconds` <= 0: no deadline. `cancel` may be null.
    WatchedCookie(int milliseconds, CookieLink* cancel);
    ~WatchedCookie();
    WatchedCookie(const WatchedCookie&) = delete;
    WatchedCookie& operator=(const WatchedCookie&) = delete;

    fz_cookie* cookie() { return &m_cookie; }
    bool timedOut() const { return m_timedOut.load(); }
    bool cancelled() const;

private:
    friend struct WatchdogThread;
    fz_cookie m_cookie{};
    Clock::time_point m_deadline;
    bool m_hasDeadline;
    CookieLink* m_cancel;
    std::atomic_bool m_timedOut{false};
};

} // namespace vmk::pdf::detail
