#include "platform/services/Scheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vmk::platform;

TEST(ManualScheduler, RunsWorkInTimeOrderOnlyWhenTimeReachesIt)
{
    ManualScheduler s;
    QStringList ran;
    s.schedule(0.8, [&] { ran << "save"; });
    s.schedule(0.22, [&] { ran << "search"; });
    s.schedule(0.22, [&] { ran << "search2"; });
    WorkItem toast = s.schedule(2.8, [&] { ran << "toast"; });
    s.advance(0.2);
    EXPECT_TRUE(ran.isEmpty());
    s.advance(0.02);
    EXPECT_EQ(ran, (QStringList{"search", "search2"}));
    // 0.1 + 0.7 in floating point is a hair under 0.8: work due at 0.8 still runs.
    s.advance(0.1);
    s.advance(0.48);
    EXPECT_EQ(ran.last(), "save");
    toast.cancel();
    s.advance(10);
    EXPECT_EQ(ran.size(), 3);
    EXPECT_TRUE(toast.isCancelled());
    EXPECT_FALSE(toast.hasRun());
    EXPECT_EQ(s.pendingCount(), 0);
    EXPECT_NEAR(s.now(), 10.8, 1e-9);
}

TEST(ManualScheduler, WorkScheduledByWorkRunsIfDueWithinTheSameAdvance)
{
    ManualScheduler s;
    QList<double> times;
    s.schedule(0.08, [&] {
        times << s.now();
        s.schedule(0.4, [&] { times << s.now(); });
        s.schedule(5, [&] { times << s.now(); });
    });
    s.advance(1);
    ASSERT_EQ(times.size(), 2);
    EXPECT_NEAR(times[0], 0.08, 1e-9);
    EXPECT_NEAR(times[1], 0.48, 1e-9);
    EXPECT_NEAR(s.nextDueTime(), 5.08, 1e-9);
}

TEST(Debouncer, OnlyTheLastTriggerOfABurstRuns)
{
    ManualScheduler s;
    int runs = 0;
    QString last;
    {
        Debouncer search(0.22, &s);
        for (const char* text : {"t", "to", "tot"}) {
            search.trigger([&, text] { ++runs; last = text; });
            s.advance(0.1);
        }
        EXPECT_EQ(runs, 0);
        s.advance(0.2);
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(last, "tot");
        search.trigger([&] { ++runs; });
    }
    // Destroying the debouncer cancels what it had pending.
    s.advance(1);
    EXPECT_EQ(runs, 1);
}

TEST(MainScheduler, RunsOnTheEventLoopAndHonoursCancel)
{
    MainScheduler s;
    bool ran = false, cancelledRan = false;
    WorkItem cancelled = s.schedule(0, [&] { cancelledRan = true; });
    s.schedule(0.01, [&] { ran = true; });
    cancelled.cancel();
    EXPECT_FALSE(ran);   // never synchronously
    QElapsedTimer guard;
    guard.start();
    while (!ran && guard.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(cancelledRan);

    // Work scheduled from a worker thread still runs on the main thread.
    QThread* ranOn = nullptr;
    std::unique_ptr<QThread> worker(QThread::create([&] { s.schedule(0, [&] { ranOn = QThread::currentThread(); }); }));
    worker->start();
    worker->wait();
    guard.restart();
    while (!ranOn && guard.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
}
