#include "platform/services/BackgroundPool.h"

#include "platform/services/ThreadStarter.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

namespace vmk::platform {

namespace {

struct NamedPool : QThreadPool {
    NamedPool()
    {
        setObjectName(QStringLiteral("Vellumark.background"));
        setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        // Work still queued when the application ends finishes while the engine and Qt are still there,
        // as Qt does for its own global pool.
        qAddPostRoutine([] {
            waitForHandedStarts(); // work handed over for starting comes first
            backgroundPool().waitForDone();
        });
    }
};

Q_GLOBAL_STATIC(NamedPool, g_pool)

} // namespace

QThreadPool& backgroundPool() { return *g_pool; }

} // namespace vmk::platform
