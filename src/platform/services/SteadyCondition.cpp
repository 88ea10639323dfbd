#include "platform/services/SteadyCondition.h"

#include <algorithm>
#include <ctime>

namespace vmk::platform {

SteadyCondition::SteadyCondition()
{
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&m_condition, &attributes);
    pthread_condattr_destroy(&attributes);
}

SteadyCondition::~SteadyCondition() { pthread_cond_destroy(&m_condition); }

void SteadyCondition::notifyOne() { pthread_cond_signal(&m_condition); }

void SteadyCondition::notifyAll() { pthread_cond_broadcast(&m_condition); }

void SteadyCondition::wait(std::unique_lock<std::mutex>& lock)
{
    pthread_cond_wait(&m_condition, lock.mutex()->native_handle());
}

bool SteadyCondition::waitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline)
{
    using namespace std::chrono;
    const Clock::duration left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return false;
    // A far deadline is waited for a day at a time (an early return reads as a spurious wakeup), so that
    // the sum below cannot overflow.
    const Clock::duration remaining = std::min<Clock::duration>(left, hours(24));
    // The deadline on CLOCK_MONOTONIC, read afresh rather than assuming steady_clock's epoch is that clock's.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const nanoseconds at = seconds(now.tv_sec) + nanoseconds(now.tv_nsec) + duration_cast<nanoseconds>(remaining);
    const seconds whole = duration_cast<seconds>(at);
    const timespec until{time_t(whole.count()), long((at - whole).count())};
    pthread_cond_timedwait(&m_condition, lock.mutex()->native_handle(), &until);
    return Clock::now() < deadline;
}

} // namespace vmk::platform
