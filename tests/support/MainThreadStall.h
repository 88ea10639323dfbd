#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace vmk::test {

// What this thread has done with its time since it started (Linux schedstat), in nanoseconds: run on a
// processor, and waited for one it was ready to run on. The rest of its life it slept or was blocked.
struct ThreadTimes {
    qint64 runningNs = 0;
    qint64 runQueueWaitNs = 0;
};

inline ThreadTimes threadTimes()
{
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    return fields.size() >= 2 ? ThreadTimes{fields[0].toLongLong(), fields[1].toLongLong()} : ThreadTimes{};
}

// Nanoseconds this thread has spent waiting for a processor it was ready to run on.
inline qint64 runQueueWaitNs()
{
    return threadTimes().runQueueWaitNs;
}

// Milliseconds since start() that this thread spent on its own account: running, blocked or asleep, but
// not waiting for a processor it was ready to run on. What a thread does after a key or while it lets go
// of something is its own doing; how long a loaded machine keeps it waiting on top of that is not.
class ThreadTimer {
public:
    void start()
    {
        m_waited = runQueueWaitNs();
        m_clock.start();
    }
    qint64 elapsed() const { return (m_clock.nsecsElapsed() - (runQueueWaitNs() - m_waited)) / 1000000; }

private:
    QElapsedTimer m_clock;
    qint64 m_waited = 0;
};

// Runs the event loop while `running` holds (at most `timeoutMs`) and answers the longest wait between two
// of its turns, in milliseconds. Time the system kept this thread off the processor is not counted: on a
// loaded machine that says nothing about the window; what the thread did or waited for itself does count.
// The turns are timed every `tickMs`, which is thus the least this answers.
inline qint64 longestMainThreadStall(const std::function<bool()>& running, int timeoutMs, int tickMs = 5)
{
    QElapsedTimer clock, total;
    clock.start();
    total.start();
    qint64 lastWait = runQueueWaitNs();
    qint64 longest = 0;
    auto turn = [&] {
        const qint64 wait = runQueueWaitNs();
        longest = std::max(longest, (clock.nsecsElapsed() - (wait - lastWait)) / 1000000);
        lastWait = wait;
        clock.restart();
    };
    QTimer tick;
    tick.setInterval(tickMs);
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, turn);
    tick.start();
    while (running() && total.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, tickMs);
    turn();
    return longest;
}

} // namespace vmk::test
