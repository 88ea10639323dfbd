#pragma once

#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/document/PdfTypes.h"
#include "platform/pdfview/PagesPutOff.h"
#include "platform/pdfview/WorkerPool.h"

#include <QObject>

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

namespace vmk::pdf {
class PageSnapshot;
}

namespace vmk::pdfview {

// The display lists of the pages near the viewport. The owner's thread only copies a page out of its
// document; interpreting it happens on workers, under a time and memory budget, and can be cancelled.
// A page whose recording failed for good (over budget, unreadable) is remembered for its generation and
// not tried again until the page changes.
class PageRecordings : public QObject {
    Q_OBJECT
public:
    explicit PageRecordings(int threads = 2, QObject* parent = nullptr);
    ~PageRecordings() override; // cancels everything; never waits for a recording under way

    void setBudget(const pdf::RecordBudget& budget) { m_budget = budget; }
    const pdf::RecordBudget& budget() const { return m_budget; }
    void setCapacity(std::size_t capacity);
    // Recordings started by get() while it lives are handed to the workers together when it ends (the first
    // at once; see WorkerPool::Batch): the pages of one paint are divided among the workers by region.
    [[nodiscard]] WorkerPool::Batch together() { return WorkerPool::Batch(m_pool); }

    // The page's display list for this generation; null while it is being recorded (recording starts
    // on the first call) or when it failed. While a document is being written nothing is copied: a page
    // unchanged since its document was opened is recorded from those bytes, any other is finished
    // (pageFinished) once the writing is over, to be asked for again.
    std::shared_ptr<pdf::PageSnapshot> get(int page, std::uint32_t generation, const pdf::PagePtr& handle,
                                           const std::vector<const pdf::Annotation*>& excluded = {});
    // Why the page cannot be drawn at this generation, if it cannot.
    std::optional<pdf::RecordOutcome> failure(int page, std::uint32_t generation) const;
    bool isRecording(int page) const;
    // Drawing the recorded list failed (over its budget, or broken): the page is given up like a failed
    // recording, for the same reason.
    void markFailed(int page, std::uint32_t generation, pdf::RecordOutcome why = pdf::RecordOutcome::failed);

    // Cancels the recordings of pages outside `near`; ready lists are kept up to the capacity.
    void retain(const std::vector<int>& near);
    void removePage(int page);
    void clear();      // lists and recordings; failures stay
    void forgetAll();  // everything, for another document
    std::size_t size() const { return m_ready.size(); }

signals:
    // A recording ended (with a list or a failure); the page should be painted again.
    void pageFinished(int page);

private:
    struct Job {
        int page;
        std::uint32_t generation;
        pdf::RecordCancel cancel;
    };
    struct Ready {
        int page;
        std::uint32_t generation;
        std::shared_ptr<pdf::PageSnapshot> snapshot;
    };
    struct Failure {
        std::uint32_t generation;
        pdf::RecordOutcome outcome;
    };
    void finished(const std::shared_ptr<Job>& job, const pdf::RecordResult& result);
    // While its document is being written: starts recording the page from the bytes it was opened from,
    // when it may be; false when it must wait for the writing to end.
    bool recordFromLastGoodCopy(int page, std::uint32_t generation, const pdf::PagePtr& handle,
                                const std::vector<const pdf::Annotation*>& excluded);
    void cancelJob(int page);

    pdf::RecordBudget m_budget;
    std::size_t m_capacity = 32;
    std::shared_ptr<OwnerLink> m_link = std::make_shared<OwnerLink>(this);
    WorkerPool m_pool;
    std::unordered_map<int, std::shared_ptr<Job>> m_running;
    std::list<Ready> m_ready; // most recently used first
    std::unordered_map<int, Failure> m_failures;
    PagesPutOff m_putOff{this, [this](int page) { emit pageFinished(page); }};
};

} // namespace vmk::pdfview
