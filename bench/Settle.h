#pragma once

#include "platform/pdf/document/Document.h"
#include "platform/services/HeapTrim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThreadPool>

namespace vmk::bench {

// What the last measure left behind (its document freed on workers, the heaps trimmed afterwards) is over
// before the next one is timed: it is no part of the next one, yet would run on the window's thread and
// the workers meanwhile.
inline void settleReleases()
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThreadPool::globalInstance()->waitForDone(5);
    } while ((pdf::Document::releasesUnderWay() > 0 || platform::isHeapTrimUnderWay()) && clock.elapsed() < 10000);
}

} // namespace vmk::bench
