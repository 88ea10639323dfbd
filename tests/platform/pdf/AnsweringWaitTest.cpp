// Work the main thread must wait for, run while its event loop keeps turning.

#include "platform/pdf/detail/AnsweringWait.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using vmk::pdf::detail::runWhileAnswering;

TEST(AnsweringWait, LongWorkRunsOnAWorkerWhileTimersGoOn)
{
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(5);
    std::atomic_bool ended{false};
    QThread* ranOn = nullptr;
    runWhileAnswering([&] {
        ranOn = QThread::currentThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ended = true;
    });
    EXPECT_TRUE(ended.load());
    EXPECT_NE(ranOn, QThread::currentThread());
    EXPECT_GE(ticks, 5);
}

TEST(AnsweringWait, ShortWorkIsSimplyWaitedForAndWorkersRunItInPlace)
{
    bool posted = false;
    QTimer::singleShot(0, [&] { posted = true; });
    runWhileAnswering([] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }, 5000);
    EXPECT_FALSE(posted); // nothing else ran meanwhile
    QCoreApplication::processEvents();
    EXPECT_TRUE(posted);

    QThread* ranOn = nullptr;
    QThread* caller = QThread::create([&] { runWhileAnswering([&] { ranOn = QThread::currentThread(); }); });
    caller->start();
    ASSERT_TRUE(caller->wait(10000));
    EXPECT_EQ(ranOn, caller);
    delete caller;
}
