#pragma once
// The main thread's longest event while a benchmark times something: how long it held the window, what it
// was, and the processor time it took. A wall time far above that processor time is the thread waiting (for
// a lock, for the processor on a busy machine), not working.

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>

#include <algorithm>
#include <ctime>

namespace vmk::bench {

inline double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Events the main thread handles from the event loop itself; nested deliveries count within theirs.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool timing = false;
    double longestMs = 0;
    double longestCpuMs = 0;   // the processor time of the longest event
    double mostCpuMs = 0;      // the most processor time any one event took
    QByteArray longestWhat;

    void restart()
    {
        longestMs = longestCpuMs = mostCpuMs = 0;
        longestWhat.clear();
    }

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!timing || m_depth > 0) {
            ++m_depth;
            const bool result = QApplication::notify(receiver, event);
            --m_depth;
            return result;
        }
        ++m_depth;
        // Read before delivery: the event may delete its receiver (or itself).
        const int type = int(event->type());
        const char* receiverClass = receiver ? receiver->metaObject()->className() : "?";
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = threadCpuMs();
        const bool result = QApplication::notify(receiver, event);
        const double ms = double(wall.nsecsElapsed()) / 1e6;
        const double cpu = threadCpuMs() - cpuBefore;
        mostCpuMs = std::max(mostCpuMs, cpu);
        if (ms > longestMs) {
            longestMs = ms;
            longestCpuMs = cpu;
            longestWhat = QByteArray("event ") + QByteArray::number(type) + " to " + receiverClass;
        }
        --m_depth;
        return result;
    }

private:
    int m_depth = 0;
};

} // namespace vmk::bench
