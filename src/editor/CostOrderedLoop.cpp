#include "editor/CostOrderedLoop.h"

#include "editor/Editor.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace vmk {

namespace {

// Prepared items waiting to be read, per worker: enough choice for the end of the run (where the order
// matters) while a page image waits in memory for only a short while.
constexpr int kWaitingPerWorker = 2;

struct CostOrderedState : std::enable_shared_from_this<CostOrderedState> {
    QPointer<Editor> editor;
    RunningTaskPtr task;
    int count = 0;
    int width = 1;
    bool cancellable = false;
    CostOrderedLoop loop;

    struct Waiting {
        double cost;
        int index;
    };
    std::vector<Waiting> waiting;
    int nextToPrepare = 0;
    int preparing = 0;
    int reading = 0;
    bool stopped = false;
    bool finished = false;
    bool pumping = false;
    bool pumpAgain = false;

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
            step();
        } while (pumpAgain && editor && !finished);
        pumping = false;
    }

    void step()
    {
        if (!editor || finished)
            return;
        if (cancellable && task && task->isCancelled() && !stopped) {
            stopped = true;
            waiting.clear();
        }
        while (!stopped && preparing + reading < width) {
            const bool canPrepare = nextToPrepare < count
                && int(waiting.size()) + preparing < kWaitingPerWorker * width;
            if (canPrepare)
                startPreparing(nextToPrepare++);
            else if (!waiting.empty())
                startReading();
            else
                break;
            if (!editor)
                return;
            if (pumpAgain)
                return; // something came back at once: look at cancellation and the waiting items again
        }
        if (preparing == 0 && reading == 0 && (stopped || (nextToPrepare >= count && waiting.empty()))) {
            finished = true;
            loop.finish();
        }
    }

    void startPreparing(int i)
    {
        std::shared_ptr<CostOrderedState> self = shared_from_this();
        ++preparing;
        const bool started = loop.prepare(i, [self, i](std::optional<double> cost) {
            --self->preparing;
            if (!cost)
                self->complete(i);
            else if (!self->stopped)
                self->waiting.push_back({*cost, i});
            self->pump();
        });
        if (!started) {
            --preparing;
            complete(i);
            pumpAgain = true;
        }
    }

    void startReading()
    {
        // The costliest, and of equal ones the earliest.
        const auto next = std::min_element(waiting.begin(), waiting.end(), [](const Waiting& a, const Waiting& b) {
            return a.cost != b.cost ? a.cost > b.cost : a.index < b.index;
        });
        const int i = next->index;
        waiting.erase(next);
        std::shared_ptr<CostOrderedState> self = shared_from_this();
        ++reading;
        loop.read(i, [self, i] {
            --self->reading;
            self->complete(i);
            self->pump();
        });
    }

    void complete(int i)
    {
        if (editor && !finished)
            loop.completed(i);
    }
};

} // namespace

void CostOrderedLoop::run(QPointer<Editor> editor, RunningTaskPtr task, int count, int width, bool cancellable,
                          CostOrderedLoop loop)
{
    auto state = std::make_shared<CostOrderedState>();
    state->editor = std::move(editor);
    state->task = std::move(task);
    state->count = std::max(0, count);
    state->width = std::max(1, width);
    state->cancellable = cancellable;
    state->loop = std::move(loop);
    state->pump();
}

} // namespace vmk
