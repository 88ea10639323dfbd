#pragma once

#include "platform/pdf/detail/Fz.h"

#include <atomic>
#include <chrono>

namespace vmk::pdf::detail {

// Sets a cookie's abort flag when its deadline passes or when an outside cancel flag is raised, from
// a thread of its own, so that work the engine cannot be asked about midway still stops in time.
class WatchedCookie {
public:
    using Clock = std::chrono::steady_clock;
    // `milliseconds` <= 0: no deadline. `cancelled` may be null.
    WatchedCookie(int milliseconds, const std::atomic_bool* cancelled);
    ~WatchedCookie();
    WatchedCookie(const WatchedCookie&) = delete;
    WatchedCookie& operator=(const WatchedCookie&) = delete;

    fz_cookie* cookie() { return &m_cookie; }
    bool timedOut() const { return m_timedOut.load(); }
    bool cancelled() const { return m_cancelled && m_cancelled->load(); }

private:
    friend struct WatchdogThread;
    fz_cookie m_cookie{};
    Clock::time_point m_deadline;
    bool m_hasDeadline;
    const std::atomic_bool* m_cancelled;
    std::atomic_bool m_timedOut{false};
};

} // namespace vmk::pdf::detail
