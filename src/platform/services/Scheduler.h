#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace vmk::platform {

namespace detail {
struct WorkState;
}

// A handle to delayed work on the main thread. Copies refer to the same work; an empty handle is valid
// and does nothing.
class WorkItem {
public:
    WorkItem() = default;
    explicit WorkItem(std::shared_ptr<detail::WorkState> state) : m_state(std::move(state)) {}

    // Prevents the work from running if it hasn't run yet.
    void cancel();
    bool isCancelled() const;
    // Scheduled, not yet run and not cancelled.
    bool isPending() const;
    bool hasRun() const;
    bool isNull() const { return !m_state; }

private:
    std::shared_ptr<detail::WorkState> m_state;
};

// Runs work on the main thread after a delay in seconds; delays are measured on a monotonic clock.
// Editors and views take a Scheduler so tests can drive time with a ManualScheduler.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    virtual WorkItem schedule(double delaySeconds, std::function<void()> work) = 0;
    // Seconds on the scheduler's monotonic clock.
    virtual double now() const = 0;

    // The process's scheduler (a MainScheduler unless replaced); setShared(nullptr) restores it. The
    // caller keeps ownership of what it sets.
    static Scheduler& shared();
    static void setShared(Scheduler* scheduler);

protected:
    static std::shared_ptr<detail::WorkState> makeState(std::function<void()> work);
    // Runs the work unless it was cancelled or has run.
    static void run(const std::shared_ptr<detail::WorkState>& state);
};

// The real scheduler: single-shot timers on the main event loop.
class MainScheduler : public Scheduler {
public:
    MainScheduler();
    ~MainScheduler() override;
    WorkItem schedule(double delaySeconds, std::function<void()> work) override;
    double now() const override;

private:
    std::unique_ptr<QObject> m_context;   // timers die with the scheduler
};

// A scheduler with virtual time for tests: nothing runs until advance() moves the clock past its time.
class ManualScheduler : public Scheduler {
public:
    WorkItem schedule(double delaySeconds, std::function<void()> work) override;
    double now() const override { return m_now; }

    // Moves time forward by seconds, running due work in time order (ties in scheduling order), including
    // work scheduled meanwhile that falls due within the interval.
    void advance(double seconds);
    // Runs everything that is due now (delay 0) without moving time.
    void runDue() { advance(0); }
    // Items scheduled, not yet run and not cancelled.
    int pendingCount() const;
    // The time of the next pending item, or -1 when none.
    double nextDueTime() const;

private:
    struct Entry {
        double due;
        quint64 sequence;
        std::shared_ptr<detail::WorkState> state;
    };
    std::vector<Entry> m_entries;
    double m_now = 0;
    quint64 m_sequence = 0;
};

// Runs the latest of a burst of triggers once the triggers pause for the delay (search as you type,
// saving the reading position). Cancels with the object.
class Debouncer {
public:
    explicit Debouncer(double delaySeconds, Scheduler* scheduler = nullptr);
    ~Debouncer();
    Debouncer(const Debouncer&) = delete;
    Debouncer& operator=(const Debouncer&) = delete;

    void trigger(std::function<void()> work);
    void cancel();
    bool isPending() const { return m_item.isPending(); }
    double delay() const { return m_delay; }

private:
    double m_delay;
    Scheduler* m_scheduler;
    WorkItem m_item;
};

} // namespace vmk::platform
