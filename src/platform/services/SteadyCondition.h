#pragma once

#include <chrono>
#include <mutex>

#include <pthread.h>

namespace vmk::platform {

// A condition variable for a std::mutex whose timed waits run on the monotonic clock, as
// std::condition_variable's steady waits do: a change of the wall clock neither shortens nor lengthens them.
// libstdc++ times those waits with pthread_cond_clockwait, which the ThreadSanitizer runtime of GCC 12 does
// not intercept: it then misses the mutex being released and taken again inside the wait, and reports
// races on everything the mutex guards. This one is a pthread condition made for CLOCK_MONOTONIC and waited
// on with pthread_cond_timedwait, which every runtime understands.
class SteadyCondition {
public:
    using Clock = std::chrono::steady_clock;

    SteadyCondition();
    ~SteadyCondition();
    SteadyCondition(const SteadyCondition&) = delete;
    SteadyCondition& operator=(const SteadyCondition&) = delete;

    void notifyOne();
    void notifyAll();

    void wait(std::unique_lock<std::mutex>& lock);
    // Answers false once the deadline has passed; true when woken before it (or spuriously).
    bool waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline);

    template <typename Predicate>
    void wait(std::unique_lock<std::mutex>& lock, Predicate ready)
    {
        while (!ready())
            wait(lock);
    }

    // Answers ready() as it stands when the wait ends: on time, or at the deadline.
    template <typename Predicate>
    bool waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline, Predicate ready)
    {
        while (!ready()) {
            if (!waitUntil(lock, deadline))
                return ready();
        }
        return true;
    }

    template <typename Rep, typename Period, typename Predicate>
    bool waitFor(std::unique_lock<std::mutex>& lock, std::chrono::duration<Rep, Period> timeout, Predicate ready)
    {
        return waitUntil(lock, Clock::now() + std::chrono::duration_cast<Clock::duration>(timeout), ready);
    }

private:
    pthread_cond_t m_condition;
};

} // namespace vmk::platform
