#include "platform/pdfview/PageTexts.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <utility>

namespace vmk::pdfview {

PageTexts::PageTexts(QObject* parent) : QObject(parent), m_pool(QStringLiteral("Vellumark.pagetext"), 1) {}

PageTexts::~PageTexts()
{
    m_link->close();
    forgetAll();
}

bool PageTexts::ready(int page, std::uint32_t generation, const pdf::PagePtr& handle)
{
    if (!handle)
        return false;
    if (handle->hasLoadedText())
        return true;
    if (failed(page, generation))
        return false;
    if (auto it = m_running.find(page); it != m_running.end()) {
        if (it->second->generation == generation && it->second->handle == handle)
            return false;
        it->second->cancel->cancel();
        m_running.erase(it);
    }
    // Copying would wait for the writer and hold the window meanwhile.
    if (pdf::Document::isWritingUnderWay()) {
        m_putOff.add(page);
        return false;
    }
    // Copying is all this thread does; the copy holds the page's own content only.
    std::shared_ptr<pdf::PageCapture> capture = pdf::PageCapture::take(*handle, false);
    if (!capture) {
        m_failed[page] = generation;
        return false;
    }
    auto job = std::make_shared<Job>();
    job->page = page;
    job->generation = generation;
    job->handle = handle;
    m_running.emplace(page, job);
    const pdf::RecordBudget budget = m_budget;
    m_pool.start([this, link = m_link, weak = std::weak_ptr<Job>(job), cancel = job->cancel, capture, budget] {
        if (cancel->isCancelled())
            return;
        pdf::TextResult result = capture->readText(budget, cancel.get());
        link->post([this, weak, result] { finished(weak, result); });
    });
    return false;
}

void PageTexts::finished(const std::weak_ptr<Job>& weak, const pdf::TextResult& result)
{
    const std::shared_ptr<Job> job = weak.lock();
    if (!job)
        return;
    auto it = m_running.find(job->page);
    if (it == m_running.end() || it->second != job)
        return;
    m_running.erase(it);
    if (result.outcome == pdf::RecordOutcome::cancelled)
        return;
    if (result.outcome == pdf::RecordOutcome::recorded && result.text)
        job->handle->adoptText(result.text);
    else
        m_failed[job->page] = job->generation;
    emit pageRead(job->page);
}

bool PageTexts::failed(int page, std::uint32_t generation) const
{
    const auto it = m_failed.find(page);
    return it != m_failed.end() && it->second == generation;
}

void PageTexts::removePage(int page)
{
    if (auto it = m_running.find(page); it != m_running.end()) {
        it->second->cancel->cancel();
        m_running.erase(it);
    }
}

void PageTexts::forgetAll()
{
    for (auto& [page, job] : m_running)
        job->cancel->cancel();
    m_running.clear();
    m_failed.clear();
    m_pool.clear();
}

} // namespace vmk::pdfview
