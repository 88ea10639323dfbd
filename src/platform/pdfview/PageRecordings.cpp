#include "platform/pdfview/PageRecordings.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/LastGoodCopy.h"
#include "platform/pdf/pages/PageSnapshot.h"

#include <algorithm>
#include <utility>

namespace vmk::pdfview {

PageRecordings::PageRecordings(int threads, QObject* parent)
    : QObject(parent), m_pool(QStringLiteral("Vellumark.recording"), threads)
{
}

PageRecordings::~PageRecordings()
{
    m_link->close();
    for (auto& [page, job] : m_running)
        job->cancel.cancel();
    m_running.clear();
}

void PageRecordings::setCapacity(std::size_t capacity)
{
    m_capacity = std::max<std::size_t>(1, capacity);
    while (m_ready.size() > m_capacity)
        m_ready.pop_back();
}

std::shared_ptr<pdf::PageSnapshot> PageRecordings::get(int page, std::uint32_t generation, const pdf::PagePtr& handle,
                                                       const std::vector<const pdf::Annotation*>& excluded)
{
    for (auto it = m_ready.begin(); it != m_ready.end(); ++it) {
        if (it->page == page && it->generation == generation) {
            m_ready.splice(m_ready.begin(), m_ready, it);
            return m_ready.front().snapshot;
        }
    }
    if (!handle || failure(page, generation))
        return nullptr;
    if (auto it = m_running.find(page); it != m_running.end()) {
        if (it->second->generation == generation)
            return nullptr;
        cancelJob(page);
    }
    // Copying would wait for the writer and hold the window meanwhile: a page unchanged since the
    // document was opened is drawn from those bytes instead, and any other keeps what is shown of it until
    // the writing is over.
    if (pdf::Document::isWritingUnderWay()) {
        if (!recordFromLastGoodCopy(page, generation, handle, excluded))
            m_putOff.add(page);
        return nullptr;
    }
    // Copying the page is all the owner's thread does; its cost follows the page's data, not its drawing.
    std::shared_ptr<pdf::PageCapture> capture = pdf::PageCapture::takeToDraw(*handle, true, excluded);
    if (!capture) {
        m_failures[page] = Failure{generation, pdf::RecordOutcome::failed};
        return nullptr;
    }
    auto job = std::make_shared<Job>();
    job->page = page;
    job->generation = generation;
    m_running.emplace(page, job);
    const pdf::RecordBudget budget = m_budget;
    // The worker holds the copy and the job (page number, generation, cancel flag), never the owner or
    // the document: a recording may outlive both. Placed by its page, so that each worker, with the copy
    // of the document it keeps, goes on with the pages near the ones it read.
    m_pool.start([this, link = m_link, job, capture, budget] {
        if (job->cancel.isCancelled())
            return;
        pdf::RecordResult result = capture->record(budget, &job->cancel);
        link->post([this, job, result] { finished(job, result); });
    }, 0, page);
    return nullptr;
}

bool PageRecordings::recordFromLastGoodCopy(int page, std::uint32_t generation, const pdf::PagePtr& handle,
                                            const std::vector<const pdf::Annotation*>& excluded)
{
    // What this view leaves out of a page is not left out of the copy.
    const pdf::DocumentPtr document = handle->document();
    std::shared_ptr<const pdf::LastGoodCopy> copy = document ? pdf::LastGoodCopy::whileWriting(*document) : nullptr;
    if (!copy || !excluded.empty() || !copy->knows(handle.get()))
        return false;
    auto job = std::make_shared<Job>();
    job->page = page;
    job->generation = generation;
    m_running.emplace(page, job);
    const pdf::RecordBudget budget = m_budget;
    // The handle's address is only looked up in the copy, never followed, on the worker.
    m_pool.start([this, link = m_link, job, copy, key = handle.get(), budget] {
        if (job->cancel.isCancelled())
            return;
        const pdf::LastGoodCopy::Recorded recorded = copy->record(key, budget, &job->cancel);
        link->post([this, job, recorded] {
            if (!recorded.differs) {
                finished(job, recorded.result);
                return;
            }
            // Reaches a change being written: only the document may draw it, once the writing is over.
            if (auto it = m_running.find(job->page); it != m_running.end() && it->second == job) {
                m_running.erase(it);
                m_putOff.add(job->page);
            }
        });
    }, 0, page);
    return true;
}

void PageRecordings::finished(const std::shared_ptr<Job>& job, const pdf::RecordResult& result)
{
    auto it = m_running.find(job->page);
    if (it == m_running.end() || it->second != job)
        return;
    m_running.erase(it);
    if (result.outcome == pdf::RecordOutcome::cancelled)
        return;
    if (result.outcome == pdf::RecordOutcome::recorded) {
        m_ready.push_front(Ready{job->page, job->generation, result.snapshot});
        setCapacity(m_capacity);
    } else {
        m_failures[job->page] = Failure{job->generation, result.outcome};
    }
    emit pageFinished(job->page);
}

std::optional<pdf::RecordOutcome> PageRecordings::failure(int page, std::uint32_t generation) const
{
    const auto it = m_failures.find(page);
    if (it == m_failures.end() || it->second.generation != generation)
        return std::nullopt;
    return it->second.outcome;
}

bool PageRecordings::isRecording(int page) const
{
    return m_running.count(page) != 0;
}

void PageRecordings::markFailed(int page, std::uint32_t generation, pdf::RecordOutcome why)
{
    m_failures[page] = Failure{generation, why};
    removePage(page);
}

void PageRecordings::cancelJob(int page)
{
    auto it = m_running.find(page);
    if (it == m_running.end())
        return;
    it->second->cancel.cancel();
    m_running.erase(it);
}

void PageRecordings::retain(const std::vector<int>& near)
{
    for (auto it = m_running.begin(); it != m_running.end();) {
        if (std::find(near.begin(), near.end(), it->first) != near.end()) {
            ++it;
            continue;
        }
        it->second->cancel.cancel();
        it = m_running.erase(it);
    }
}

void PageRecordings::removePage(int page)
{
    cancelJob(page);
    m_ready.remove_if([page](const Ready& r) { return r.page == page; });
}

void PageRecordings::clear()
{
    for (auto& [page, job] : m_running)
        job->cancel.cancel();
    m_running.clear();
    m_ready.clear();
}

void PageRecordings::forgetAll()
{
    clear();
    m_failures.clear();
}

} // namespace vmk::pdfview
