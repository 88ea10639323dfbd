#pragma once

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/doc/UndoManager.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"
#include "views/PageOrganizerView.h"

#include <QByteArray>
#include <QSemaphore>
#include <QThread>
#include <QSizeF>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>

namespace vmk::test {

// A PDF of pages of the given size (points), each showing its number large and a few lines of text.
QByteArray numberedPdf(int pageCount, QSizeF pageSize = QSizeF(612, 792));

// A rasteriser that holds every render until released and records how many ran at once.
struct GatedRender {
    QSemaphore gate;
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::atomic<int> started{0};
    std::mutex mutex;
    std::set<QThread*> threads;

    views::ThumbnailRenderer::RenderFunction function()
    {
        return [this](const pdf::PageSnapshot& snapshot, double scale, QSize size, const pdf::RecordBudget& budget,
                      const pdf::RecordCancel& cancel) {
            {
                std::lock_guard lock(mutex);
                threads.insert(QThread::currentThread());
            }
            ++started;
            const int now = ++running;
            int seen = maxRunning.load();
            while (now > seen && !maxRunning.compare_exchange_weak(seen, now)) {
            }
            gate.acquire();
            --running;
            return views::ThumbnailRenderer::renderSnapshot(snapshot, scale, size, budget, cancel);
        };
    }
};

// An Editor over a numbered document (without a page canvas) and an organizer of one style shown
// offscreen.
struct OrganizerFixture {
    QTemporaryDir dir;
    platform::ManualScheduler scheduler;
    std::unique_ptr<platform::UserDefaults> defaults;
    std::unique_ptr<core::VMKDocument> document;
    std::unique_ptr<Editor> editor;
    std::unique_ptr<views::PageOrganizerView> organizer;

    explicit OrganizerFixture(int pageCount = 6, views::PageOrganizerView::Style style = views::PageOrganizerView::Style::grid,
                              QSize viewSize = QSize(900, 700));
    ~OrganizerFixture();

    pdf::DocumentPtr pdf() const { return document->pdf(); }
    pdf::PagePtr page(int index) const { return pdf()->page(index); }
    platform::UndoManager& undo() { return *document->undoManager(); }
    void endGroup() { undo().closeEventGroup(); }
    // Page numbers of the original pages in their current order (pages are told apart by identity).
    QList<int> order() const;
    QWidget* viewport() const;
    // Centre of an item in the collection's viewport.
    QPoint itemCentre(int index) const;
    void key(int key);
    // Waits (bounded) until no thumbnail render is pending.
    bool waitForThumbnails(int timeoutMs = 10000);

    QList<pdf::Page*> originalPages;
};

} // namespace vmk::test
