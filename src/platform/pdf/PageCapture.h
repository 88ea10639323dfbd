#pragma once

#include "platform/pdf/PdfTypes.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace vmk::pdf {

class PageSnapshot;

namespace detail { struct CaptureState; }

// What one recording of a page may spend before it gives up. Interpreting a page can take minutes and
// gigabytes for a hostile or merely extravagant file; a page over its budget is shown as a placeholder.
struct RecordBudget {
    int milliseconds = 20000;
    std::size_t bytes = std::size_t(768) << 20;
};

enum class RecordOutcome {
    recorded,
    cancelled, // asked to stop: nothing is known about the page, ask again later
    tooSlow,   // over the time budget
    tooLarge,  // over the memory budget
    failed,    // the page cannot be read or drawn
};

// True when recording the same page again would end the same way.
inline bool isPermanent(RecordOutcome outcome)
{
    return outcome != RecordOutcome::recorded && outcome != RecordOutcome::cancelled;
}

struct RecordResult {
    RecordOutcome outcome = RecordOutcome::failed;
    std::shared_ptr<PageSnapshot> snapshot; // set when recorded
};

// Stops a recording or a render from another thread; the engine notices within a few operators.
class RecordCancel {
public:
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }
    const std::atomic_bool& flag() const { return m_cancelled; }

private:
    std::atomic_bool m_cancelled{false};
};

// A page lifted out of its document with everything it draws (contents, resources, annotations), so
// that a worker can interpret it while the document stays in use on its own thread. Taking the copy
// costs what the page's objects weigh, never what drawing them costs; the page's look is fixed at that
// moment. Recording may run on any one thread at a time.
class PageCapture : public std::enable_shared_from_this<PageCapture> {
public:
    ~PageCapture();
    PageCapture(const PageCapture&) = delete;
    PageCapture& operator=(const PageCapture&) = delete;

    // On the document's thread. Annotations are included or not; `excluded` are left out in any case.
    // Null when the page cannot be read at all.
    static std::shared_ptr<PageCapture> take(const Page& page, bool withAnnotations,
                                             const std::vector<const Annotation*>& excluded = {});

    // Interprets the page into a display list within the budget. `cancel` may be null.
    RecordResult record(const RecordBudget& budget, const RecordCancel* cancel = nullptr) const;

    // Layer-internal.
    explicit PageCapture(std::unique_ptr<detail::CaptureState> state);

private:
    std::unique_ptr<detail::CaptureState> m_state;
};

} // namespace vmk::pdf
