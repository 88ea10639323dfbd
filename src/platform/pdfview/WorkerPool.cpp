#include "platform/pdfview/WorkerPool.h"

#include "platform/services/HeapTrim.h"
#include "platform/services/ThreadHandOff.h"
#include "platform/services/ThreadStarter.h"

#include <QMetaObject>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>
#include <utility>
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

// A pool's last holder lets it go: on its own thread, with nothing running, at once (only idle threads are
// let go); otherwise it is freed by a later sweep, once its work has ended.
void letGo(QThreadPool* pool)
{
    if (QThread::currentThread() == pool->thread() && pool->activeThreadCount() == 0) {
        delete pool;
        return;
    }
    Retired& r = retired();
    std::lock_guard lock(r.mutex);
    r.pools.push_back(pool);
}

// Each piece of work written off may hold up to its drawing's memory budget until its decoder ends.
constexpr int kMaxWrittenOff = 4;
std::atomic<int> g_writtenOff{0};

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Workers whose last place is remembered, at most: threads come and go, and their ids are reused.
constexpr std::size_t kMaxPlacedWorkers = 64;

} // namespace

namespace detail {

std::size_t choosePlace(const std::vector<int>& queued, std::optional<int> own, const std::vector<int>& others)
{
    const auto nearestOther = [&](int place) {
        long nearest = LONG_MAX;
        for (const int other : others)
            nearest = std::min(nearest, std::labs(long(place) - other));
        return nearest;
    };
    std::size_t chosen = queued.size();
    if (own) {
        long best = LONG_MAX;
        for (std::size_t i = 0; i < queued.size(); ++i) {
            const long distance = std::labs(long(queued[i]) - *own);
            if (distance > nearestOther(queued[i]))
                continue; // another worker's region
            if (distance < best || (distance == best && queued[i] > *own)) {
                best = distance;
                chosen = i;
            }
        }
        if (chosen < queued.size())
            return chosen;
    }
    if (others.empty())
        return 0;
    long farthest = -1;
    for (std::size_t i = 0; i < queued.size(); ++i) {
        if (const long distance = nearestOther(queued[i]); distance > farthest) {
            farthest = distance;
            chosen = i;
        }
    }
    return chosen;
}

} // namespace detail

// The pool's threads: as many as asked for, and one more for each piece of its work written off.
struct WorkerPool::Threads {
    std::mutex mutex;
    QThreadPool* pool;
    int base;
    int running = 0;        // work under way, under `mutex`
    bool ownerGone = false; // under `mutex`
    // Counts the pool's clearings: a start handed off before one is dropped.
    std::atomic<quint64> cleared{0};
    int lent = 0;
    void lend(int change)
    {
        std::lock_guard lock(mutex);
        lent += change;
        pool->setMaxThreadCount(base + lent);
    }

    // Work with a place that waits for a worker: each runnable handed to the pool for one takes whichever
    // suits the thread it runs on.
    struct Placed {
        std::shared_ptr<Job> job;
        std::function<void()> work;
        int priority;
        int place;
    };
    struct Worker {
        std::thread::id thread;
        int place;
    };
    std::mutex placing;
    std::vector<Placed> placed;   // oldest first
    std::vector<Worker> workers;  // the last place each worker took, most recent first
    int batches = 0;              // Batch objects alive
    bool batchStarted = false;    // whether placed work was handed out during them
    std::vector<int> held;        // the priorities of placed work queued during them, not handed out yet

    // On a worker: takes the queued work that suits it; none when it was dropped meanwhile.
    std::optional<Placed> takePlaced()
    {
        std::lock_guard lock(placing);
        if (placed.empty())
            return std::nullopt;
        int top = INT_MIN;
        for (const Placed& p : placed)
            top = std::max(top, p.priority);
        std::vector<std::size_t> indices;
        std::vector<int> places;
        for (std::size_t i = 0; i < placed.size(); ++i) {
            if (placed[i].priority == top) {
                indices.push_back(i);
                places.push_back(placed[i].place);
            }
        }
        const std::thread::id self = std::this_thread::get_id();
        std::optional<int> own;
        std::vector<int> others;
        for (const Worker& w : workers) {
            if (w.thread == self)
                own = w.place;
            else
                others.push_back(w.place);
        }
        const std::size_t index = indices[detail::choosePlace(places, own, others)];
        std::optional<Placed> taken(std::move(placed[index]));
        placed.erase(placed.begin() + std::ptrdiff_t(index));
        std::erase_if(workers, [&](const Worker& w) { return w.thread == self; });
        workers.insert(workers.begin(), Worker{self, taken->place});
        if (workers.size() > kMaxPlacedWorkers)
            workers.pop_back();
        return taken;
    }
};

void WorkerPool::run(const std::shared_ptr<Job>& job, std::function<void()>& work, Threads& threads)
{
    platform::shrinkHeapWhenThreadEnds();
    {
        std::lock_guard lock(threads.mutex);
        ++threads.running;
    }
    job->m_startedMs = nowMs();
    job->m_state = Job::running;
    work();
    work = nullptr; // what the work held is freed before the heap is trimmed for it
    if (job->m_state.exchange(Job::ended) == Job::writtenOff) {
        --g_writtenOff;
        threads.lend(-1);
    }
    bool lastOfAGoneOwner = false;
    {
        std::lock_guard lock(threads.mutex);
        lastOfAGoneOwner = --threads.running == 0 && threads.ownerGone;
    }
    // A closed window's drawing that was still under way frees its pages' memory into the workers' heaps
    // only now, after the trim that followed the document's release.
    if (lastOfAGoneOwner)
        platform::trimHeapSoon();
}

qint64 WorkerPool::Job::runningMs() const
{
    const int state = m_state.load();
    if (state != running && state != writtenOff)
        return 0;
    return nowMs() - m_startedMs.load();
}

WorkerPool::WorkerPool(const QString& name, int threads) : m_pool(new QThreadPool, letGo)
{
    m_pool->setObjectName(name);
    m_pool->setMaxThreadCount(std::max(1, threads));
    m_threads = std::make_shared<Threads>();
    m_threads->pool = m_pool.get();
    m_threads->base = m_pool->maxThreadCount();
    sweep();
}

WorkerPool::~WorkerPool()
{
    clear();
    {
        std::lock_guard lock(m_threads->mutex);
        m_threads->ownerGone = true;
    }
    m_pool.reset();
    sweep();
}

std::shared_ptr<WorkerPool::Job> WorkerPool::start(std::function<void()> work, int priority)
{
    auto job = std::make_shared<Job>();
    // The pool's threads stay valid while this runs: a retired pool is freed only once its work has ended.
    startOnPool(platform::handedOver(
                    [job, threads = m_threads, work = std::move(work)]() mutable { run(job, work, *threads); }),
                priority);
    return job;
}

std::shared_ptr<WorkerPool::Job> WorkerPool::start(std::function<void()> work, int priority, int place)
{
    auto job = std::make_shared<Job>();
    {
        std::lock_guard lock(m_threads->placing);
        m_threads->placed.push_back(Threads::Placed{job, std::move(work), priority, place});
        if (m_threads->batches > 0 && std::exchange(m_threads->batchStarted, true)) {
            m_threads->held.push_back(priority);
            return job;
        }
    }
    startPlaced(priority);
    return job;
}

void WorkerPool::startPlaced(int priority)
{
    startOnPool(platform::handedOver([threads = m_threads] {
                    if (std::optional<Threads::Placed> next = threads->takePlaced())
                        run(next->job, next->work, *threads);
                }),
                priority);
}

void WorkerPool::startOnPool(std::function<void()> runnable, int priority)
{
    platform::startOffWindowThread([pool = m_pool, threads = m_threads, clearing = m_threads->cleared.load(),
                                    runnable = std::move(runnable), priority]() mutable {
        if (threads->cleared.load() == clearing)
            pool->start(std::move(runnable), priority);
    });
}

WorkerPool::Batch::Batch(WorkerPool& pool) : m_pool(pool)
{
    std::lock_guard lock(m_pool.m_threads->placing);
    ++m_pool.m_threads->batches;
}

WorkerPool::Batch::~Batch()
{
    std::vector<int> held;
    {
        std::lock_guard lock(m_pool.m_threads->placing);
        if (--m_pool.m_threads->batches > 0)
            return;
        m_pool.m_threads->batchStarted = false;
        held.swap(m_pool.m_threads->held);
    }
    for (const int priority : held)
        m_pool.startPlaced(priority);
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
    ++m_threads->cleared;
    m_pool->clear();
    std::lock_guard lock(m_threads->placing);
    m_threads->placed.clear();
    m_threads->held.clear();
}

bool WorkerPool::waitForDone(int msecs)
{
    platform::waitForHandedStarts();
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
