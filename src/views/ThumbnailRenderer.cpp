#include "views/ThumbnailRenderer.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "views/OrganizerLayout.h"

#include <QPainter>
#include <QRunnable>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace vmk::views {

// One queued render. Cancellation is looked at only when the render starts: once started it runs to
// the end.
struct ThumbnailRenderer::Job {
    enum State { queued, started, cancelled };
    QString key;
    std::weak_ptr<pdf::Page> page;
    double itemWidth = 0;
    double facePixelRatio = 0; // 0: no face is made
    std::atomic<int> state{queued};

    bool begin()
    {
        int expected = queued;
        return state.compare_exchange_strong(expected, started);
    }
    // Only the organizer's going away stops a started render.
    pdf::RecordCancel cancel;
    void cancelIfQueued()
    {
        int expected = queued;
        state.compare_exchange_strong(expected, cancelled);
    }
};

ThumbnailRenderer::ThumbnailRenderer(qint64 cacheCostLimit, QObject* parent)
    : QObject(parent), m_queue(QStringLiteral("Vellumark.thumbnails"), kMaxConcurrent),
      m_render(&ThumbnailRenderer::renderSnapshot)
{
    m_cache.setMaxCost(cacheCostLimit);
}

ThumbnailRenderer::~ThumbnailRenderer()
{
    m_link->close();
    for (const auto& job : std::as_const(m_pending))
        job->cancel.cancel();
    cancelAll();
}

QString ThumbnailRenderer::thumbnailKey(const pdf::Page& page, int annotationVersion, double itemWidth)
{
    const QRectF crop = page.cropBox();
    return QStringLiteral("%1-%2-%3x%4-%5-%6")
        .arg(quintptr(&page))
        .arg(page.rotation())
        .arg(qint64(crop.width()))
        .arg(qint64(crop.height()))
        .arg(annotationVersion)
        .arg(qint64(itemWidth));
}

double ThumbnailRenderer::pageAspect(const pdf::Page& page)
{
    const QRectF crop = page.cropBox();
    int rotation = page.rotation() % 360;
    if (rotation < 0)
        rotation += 360;
    const bool turned = rotation == 90 || rotation == 270;
    const double width = turned ? crop.height() : crop.width();
    const double height = turned ? crop.width() : crop.height();
    return height > 0 ? width / height : PageCell::kPlaceholderAspect;
}

double ThumbnailRenderer::requestedScale(double itemWidth, QSizeF displaySize)
{
    return 2 * itemWidth * 1.3 / std::max(1.0, std::max(displaySize.width(), displaySize.height()));
}

QSize ThumbnailRenderer::pixelSize(QSizeF displaySize, double requestedScale)
{
    const double w = displaySize.width(), h = displaySize.height();
    if (w <= 0 || h <= 0)
        return QSize();
    const double scale = std::min(kMaxPixelSide / std::max(w, h), requestedScale);
    return QSize(int(std::max(1L, std::lround(w * scale))), int(std::max(1L, std::lround(h * scale))));
}

pdf::DrawResult ThumbnailRenderer::renderSnapshot(const pdf::PageSnapshot& snapshot, double, QSize pixelSize,
                                                  const pdf::RecordBudget& budget, const pdf::RecordCancel& cancel)
{
    // The scale that fills both sides, then the exact pixel size cut from the top left, so rounding
    // inside the rasteriser cannot change the bitmap's size.
    const QSizeF display = snapshot.displaySize();
    const double scale = std::max(pixelSize.width() / display.width(), pixelSize.height() / display.height());
    pdf::DrawResult drawn = snapshot.render(scale, QRect(QPoint(0, 0), pixelSize), budget, &cancel);
    if (!drawn.image.isNull() && drawn.image.size() != pixelSize)
        drawn.image = drawn.image.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return drawn;
}

void ThumbnailRenderer::schedule(const pdf::PagePtr& page, const QString& key, double itemWidth, double facePixelRatio)
{
    if (!page || m_pending.contains(key))
        return;
    auto job = std::make_shared<Job>();
    job->key = key;
    job->page = page;
    job->itemWidth = itemWidth;
    job->facePixelRatio = facePixelRatio;
    m_pending.insert(key, job);
    m_waiting.push_back(job);
    // Copying starts in a turn of its own: the cards asked for come with a change the window is making
    // anyway (the grid showing, a scroll), which should not wait for pages to be copied as well.
    if (!m_pumpSoon) {
        m_pumpSoon = true;
        QTimer::singleShot(0, this, [this] {
            m_pumpSoon = false;
            pump();
        });
    }
}

// Copies pages out of the document for the queue, a few ahead of the workers and for a few
// milliseconds per turn of the event loop, so that a grid asking for every page at once never holds
// the main thread; a render cancelled before its turn costs nothing at all.
void ThumbnailRenderer::pump()
{
    // Copying would wait for a document being written and hold the window meanwhile: the queue goes on
    // once the writing is over.
    if (pdf::Document::isWritingUnderWay()) {
        if (!m_pumpAfterWriting) {
            m_pumpAfterWriting = true;
            pdf::Document::afterWriting(this, [this] {
                m_pumpAfterWriting = false;
                pump();
            });
        }
        return;
    }
    while (!m_waiting.empty() && m_inFlight < kMaxConcurrent + kCapturedAhead) {
        // A turn is timed only while pages are being copied. With the queue full there is nothing to
        // carry on with until a render finishes, which pumps again; re-arming the turn meanwhile would
        // keep the main thread spinning for as long as pages wait.
        if (!m_turn.isValid()) {
            m_turn.start();
            QTimer::singleShot(0, this, [this] {
                m_turn.invalidate();
                pump();
            });
        }
        if (m_turn.elapsed() >= kCaptureSliceMs)
            return; // the next turn carries on
        const std::shared_ptr<Job> job = m_waiting.front();
        m_waiting.pop_front();
        const pdf::PagePtr page = job->page.lock();
        if (job->state != Job::queued || !page) {
            if (m_pending.value(job->key) == job)
                m_pending.remove(job->key);
            continue;
        }
        start(job, page);
    }
}

void ThumbnailRenderer::start(const std::shared_ptr<Job>& job, const pdf::PagePtr& page)
{
    // Only the copy is made here; interpreting the page (annotations included) happens on the queue
    // under the budget, so a page that takes minutes never holds up the grid.
    std::shared_ptr<pdf::PageCapture> capture = pdf::PageCapture::take(*page, true);
    if (!capture) {
        deliver(job->key, job, page, placeholder(pixelSize(page->displaySize(), requestedScale(job->itemWidth, page->displaySize())),
                                                 pdf::RecordOutcome::failed));
        return;
    }
    const QSizeF display = page->displaySize();
    const double requested = requestedScale(job->itemWidth, display);
    const RenderFunction render = m_render;
    const pdf::RecordBudget budget = m_budget;
    ThumbnailRenderer* owner = this;
    ++m_inFlight;
    // The worker holds the copy, the job and the render function, never the organizer or the document.
    m_queue.start([owner, link = m_link, job, capture, display, requested, render, budget] {
        QImage image;
        bool givenUp = false;
        pdf::RecordOutcome why = pdf::RecordOutcome::failed;
        const QSize size = pixelSize(display, requested);
        if (job->begin() && !size.isEmpty()) {
            const double scale = std::min(kMaxPixelSide / std::max(display.width(), display.height()), requested);
            // Drawing the recording decodes the page's images, which may cost as much as recording it.
            const pdf::RecordResult recorded = capture->record(budget, &job->cancel);
            why = recorded.outcome;
            if (recorded.snapshot) {
                const pdf::DrawResult drawn = render(*recorded.snapshot, scale, size, budget, job->cancel);
                image = drawn.image;
                why = drawn.outcome;
            }
            givenUp = image.isNull() && why != pdf::RecordOutcome::cancelled;
        }
        // The card face is made here too: scaling the picture down to the card on the main thread held
        // the window for a millisecond or more per card coming into sight. Painting reads the application's
        // fonts, so it happens only while the renderer is there: after it, the application may be ending.
        QImage face;
        link->whileOpen([&] {
            if (givenUp)
                image = placeholder(size, why);
            if (!image.isNull() && job->facePixelRatio > 0) {
                const QSize card = PageCell::cardSize(organizerItemSize(job->itemWidth),
                                                      QSize(image.width() / 2, image.height() / 2));
                face = PageCell::makeFace(image, card, job->facePixelRatio);
            }
        });
        // Dropped when the renderer is gone, now or before the main thread gets to it.
        link->post([owner, job, image, face] {
            --owner->m_inFlight;
            if (!image.isNull())
                owner->deliver(job->key, job, job->page, image, face);
            else if (owner->m_pending.value(job->key) == job)
                owner->m_pending.remove(job->key);
            owner->pump();
        });
    });
}

QImage ThumbnailRenderer::placeholder(QSize size, pdf::RecordOutcome why)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(236, 236, 236));
    QPainter painter(&image);
    painter.setPen(QColor(96, 96, 96));
    QFont font = painter.font();
    font.setPixelSize(std::max(8, size.width() / 14));
    painter.setFont(font);
    const QString message = why == pdf::RecordOutcome::tooSlow    ? tr("Too slow to draw")
                            : why == pdf::RecordOutcome::tooLarge ? tr("Too large to draw")
                                                                  : tr("Cannot be drawn");
    painter.drawText(QRect(QPoint(0, 0), size).adjusted(6, 6, -6, -6), Qt::AlignCenter | Qt::TextWordWrap, message);
    return image;
}

void ThumbnailRenderer::deliver(const QString& key, const std::shared_ptr<Job>& job,
                                const std::weak_ptr<pdf::Page>& weakPage, QImage image, QImage face)
{
    if (m_pending.value(key) == job)
        m_pending.remove(key);
    const pdf::PagePtr page = weakPage.lock();
    if (!page)
        return;
    // The annotations were drawn on the queue with the page.
    auto* thumbnail = new Thumbnail{image, QSize(image.width() / 2, image.height() / 2), face};
    const Thumbnail copy = *thumbnail;
    m_cache.insert(key, thumbnail, cost(image.size()) + cost(face.size()));
    if (m_deliver)
        m_deliver(key, copy);
}

void ThumbnailRenderer::cancel(const QString& key)
{
    if (auto job = m_pending.take(key))
        job->cancelIfQueued();
}

void ThumbnailRenderer::cancelAll()
{
    for (const auto& job : std::as_const(m_pending))
        job->cancelIfQueued();
    m_pending.clear();
}

} // namespace vmk::views
