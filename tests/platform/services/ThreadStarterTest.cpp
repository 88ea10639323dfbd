#include "platform/services/ThreadStarter.h"

#include "platform/pdfview/WorkerPool.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <mutex>
#include <vector>

using namespace vmk;

// Starts made on the window's thread run elsewhere, in the order they were made, and an owner that waits
// for its work sees them all.
TEST(ThreadStarter, StartsFromTheWindowThreadRunElsewhereInOrder)
{
    ASSERT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<bool> onWindowThread{false};
    for (int i = 0; i < 50; ++i)
        platform::startOffWindowThread([&, i] {
            if (QThread::currentThread() == QCoreApplication::instance()->thread())
                onWindowThread = true;
            std::lock_guard lock(mutex);
            order.push_back(i);
        });
    platform::waitForHandedStarts();
    std::lock_guard lock(mutex);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[size_t(i)], i);
    EXPECT_FALSE(onWindowThread);
}

// A pool's work handed off for starting obeys the pool's owner: cleared before it reached the pool, it never
// runs, and a pool let go meanwhile is not touched after it is freed.
TEST(ThreadStarter, WorkerPoolWorkClearedOrOwnerGoneBeforeItStartsNeverRuns)
{
    std::atomic<int> ran{0};
    for (const bool ownerGoes : {false, true}) {
        SCOPED_TRACE(ownerGoes ? "owner gone" : "cleared");
        auto pool = std::make_unique<pdfview::WorkerPool>(QStringLiteral("test.starter"), 2);
        // Holds the starting thread, so that what follows is still waiting to be started.
        std::atomic<bool> release{false};
        platform::startOffWindowThread([&] {
            while (!release)
                QThread::msleep(1);
        });
        for (int i = 0; i < 20; ++i)
            pool->start([&] { ++ran; }, 0, i);
        pool->start([&] { ++ran; });
        if (ownerGoes)
            pool.reset();
        else
            pool->clear();
        release = true;
        platform::waitForHandedStarts();
        if (pool)
            EXPECT_TRUE(pool->waitForDone(5000));
        EXPECT_EQ(ran.load(), 0);
    }
}
