#include "platform/pdf/engine/MainThreadSlice.h"

#include "platform/pdf/engine/Wait.h"
#include "platform/services/SteadyCondition.h"
#include "platform/services/ThreadHandOff.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

namespace vmk::pdf {

namespace {

constexpr int kTurnBetweenSlicesMs = 2;

// What the worker and the queued slice share: the worker may give the slice up and go before it runs.
struct SliceState {
    std::mutex mutex;
    platform::SteadyCondition changed;
    bool started = false;
    bool finished = false;
    bool givenUp = false;
};

} // namespace

bool runSliceOnMainThread(const std::function<void()>& slice, int patienceMs)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        slice();
        return true;
    }
    // Slices asked for one after another would otherwise be taken in the same turn of the main thread,
    // back to back: the window has its turn between them.
    thread_local std::chrono::steady_clock::time_point t_lastEnded{};
    std::this_thread::sleep_until(t_lastEnded + std::chrono::milliseconds(kTurnBetweenSlicesMs));
    auto state = std::make_shared<SliceState>();
    // The worker stays until the slice has run or been given up, so the slice may refer to its frame.
    const std::function<void()>* work = &slice;
    QMetaObject::invokeMethod(app, platform::handedOver([state, work] {
        {
            std::lock_guard lock(state->mutex);
            if (state->givenUp)
                return;
            state->started = true;
        }
        (*work)();
        std::lock_guard lock(state->mutex);
        state->finished = true;
        state->changed.notifyAll();
    }), Qt::QueuedConnection);

    using Clock = platform::SteadyCondition::Clock;
    std::unique_lock lock(state->mutex);
    Clock::time_point calledOff{};
    struct Ended {
        ~Ended() { t_lastEnded = std::chrono::steady_clock::now(); }
    } ended;
    while (!state->finished) {
        state->changed.waitFor(lock, std::chrono::milliseconds(20), [&] { return state->finished; });
        if (state->finished || state->started || !waitCancelled())
            continue;
        if (calledOff == Clock::time_point{})
            calledOff = Clock::now();
        else if (Clock::now() - calledOff >= std::chrono::milliseconds(patienceMs)) {
            state->givenUp = true;
            return false;
        }
    }
    return true;
}

} // namespace vmk::pdf
