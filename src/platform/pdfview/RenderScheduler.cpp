#include "platform/pdfview/RenderScheduler.h"

#include <QThread>

#include <algorithm>

namespace vmk::pdfview {

RenderScheduler::RenderScheduler(int threads, QObject* parent)
    : QObject(parent)
{
    // Leave a core for the interface thread; rendering gains little beyond a handful of workers.
    if (threads <= 0)
        threads = std::clamp(QThread::idealThreadCount() - 1, 1, 3);
    m_pool.setMaxThreadCount(threads);
}

RenderScheduler::~RenderScheduler()
{
    cancelAll();
    m_pool.clear();
    m_pool.waitForDone();
}

void RenderScheduler::request(const TileKey& key, RenderFunction render, int priority)
{
    request(key, CancellableRender([render = std::move(render)](const pdf::RecordCancel&) { return render(); }),
            priority);
}

void RenderScheduler::request(const TileKey& key, CancellableRender render, int priority)
{
    if (m_pending.count(key))
        return;
    auto ticket = std::make_shared<Ticket>();
    m_pending.emplace(key, ticket);
    m_pool.start(
        [this, key, ticket, render = std::move(render)] {
            if (ticket->cancelled())
                return;
            QImage image = render(ticket->cancel);
            if (ticket->cancelled())
                return;
            finish(Finished{key, ticket, std::move(image)});
        },
        priority);
}

void RenderScheduler::finish(Finished finished)
{
    {
        std::lock_guard lock(m_finishedMutex);
        m_finished.push_back(std::move(finished));
        if (m_deliveryQueued)
            return; // the owner has yet to take the queue: it takes this one too
        m_deliveryQueued = true;
    }
    // Queued: runs on the scheduler's thread, and never after the scheduler is gone, since its
    // destructor waits for the workers and pending events die with it.
    QMetaObject::invokeMethod(this, [this] { deliverFinished(); }, Qt::QueuedConnection);
}

void RenderScheduler::deliverFinished()
{
    std::vector<Finished> batch;
    {
        std::lock_guard lock(m_finishedMutex);
        batch.swap(m_finished);
        m_deliveryQueued = false;
    }
    for (Finished& done : batch) {
        auto it = m_pending.find(done.key);
        if (it == m_pending.end() || it->second != done.ticket || done.ticket->cancelled())
            continue;
        m_pending.erase(it);
        emit tileReady(done.key, done.image); // a null image reports a failed render
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
