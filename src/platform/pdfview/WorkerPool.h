#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

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
    WorkerPool(const QString& name, int threads);
    ~WorkerPool(); // never waits for running work
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Higher priorities start first.
    void start(std::function<void()> work, int priority = 0);
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
    QThreadPool* m_pool;
};

// How work on a WorkerPool reaches its owner: a call queued to the owner's thread while the owner lives,
// nothing once it is gone. The owner closes the link first thing in its destructor.
class OwnerLink {
public:
    explicit OwnerLink(QObject* owner) : m_owner(owner) {}
    // From any thread. False when the owner is gone and the call was dropped.
    bool post(std::function<void()> call);
    // On the owner's thread, before it is destroyed. Calls posted earlier and not yet run die with the
    // owner's pending events.
    void close();

private:
    std::mutex m_mutex;
    QObject* m_owner;
};

} // namespace vmk::pdfview
