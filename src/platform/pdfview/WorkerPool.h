#pragma once

#include <QObject>
#include <QString>

#include <atomic>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QThreadPool;

namespace vmk::pdfview {

// Worker threads for interpreting and drawing pages that their owner never waits for. A page can keep
// a decoder busy for minutes without it ever looking at its cancel flag (a decompression bomb); closing
// the window, or ending the application, must not wait for that. When the pool goes, work that has not
// started is dropped and work that has runs to its end on its own; the threads go after it.
//
// Work run here must therefore own everything it touches (shared copies of the page, its cancel flag, its
// result) and reach its owner only through an OwnerLink.
class WorkerPool {
public:
    // One piece of work as its owner sees it.
    class Job {
    public:
        bool hasStarted() const { return m_state.load() != queued; }
        bool hasEnded() const { return m_state.load() == ended; }
        // How long it has been running; 0 before it starts and once it ended.
        qint64 runningMs() const;

    private:
        friend class WorkerPool;
        enum State { queued, running, writtenOff, ended };
        std::atomic<int> m_state{queued};
        std::atomic<qint64> m_startedMs{0};
    };

    WorkerPool(const QString& name, int threads);
    ~WorkerPool(); // never waits for running work
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Higher priorities start first.
    std::shared_ptr<Job> start(std::function<void()> work, int priority = 0);
    // The same for work about one place of an ordered whole (a page of a document). Among the queued work
    // of the highest priority, a worker takes the place nearest the one it took last, and one with nothing
    // near it starts as far as it can from the other workers: each worker keeps to a region of its own, so
    // that what its thread keeps from one page (the document copy it drew with, its fonts and glyphs)
    // serves the next ones. Each idle worker still takes one piece of work at once, so a few places queued
    // together are worked on together.
    std::shared_ptr<Job> start(std::function<void()> work, int priority, int place);

    // While one lives, placed work after the first is queued but no worker is woken for it; when the last
    // one ends, the workers take it all. Places asked for together (the pages of one paint) are then
    // divided among the workers by region with every place known, instead of the first few going to as
    // many workers before the rest are queued, which sent every worker's document copy through the same
    // fonts. The first starts at once: it is what the caller wants soonest. On the thread that starts the
    // work, within the pool's life.
    class Batch {
    public:
        explicit Batch(WorkerPool& pool);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        WorkerPool& m_pool;
    };
    // Gives up on running work that its owner no longer expects to end (stuck in a decoder that looks at no
    // flag): the pool gets one more thread until it does end, so that the work waiting behind it runs. A
    // few at most across the process get a thread, each possibly holding its drawing's memory; past that,
    // false, and the work keeps its worker. False too for work not running.
    bool writeOff(const std::shared_ptr<Job>& job);
    // Work written off with a thread in its place that has not ended yet, in the whole process.
    static int writtenOffCount();
    // Drops the work that has not started.
    void clear();
    // Blocks until running work ends; false when `msecs` passed first (-1: no limit). Tests only: the
    // owner itself never waits.
    bool waitForDone(int msecs = -1);
    int maxThreadCount() const;
    QString name() const;

    // Pools given up while their work still ran, not freed yet (the work is stuck or finishing).
    static int retiredCount();

private:
    struct Threads;
    static void run(const std::shared_ptr<Job>& job, std::function<void()>& work, Threads& threads);
    // Wakes a worker for one piece of placed work.
    void startPlaced(int priority);
    // Hands a runnable to the pool, from the window's thread through the thread kept for starting.
    void startOnPool(std::function<void()> runnable, int priority);
    // Shared with starts handed off the window's thread (see platform::startOffWindowThread), which may
    // come after the owner went; whoever lets go last retires it.
    std::shared_ptr<QThreadPool> m_pool;
    std::shared_ptr<Threads> m_threads; // shared with the work, which may outlive the pool's owner
};

namespace detail {
// Which of the `queued` places (of one priority, oldest first) a worker takes, as an index: the nearest
// to its `own` last place that no other worker's last place is nearer (forward on a tie); otherwise the
// one farthest from the `others`, and the oldest when there are none.
std::size_t choosePlace(const std::vector<int>& queued, std::optional<int> own, const std::vector<int>& others);
} // namespace detail

// How work on a WorkerPool reaches its owner: a call queued to the owner's thread while the owner lives,
// nothing once it is gone. The owner closes the link first thing in its destructor.
class OwnerLink {
public:
    explicit OwnerLink(QObject* owner) : m_owner(owner) {}
    // From any thread. False when the owner is gone and the call was dropped.
    bool post(std::function<void()> call);
    // From any thread: runs the work while the owner is there, and false without running it once it is
    // gone. The owner's close waits for the work to end, so work that needs what the application owns
    // (painting with its fonts) never runs while the application is being torn down after its owners.
    template <typename Work>
    bool whileOpen(Work&& work)
    {
        std::lock_guard lock(m_mutex);
        if (!m_owner)
            return false;
        std::forward<Work>(work)();
        return true;
    }
    // On the owner's thread, before it is destroyed. Calls posted earlier and not yet run die with the
    // owner's pending events.
    void close();

private:
    std::mutex m_mutex;
    QObject* m_owner;
};

} // namespace vmk::pdfview
