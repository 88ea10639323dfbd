#include "editor/LongTask.h"

#include "editor/Editor.h"
#include "platform/services/ThreadHandOff.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace vmk {

namespace {

class ThreadPoolRunner : public DetachedRunner {
public:
    void run(QObject* context, std::function<void()> work, std::function<void()> done) override
    {
        // The watcher belongs to the context, so a context that goes away takes the pending hand-back with it.
        auto* watcher = new QFutureWatcher<void>(context);
        // What the work did comes back through Qt's future, which the thread checker cannot see into.
        const platform::HandOff handBack;
        QObject::connect(watcher, &QFutureWatcher<void>::finished, watcher, [watcher, done = std::move(done), handBack] {
            handBack.acquire();
            watcher->deleteLater();
            done();
        });
        watcher->setFuture(QtConcurrent::run(&DetachedRunner::taskPool(),
                                             platform::handedOver([work = std::move(work), handBack] {
                                                 work();
                                                 handBack.release();
                                             })));
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

} // namespace

int DetachedRunner::workerCount() const { return std::max(1, taskPool().maxThreadCount()); }

QThreadPool& DetachedRunner::taskPool()
{
    // Never destroyed: work still running as the process ends keeps its threads.
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setObjectName(QStringLiteral("Vellumark.tasks"));
        return made;
    }();
    return *pool;
}

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

} // namespace vmk
