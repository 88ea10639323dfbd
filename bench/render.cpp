// Draws every page of a document at 96 dpi the way the page view does, and `mutool draw` of the same file
// at the same resolution as the reference, in alternating pairs in one run. The view's way: the page is
// handed to the drawing side as the view hands it (PageCapture::takeToDraw, on the thread that owns the
// document), interpreted into a display list under the view's budget on the worker, then drawn tile by tile
// into pooled bitmaps in the pixel format the view paints. Once on one thread (against mutool's CPU), then
// with eight workers (against mutool's clock and CPU).
//
// Usage: bench_render [file.pdf]   (default: a generated file of 50 text pages)

#include "BenchSupport.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdfview/BitmapPool.h"
#include "platform/pdfview/WorkerPool.h"

#include <QApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <condition_variable>

using namespace vmk::pdf;
using vmk::pdfview::BitmapPool;
using vmk::pdfview::kTileSize;

namespace {

constexpr int kDpi = 96;
constexpr double kScale = kDpi / 72.0;
constexpr int kWorkers = 8;

QString generate(const QTemporaryDir& dir, int pages)
{
    const QString path = dir.filePath(QStringLiteral("bench-render.pdf"));
    QPdfWriter writer(path);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(11);
    vmk::bench::paintPages(writer, pages, QPageSize::Letter, [&](QPainter& painter, int p) {
        painter.setFont(font);
        for (int line = 0; line < 55; ++line)
            painter.drawText(60, 60 + line * 12,
                             QStringLiteral("Page %1, line %2: the quick brown fox jumps over the lazy dog, 0123456789.")
                                 .arg(p + 1).arg(line + 1));
    });
    return path;
}

// Interprets a taken page and draws all of its tiles, as the view's workers do; false when any step fails.
bool drawCaptured(const std::shared_ptr<PageCapture>& capture, const RecordBudget& budget)
{
    if (!capture)
        return false;
    const RecordResult recorded = capture->record(budget);
    if (!recorded.snapshot)
        return false;
    const QSizeF size = recorded.snapshot->displaySize() * kScale;
    const int width = int(std::ceil(size.width())), height = int(std::ceil(size.height()));
    for (int y = 0; y < height; y += kTileSize) {
        for (int x = 0; x < width; x += kTileSize) {
            const QRect tile = QRect(x, y, kTileSize, kTileSize).intersected(QRect(0, 0, width, height));
            QImage image = BitmapPool::acquire(tile.size());
            if (recorded.snapshot->renderInto(image, kScale, tile, budget) != RecordOutcome::recorded)
                return false;
        }
    }
    return true;
}

bool drawAllOnOneThread(const QString& path)
{
    Result<DocumentPtr> doc = Document::fromFile(path);
    if (!doc)
        return false;
    for (int i = 0; i < (*doc)->pageCount(); ++i)
        if (!drawCaptured(PageCapture::takeToDraw(*(*doc)->page(i), true), RecordBudget{}))
            return false;
    return true;
}

bool drawAllWithWorkers(const QString& path)
{
    Result<DocumentPtr> doc = Document::fromFile(path);
    if (!doc)
        return false;
    vmk::pdfview::WorkerPool pool(QStringLiteral("bench.render"), kWorkers);
    std::mutex mutex;
    std::condition_variable done;
    int left = (*doc)->pageCount();
    std::atomic_bool ok{true};
    // The view's own thread hands each page over, the pages it asks for in one paint together; the workers
    // take it from there.
    {
        const vmk::pdfview::WorkerPool::Batch together(pool);
        for (int i = 0; i < (*doc)->pageCount(); ++i) {
            std::shared_ptr<PageCapture> capture = PageCapture::takeToDraw(*(*doc)->page(i), true);
            pool.start([&, capture] {
                if (!drawCaptured(capture, RecordBudget{}))
                    ok = false;
                std::lock_guard lock(mutex);
                if (--left == 0)
                    done.notify_all();
            }, 0, i);
        }
    }
    std::unique_lock lock(mutex);
    done.wait(lock, [&] { return left == 0; });
    return ok;
}

// The first touches of fresh memory this process took so far: on a virtual machine each costs about as
// much as drawing into the page it maps, and eight workers take more of them than one thread.
long pageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Tiles are drawn for a view that stays open, whose buffers wait for reuse.
    const BitmapPool::Use openView;
    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : generate(dir, 50);
    const int pages = [&] {
        Result<DocumentPtr> doc = Document::fromFile(path);
        return doc ? (*doc)->pageCount() : 0;
    }();
    std::printf("render: %s, %d pages at %d dpi\n", qPrintable(QFileInfo(path).fileName()), pages, kDpi);
    auto mutool = [&] {
        return vmk::bench::timeProgram(QStringLiteral("mutool"),
                                       {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-r"),
                                        QString::number(kDpi), path});
    };
    // For a profiler: one side alone, five times (VMK_BENCH_RENDER_RUNS), without the reference, with the
    // page faults of each run.
    if (const QByteArray only = qgetenv("VMK_BENCH_RENDER_ONLY"); !only.isEmpty()) {
        const bool single = only == "single";
        const int runs = std::max(1, qEnvironmentVariableIntValue("VMK_BENCH_RENDER_RUNS"));
        for (int run = 0; run < (qEnvironmentVariableIsSet("VMK_BENCH_RENDER_RUNS") ? runs : 5); ++run) {
            const long faults = pageFaults();
            const vmk::bench::Cost cost =
                vmk::bench::timeHere([&] { return single ? drawAllOnOneThread(path) : drawAllWithWorkers(path); });
            std::printf("%s: %.3f s wall, %.3f s CPU, %.2f ms CPU per page, %ld page faults\n",
                        single ? "1 thread" : "8 workers", cost.wall, cost.cpu, 1000 * cost.cpu / std::max(pages, 1),
                        pageFaults() - faults);
        }
        return 0;
    }
    const int pairs = vmk::bench::pairsToRun();
    const vmk::bench::Comparison single =
        vmk::bench::alternate(pairs, mutool, [&] { return vmk::bench::timeHere([&] { return drawAllOnOneThread(path); }); });
    vmk::bench::report("draw, 1 thread", "mutool draw", single, "CPU <= 1.10");
    const vmk::bench::Comparison workers =
        vmk::bench::alternate(pairs, mutool, [&] { return vmk::bench::timeHere([&] { return drawAllWithWorkers(path); }); });
    vmk::bench::report("draw, 8 workers", "mutool draw", workers, "wall <= 0.30, CPU <= 1.30");
    return single.ok() && workers.ok() ? 0 : 1;
}
