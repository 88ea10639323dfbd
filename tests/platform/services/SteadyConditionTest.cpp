#include "platform/services/SteadyCondition.h"

#include <gtest/gtest.h>

#include <thread>

using vmk::platform::SteadyCondition;
using namespace std::chrono_literals;

TEST(SteadyCondition, TimedWaitsEndAtTheirSteadyDeadlineOrWhenWoken)
{
    std::mutex mutex;
    SteadyCondition condition;
    std::unique_lock lock(mutex);

    // Nobody wakes it: the wait lasts until the deadline, never less, and answers the predicate as it is.
    const auto start = SteadyCondition::Clock::now();
    EXPECT_FALSE(condition.waitFor(lock, 30ms, [] { return false; }));
    EXPECT_GE(SteadyCondition::Clock::now() - start, 30ms);
    EXPECT_FALSE(condition.waitUntil(lock, start - 1s));
    EXPECT_TRUE(condition.waitUntil(lock, start - 1s, [] { return true; }));

    // Woken from another thread long before a far deadline, it sees what was written under the mutex.
    bool done = false;
    std::thread waker([&] {
        std::this_thread::sleep_for(10ms);
        std::lock_guard held(mutex);
        done = true;
        condition.notifyAll();
    });
    const auto far = SteadyCondition::Clock::now() + 1h;
    EXPECT_TRUE(condition.waitUntil(lock, far, [&] { return done; }));
    EXPECT_LT(SteadyCondition::Clock::now(), far - 59min);
    lock.unlock();
    waker.join();

    // An untimed wait with a predicate, woken by a single notification.
    bool second = false;
    std::thread notifier([&] {
        std::lock_guard held(mutex);
        second = true;
        condition.notifyOne();
    });
    lock.lock();
    condition.wait(lock, [&] { return second; });
    EXPECT_TRUE(second);
    lock.unlock();
    notifier.join();
}
