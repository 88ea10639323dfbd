#include "platform/pdfview/WorkerPool.h"

#include <QMetaObject>
#include <QThreadPool>

#include <algorithm>
#include <vector>

namespace vmk::pdfview {

namespace {

// Pools whose owner went while their work still ran. Never destroyed: the application may end with work
// still running in them, and tearing a pool down at exit would wait for it.
struct Retired {
    std::mutex mutex;
    std::vector<QThreadPool*> pools;
};

Retired& retired()
{
    static Retired* r = new Retired;
    return *r;
}

// Frees the retired pools whose work has ended; their idle threads end with them.
void sweep()
{
    Retired& r = retired();
    std::vector<QThreadPool*> done;
    {
        std::lock_guard lock(r.mutex);
        const auto idle = std::stable_partition(r.pools.begin(), r.pools.end(),
                                                [](QThreadPool* p) { return p->activeThreadCount() > 0; });
        done.assign(idle, r.pools.end());
        r.pools.erase(idle, r.pools.end());
    }
    for (QThreadPool* pool : done)
        delete pool;
}

} // namespace

WorkerPool::WorkerPool(const QString& name, int threads) : m_pool(new QThreadPool)
{
    m_pool->setObjectName(name);
    m_pool->setMaxThreadCount(std::max(1, threads));
    sweep();
}

WorkerPool::~WorkerPool()
{
    m_pool->clear();
    if (m_pool->activeThreadCount() == 0) {
        delete m_pool; // nothing runs: only idle threads are let go
    } else {
        Retired& r = retired();
        std::lock_guard lock(r.mutex);
        r.pools.push_back(m_pool);
    }
    sweep();
}

void WorkerPool::start(std::function<void()> work, int priority)
{
    m_pool->start(std::move(work), priority);
}

void WorkerPool::clear()
{
    m_pool->clear();
}

bool WorkerPool::waitForDone(int msecs)
{
    return m_pool->waitForDone(msecs);
}

int WorkerPool::maxThreadCount() const
{
    return m_pool->maxThreadCount();
}

QString WorkerPool::name() const
{
    return m_pool->objectName();
}

int WorkerPool::retiredCount()
{
    sweep();
    Retired& r = retired();
    std::lock_guard lock(r.mutex);
    return int(r.pools.size());
}

bool OwnerLink::post(std::function<void()> call)
{
    // Posting under the lock: the owner cannot finish closing the link, and so cannot be destroyed,
    // while the call is being queued to it.
    std::lock_guard lock(m_mutex);
    if (!m_owner)
        return false;
    QMetaObject::invokeMethod(m_owner, std::move(call), Qt::QueuedConnection);
    return true;
}

void OwnerLink::close()
{
    std::lock_guard lock(m_mutex);
    m_owner = nullptr;
}

} // namespace vmk::pdfview
