#include "platform/pdfview/WorkerPool.h"

#include "platform/services/ThreadHandOff.h"

#include <QMetaObject>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
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

// Each piece of work written off may hold up to its drawing's memory budget until its decoder ends.
constexpr int kMaxWrittenOff = 4;
std::atomic<int> g_writtenOff{0};

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// The pool's threads: as many as asked for, and one more for each piece of its work written off.
struct WorkerPool::Threads {
    std::mutex mutex;
    QThreadPool* pool;
    int base;
    int lent = 0;
    void lend(int change)
    {
        std::lock_guard lock(mutex);
        lent += change;
        pool->setMaxThreadCount(base + lent);
    }
};

qint64 WorkerPool::Job::runningMs() const
{
    const int state = m_state.load();
    if (state != running && state != writtenOff)
        return 0;
    return nowMs() - m_startedMs.load();
}

WorkerPool::WorkerPool(const QString& name, int threads) : m_pool(new QThreadPool)
{
    m_pool->setObjectName(name);
    m_pool->setMaxThreadCount(std::max(1, threads));
    m_threads = std::make_shared<Threads>();
    m_threads->pool = m_pool;
    m_threads->base = m_pool->maxThreadCount();
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

std::shared_ptr<WorkerPool::Job> WorkerPool::start(std::function<void()> work, int priority)
{
    auto job = std::make_shared<Job>();
    // The pool's threads stay valid while this runs: a retired pool is freed only once its work has ended.
    m_pool->start(
        platform::handedOver([job, threads = m_threads, work = std::move(work)] {
            job->m_startedMs = nowMs();
            job->m_state = Job::running;
            work();
            if (job->m_state.exchange(Job::ended) == Job::writtenOff) {
                --g_writtenOff;
                threads->lend(-1);
            }
        }),
        priority);
    return job;
}

bool WorkerPool::writeOff(const std::shared_ptr<Job>& job)
{
    if (!job)
        return false;
    int count = g_writtenOff.load();
    do {
        if (count >= kMaxWrittenOff)
            return false;
    } while (!g_writtenOff.compare_exchange_weak(count, count + 1));
    int expected = Job::running;
    if (!job->m_state.compare_exchange_strong(expected, Job::writtenOff)) {
        --g_writtenOff;
        return false;
    }
    // The work can end only after the exchange above: when it does, it gives the thread back.
    m_threads->lend(+1);
    return true;
}

int WorkerPool::writtenOffCount()
{
    return g_writtenOff.load();
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
    QMetaObject::invokeMethod(m_owner, platform::handedOver(std::move(call)), Qt::QueuedConnection);
    return true;
}

void OwnerLink::close()
{
    std::lock_guard lock(m_mutex);
    m_owner = nullptr;
}

} // namespace vmk::pdfview
