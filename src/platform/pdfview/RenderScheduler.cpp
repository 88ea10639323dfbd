#include "platform/pdfview/RenderScheduler.h"

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
    if (m_pending.count(key))
        return;
    auto ticket = std::make_shared<Ticket>();
    m_pending.emplace(key, ticket);
    m_pool.start(
        [inbox = m_inbox, key, ticket, render = std::move(render)] {
            if (ticket->cancelled())
                return;
            QImage image = render(ticket->cancel);
            if (ticket->cancelled())
                return;
            inbox->put(Finished{key, ticket, std::move(image)});
        },
        priority);
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
    QMetaObject::invokeMethod(owner, [owner = owner] { owner->deliverFinished(); }, Qt::QueuedConnection);
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
