#include "editor/LongTask.h"

#include "editor/Editor.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <vector>

namespace vmk {

namespace {

class ThreadPoolRunner : public DetachedRunner {
public:
    void run(QObject* context, std::function<void()> work, std::function<void()> done) override
    {
        // The watcher belongs to the context, so a context that goes away takes the pending hand-back with it.
        auto* watcher = new QFutureWatcher<void>(context);
        QObject::connect(watcher, &QFutureWatcher<void>::finished, watcher, [watcher, done = std::move(done)] {
            watcher->deleteLater();
            done();
        });
        watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), std::move(work)));
    }
};

struct LoopState : std::enable_shared_from_this<LoopState> {
    QPointer<Editor> editor;
    RunningTaskPtr task;
    int count = 0;
    bool cancellable = false;
    TaskLoop loop;

    void advance(int index)
    {
        // Iterates over skipped items instead of recursing, so a long run of skips costs no stack.
        for (int i = index;; ++i) {
            if (!editor)
                return;
            if ((cancellable && task && task->isCancelled()) || i >= count) {
                loop.finish();
                return;
            }
            std::shared_ptr<LoopState> self = shared_from_this();
            if (loop.step(i, [self, i] { self->advance(i + 1); }))
                return;
        }
    }
};

struct ParallelLoopState : std::enable_shared_from_this<ParallelLoopState> {
    QPointer<Editor> editor;
    RunningTaskPtr task;
    int count = 0;
    int width = 1;
    bool cancellable = false;
    ParallelTaskLoop loop;

    std::vector<bool> back; // per item: its work is back, or it was skipped
    int nextToStart = 0;
    int nextToComplete = 0;
    int inFlight = 0;
    bool stopped = false;
    bool finished = false;
    bool pumping = false;
    bool pumpAgain = false;

    // Completes what is back in order, starts what the width allows, and finishes when nothing is left.
    // Work that comes back while this runs (a runner may hand it back at once) is picked up by the same
    // call instead of a nested one.
    void pump()
    {
        if (pumping) {
            pumpAgain = true;
            return;
        }
        pumping = true;
        do {
            pumpAgain = false;
            if (!step())
                break;
        } while (pumpAgain);
        pumping = false;
    }

    // False once the loop is over.
    bool step()
    {
        if (!editor || finished)
            return false;
        while (nextToComplete < nextToStart && back[size_t(nextToComplete)]) {
            loop.completed(nextToComplete++);
            if (!editor)
                return false;
        }
        while (!stopped && inFlight < width && nextToStart < count) {
            if (cancellable && task && task->isCancelled()) {
                stopped = true;
                break;
            }
            const int i = nextToStart++;
            std::shared_ptr<ParallelLoopState> self = shared_from_this();
            ++inFlight;
            const bool started = loop.start(i, [self, i] {
                self->back[size_t(i)] = true;
                --self->inFlight;
                self->pump();
            });
            if (!editor)
                return false;
            if (!started) {
                --inFlight;
                back[size_t(i)] = true;
            }
            pumpAgain = true; // complete a skipped item in order before starting more
        }
        if (pumpAgain)
            return true;
        if (inFlight == 0 && nextToComplete == nextToStart && (stopped || nextToStart >= count)) {
            finished = true;
            loop.finish();
        }
        return false;
    }
};

} // namespace

int DetachedRunner::workerCount() const { return std::max(1, QThreadPool::globalInstance()->maxThreadCount()); }

std::shared_ptr<DetachedRunner> DetachedRunner::threadPool()
{
    static const std::shared_ptr<DetachedRunner> runner = std::make_shared<ThreadPoolRunner>();
    return runner;
}

void TaskLoop::run(QPointer<Editor> editor, RunningTaskPtr task, int count, bool cancellable, TaskLoop loop)
{
    auto state = std::make_shared<LoopState>();
    state->editor = std::move(editor);
    state->task = std::move(task);
    state->count = count;
    state->cancellable = cancellable;
    state->loop = std::move(loop);
    state->advance(0);
}

void ParallelTaskLoop::run(QPointer<Editor> editor, RunningTaskPtr task, int count, int width, bool cancellable,
                           ParallelTaskLoop loop)
{
    auto state = std::make_shared<ParallelLoopState>();
    state->editor = std::move(editor);
    state->task = std::move(task);
    state->count = std::max(0, count);
    state->width = std::max(1, width);
    state->cancellable = cancellable;
    state->loop = std::move(loop);
    state->back.assign(size_t(state->count), false);
    state->pump();
}

} // namespace vmk
