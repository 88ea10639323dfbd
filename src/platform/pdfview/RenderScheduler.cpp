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
            // Queued: runs on the scheduler's thread, and never after the scheduler is gone, since
            // its destructor waits for the workers and pending events die with it.
            QMetaObject::invokeMethod(
                this, [this, key, ticket, image = std::move(image)] { deliver(key, ticket, image); },
                Qt::QueuedConnection);
        },
        priority);
}

void RenderScheduler::deliver(const TileKey& key, const std::shared_ptr<Ticket>& ticket, const QImage& image)
{
    auto it = m_pending.find(key);
    if (it == m_pending.end() || it->second != ticket || ticket->cancelled())
        return;
    m_pending.erase(it);
    emit tileReady(key, image); // a null image reports a failed render
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
