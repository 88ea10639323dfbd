#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace vmk {

class Editor;

// The handle of the Editor's one running long task. Cancelling only records the request: the task's own
// loop decides where it looks at it. Main thread only.
class RunningTask {
public:
    void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }

private:
    bool m_cancelled = false;
};
using RunningTaskPtr = std::shared_ptr<RunningTask>;

// Runs a long task's per-page work (rendering, recognition, encoding) away from the main thread and hands
// the finished work back to the main thread. The work is given only values and returns only values.
class DetachedRunner {
public:
    virtual ~DetachedRunner() = default;
    // Runs work off the main thread, then done on the main thread; done never runs once context is gone.
    virtual void run(QObject* context, std::function<void()> work, std::function<void()> done) = 0;
    // How many pieces of work a task may keep in flight at once: the size of the tasks' pool, so that one
    // setting (taskPool().setMaxThreadCount) decides between one worker and many.
    virtual int workerCount() const;

    // The process's runner over the tasks' pool.
    static std::shared_ptr<DetachedRunner> threadPool();
    // The threads long tasks work on, one per core unless set otherwise. Not Qt's global pool: Qt's
    // painting hands large fills to that pool and waits for them, so a page read there for seconds held
    // every frame of the window until it was done.
    static QThreadPool& taskPool();
};

// Typed form of DetachedRunner::run: the work's value reaches done on the main thread.
template <typename T>
void runDetached(DetachedRunner& runner, QObject* context, std::function<T()> work, std::function<void(T)> done)
{
    auto value = std::make_shared<std::optional<T>>();
    runner.run(
        context, [value, work = std::move(work)] { value->emplace(work()); },
        [value, done = std::move(done)] { done(std::move(**value)); });
}

// Walks `count` items one at a time on the main thread. Before each item the loop ends without a word when
// the Editor is gone, and a cancellable loop goes to `finish` once cancellation was requested. `step`
// handles item i and answers true when it started detached work, which calls `next` when it is back; a
// step that answers false goes straight on with the next item. After the last item comes `finish`.
struct TaskLoop {
    std::function<bool(int index, std::function<void()> next)> step;
    std::function<void()> finish;

    static void run(QPointer<Editor> editor, RunningTaskPtr task, int count, bool cancellable, TaskLoop loop);
};

} // namespace vmk
