#include "platform/pdfview/RenderScheduler.h"

#include "platform/pdf/engine/PdfLog.h"
#include "platform/services/ThreadHandOff.h"

#include <QThread>

#include <algorithm>

namespace vmk::pdfview {

namespace {

// Leave a core for the interface thread; rendering gains little beyond a handful of workers.
int workerCount(int threads)
{
    return threads > 0 ? threads : std::clamp(QThread::idealThreadCount() - 1, 1, 3);
}

} // namespace

RenderScheduler::RenderScheduler(int threads, QObject* parent)
    : QObject(parent), m_inbox(std::make_shared<Inbox>()), m_pool(QStringLiteral("Vellumark.tiles"), workerCount(threads))
{
    m_inbox->owner = this;
    connect(&m_watch, &QTimer::timeout, this, &RenderScheduler::watchOverruns);
}

RenderScheduler::~RenderScheduler()
{
    {
        std::lock_guard lock(m_inbox->mutex);
        m_inbox->owner = nullptr;
        m_inbox->finished.clear();
    }
    cancelAll();
}

void RenderScheduler::request(const TileKey& key, RenderFunction render, int priority)
{
    request(key, CancellableRender([render = std::move(render)](const pdf::RecordCancel&) { return render(); }),
            priority);
}

void RenderScheduler::request(const TileKey& key, CancellableRender render, int priority)
{
    request(key,
            BudgetedRender([render = std::move(render)](const pdf::RecordCancel& cancel) {
                QImage image = render(cancel);
                const pdf::RecordOutcome outcome =
                    image.isNull() ? pdf::RecordOutcome::failed : pdf::RecordOutcome::recorded;
                return pdf::DrawResult{outcome, std::move(image)};
            }),
            priority, 0);
}

void RenderScheduler::request(const TileKey& key, BudgetedRender render, int priority, int budgetMs)
{
    if (m_pending.count(key))
        return;
    auto ticket = std::make_shared<Ticket>();
    ticket->key = key;
    ticket->budgetMs = std::max(0, budgetMs);
    m_pending.emplace(key, ticket);
    ticket->job = m_pool.start(
        [inbox = m_inbox, key, ticket, render = std::move(render)] {
            if (ticket->cancelled())
                return;
            pdf::DrawResult result = render(ticket->cancel);
            if (ticket->cancelled())
                return;
            inbox->put(Finished{key, ticket, std::move(result)});
        },
        priority);
    if (ticket->budgetMs > 0) {
        m_watched.push_back(ticket);
        // Often enough to notice an overrun within a small part of the budget, seldom enough to cost nothing.
        const int tick = std::clamp(ticket->budgetMs / 8, 10, 250);
        if (!m_watch.isActive() || m_watch.interval() > tick)
            m_watch.start(tick);
    }
}

void RenderScheduler::watchOverruns()
{
    std::vector<std::shared_ptr<Ticket>> overran;
    std::erase_if(m_watched, [&](const std::shared_ptr<Ticket>& ticket) {
        const WorkerPool::Job& job = *ticket->job;
        if (job.hasEnded() || (!job.hasStarted() && ticket->cancelled()))
            return true;
        if (job.runningMs() <= ticket->budgetMs + kOverrunGraceMs)
            return false;
        overran.push_back(ticket);
        return true;
    });
    if (m_watched.empty())
        m_watch.stop();
    for (const std::shared_ptr<Ticket>& ticket : overran) {
        ticket->cancel.cancel();
        if (auto it = m_pending.find(ticket->key); it != m_pending.end() && it->second == ticket)
            m_pending.erase(it);
        const bool replaced = m_pool.writeOff(ticket->job);
        qCWarning(lcVmkPdf) << "A tile of page" << ticket->key.page + 1 << "was still drawing"
                                << ticket->job->runningMs() << "ms after it started; the page is given up"
                                << (replaced ? "and its worker replaced" : "(no worker to spare)");
        emit tileFailed(ticket->key, pdf::RecordOutcome::tooSlow);
    }
}

void RenderScheduler::Inbox::put(Finished done)
{
    std::lock_guard lock(mutex);
    if (!owner)
        return; // the tile goes with this worker's stack
    finished.push_back(std::move(done));
    if (deliveryQueued)
        return; // the owner has yet to take the queue: it takes this one too
    deliveryQueued = true;
    // Queued under the lock, so the owner cannot be going meanwhile; a call it has not run when it goes
    // dies with its pending events.
    QMetaObject::invokeMethod(owner, platform::handedOver([owner = owner] { owner->deliverFinished(); }),
                              Qt::QueuedConnection);
}

void RenderScheduler::deliverFinished()
{
    std::vector<Finished> batch;
    {
        std::lock_guard lock(m_inbox->mutex);
        batch.swap(m_inbox->finished);
        m_inbox->deliveryQueued = false;
    }
    for (Finished& done : batch) {
        auto it = m_pending.find(done.key);
        if (it == m_pending.end() || it->second != done.ticket || done.ticket->cancelled())
            continue;
        m_pending.erase(it);
        if (done.result.outcome == pdf::RecordOutcome::recorded && !done.result.image.isNull())
            emit tileReady(done.key, done.result.image);
        else
            emit tileFailed(done.key, done.result.outcome == pdf::RecordOutcome::recorded ? pdf::RecordOutcome::failed
                                                                                           : done.result.outcome);
    }
}

void RenderScheduler::retain(const TileKeySet& wanted)
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (wanted.count(it->first)) {
            ++it;
            continue;
        }
        it->second->cancel.cancel();
        it = m_pending.erase(it);
    }
}

void RenderScheduler::cancelPage(int page)
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->first.page != page) {
            ++it;
            continue;
        }
        it->second->cancel.cancel();
        it = m_pending.erase(it);
    }
}

void RenderScheduler::cancelAll()
{
    for (auto& [key, ticket] : m_pending)
        ticket->cancel.cancel();
    m_pending.clear();
}

void RenderScheduler::waitForWorkers()
{
    m_pool.waitForDone();
}

} // namespace vmk::pdfview
