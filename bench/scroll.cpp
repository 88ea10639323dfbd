// Scrolling a long document through the PDF view, top to bottom, against `mutool draw` of every page
// once at the same scale in the same run: processor time of the whole process (every thread) while
// scrolling, the longest time the main thread went without turning its event loop, time to the first
// painted page, and resident memory along the way, which must stay flat however many pages have gone
// by. Then the thumbnails of every page requested at once, as a grid asking for all of them does:
// the longest stall of the main thread until they are all in.
//
// Usage: bench_scroll [file.pdf]   (without a file, a 1,000-page document of varied text, pictures and
// drawings is generated; BENCH_SCROLL_PAGES=n makes it n pages)

#include "platform/services/ThreadStarter.h"
#include "BenchSupport.h"

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdfview/PDFView.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollBar>

#include "platform/pdf/pages/PageSnapshot.h"
#include "views/ThumbnailRenderer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using vmk::pdfview::PDFView;

namespace {

// Pages of several kinds, so that the view meets what real documents hold: running text in a few
// faces and sizes, two columns, a photograph-like picture, and vector drawings.
QByteArray longDocument(int pages)
{
    const QStringList faces{QStringLiteral("DejaVu Serif"), QStringLiteral("DejaVu Sans"),
                            QStringLiteral("DejaVu Sans Mono")};
    QImage photo(480, 320, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb((x * 255 / 480 + (x * y) % 37) & 255, (y * 255 / 320 + (x ^ y) % 29) & 255,
                                      ((x + y) * 3 + (x * 7919 + y * 104729) % 23) & 255));
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog; pack my box with five dozen "
                                            "liquor jugs. ");
    return vmk::bench::paintedPdf(pages, QPageSize::A4, [&](QPainter& painter, int page) {
        QFont font(faces[page % faces.size()]);
        font.setPixelSize(9 + page % 4);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(60, 50), QStringLiteral("Page %1").arg(page + 1));
        const int kind = page % 5;
        int top = 70;
        if (kind == 1) {
            painter.drawImage(QRectF(60, 70, 360, 240), photo);
            top = 330;
        } else if (kind == 3) {
            for (int i = 0; i < 400; ++i) {
                painter.setPen(QPen(QColor::fromHsv((i * 7 + page) % 360, 200, 200), 0.8));
                painter.drawLine(QPointF(60 + (i * 13) % 470, 70 + (i * 7) % 250),
                                 QPointF(60 + (i * 29) % 470, 70 + (i * 17) % 250));
            }
            painter.setBrush(QColor(40, 90, 160, 120));
            painter.drawEllipse(QRectF(200, 120, 180, 120));
            painter.setBrush(Qt::NoBrush);
            painter.setPen(Qt::black);
            top = 340;
        }
        const bool columns = kind == 2;
        const int lineHeight = font.pixelSize() + 4;
        for (int y = top; y < 800; y += lineHeight) {
            const QString line = sentence.mid((y / lineHeight) % 20) + sentence.left(20);
            if (columns) {
                painter.drawText(QPointF(50, y), line.left(48));
                painter.drawText(QPointF(310, y), line.mid(10, 48));
            } else {
                painter.drawText(QPointF(60, y), line.left(95));
            }
        }
    });
}

double processorSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// Processor time of `mutool draw` rendering every page once at the resolution, or -1.
double mutoolSeconds(const QString& path, double dpi, double* wall)
{
    const double before = processorSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    QProcess mutool;
    mutool.start(QStringLiteral("mutool"),
                 {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-r"), QString::number(dpi, 'f', 2), path});
    if (!mutool.waitForFinished(600000) || mutool.exitCode() != 0)
        return -1;
    *wall = timer.nsecsElapsed() / 1e9;
    return processorSeconds(RUSAGE_CHILDREN) - before;
}

// The longest time the main thread took to handle an event posted to it, in milliseconds: what input
// waits for at worst. A watchdog thread posts a probe 10 ms after the last one was handled and times
// its delivery, so a stall is seen to within 10 ms while the loop is woken only 100 times a second
// (a 2 ms timer cost the main thread more than the tiles it was watching).
class StallMeter {
public:
    StallMeter()
        : m_watchdog([this] { watch(); })
    {
    }
    ~StallMeter()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_watchdog.join();
    }
    // Forgets what was seen so far, including a probe waiting now (the caller's own long turn).
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_longest = 0;
        m_since = Clock::now();
    }
    double longest()
    {
        QApplication::processEvents(); // a probe stuck behind the last turn counts
        std::unique_lock lock(m_mutex);
        double longest = m_longest;
        if (m_probeOut && m_probePosted >= m_since)
            longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - m_probePosted).count());
        return longest;
    }

private:
    using Clock = std::chrono::steady_clock;
    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stop; }))
                break;
            m_probeOut = true;
            m_probePosted = Clock::now();
            const Clock::time_point posted = m_probePosted;
            lock.unlock();
            QMetaObject::invokeMethod(
                &m_receiver, // probes still queued go with the meter
                [this, posted] {
                    std::lock_guard handled(m_mutex);
                    if (posted >= m_since)
                        m_longest = std::max(m_longest,
                                             std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
                    m_probeOut = false;
                    m_wake.notify_all();
                },
                Qt::QueuedConnection);
            lock.lock();
            m_wake.wait(lock, [this] { return m_stop || !m_probeOut; });
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_probeOut = false;
    Clock::time_point m_probePosted;
    Clock::time_point m_since = Clock::now();
    double m_longest = 0;
    QObject m_receiver;
    std::thread m_watchdog; // last: starts once the rest is set up
};

// Runs the event loop until the view has every visible tile, painting as the application would: when
// tiles arrive, not on a timer. The loop sleeps between deliveries as the application's does (spinning
// it here would bill the main thread for polling that no user ever runs).
double waitRendered(PDFView& view)
{
    QElapsedTimer timer;
    timer.start();
    view.viewport()->update();
    if (!view.isFullyRendered()) {
        QEventLoop loop;
        auto check = [&] {
            if (view.isFullyRendered() || timer.elapsed() > 10000)
                loop.quit();
        };
        QObject::connect(&view, &PDFView::tilesRendered, &loop, check);
        // Pages that cannot be drawn deliver no tiles: their placeholders are seen by this coarse check.
        QTimer coarse;
        coarse.setInterval(100);
        QObject::connect(&coarse, &QTimer::timeout, &loop, check);
        coarse.start();
        loop.exec();
    }
    QApplication::processEvents(); // the paint the last tile asked for
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    vmk::platform::prepareThreadStarter(); // as the application does at launch

    QTemporaryDir dir;
    QString path;
    if (argc > 1) {
        path = QString::fromLocal8Bit(argv[1]);
    } else {
        path = dir.filePath(QStringLiteral("bench-scroll.pdf"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(longDocument(qEnvironmentVariableIntValue("BENCH_SCROLL_PAGES") > 0 ? qEnvironmentVariableIntValue("BENCH_SCROLL_PAGES") : 1000)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    auto opened = vmk::pdf::Document::fromFile(path);
    if (!opened) {
        std::fprintf(stderr, "cannot open the document: %s\n", qPrintable(opened.error()));
        return 1;
    }
    vmk::pdf::DocumentPtr document = *opened;

    PDFView view;
    view.resize(900, 1000);
    view.show();
    QApplication::processEvents();

    // Reference for the first paint: the first page rendered directly at the scale the view will pick.
    view.setAutoScales(true);
    QElapsedTimer timer;
    const double referenceScale = view.viewport()->width()
        / (document->page(0)->displaySize().width() + 2 * vmk::pdfview::PageLayout::kPageBreakMargin);
    document->page(0)->render(referenceScale); // warm up fonts and caches
    timer.start();
    const int referenceRuns = 5;
    for (int i = 0; i < referenceRuns; ++i)
        document->page(0)->render(referenceScale);
    const double referenceMs = timer.nsecsElapsed() / 1e6 / referenceRuns;

    timer.restart();
    view.setDocument(document);
    const double layoutMs = timer.nsecsElapsed() / 1e6;
    const double firstPaintMs = layoutMs + waitRendered(view);
    const double scale = view.scaleFactor() * std::max(1.0, view.viewport()->devicePixelRatioF());
    std::printf("pages %d, viewport %dx%d, scale %.3f\n", document->pageCount(), view.viewport()->width(),
                view.viewport()->height(), scale);
    std::printf("first page painted: %.1f ms, of which laying out the pages %.1f ms (goal <= 100 ms); "
                "one page rendered directly: %.1f ms; ratio %.2f\n",
                firstPaintMs, layoutMs, referenceMs, firstPaintMs / referenceMs);

    // The reference: every page drawn once by mutool at the view's scale.
    double mutoolWall = 0;
    const double mutoolCpu = mutoolSeconds(path, scale * 72.0, &mutoolWall);
    if (mutoolCpu <= 0) {
        std::fprintf(stderr, "bench_scroll: mutool draw failed (is mutool installed?)\n");
        return 1;
    }

    // Scroll through everything, a viewport at a time, waiting for each position to be complete.
    std::vector<double> steps;
    std::vector<long> rss;
    std::size_t peakTiles = 0, peakTileBytes = 0;
    QScrollBar* bar = view.verticalScrollBar();
    const int step = view.viewport()->height();
    const int positions = bar->maximum() / step + 1;
    const double cpuBefore = processorSeconds(RUSAGE_SELF);
    const double mainBefore = processorSeconds(RUSAGE_THREAD);
    QElapsedTimer wall;
    wall.start();
    double longestStall = 0;
    {
        StallMeter meter;
        for (int i = 1; i <= positions; ++i) {
            bar->setValue(std::min(bar->maximum(), i * step));
            steps.push_back(waitRendered(view));
            peakTiles = std::max(peakTiles, view.cachedTileCount());
            peakTileBytes = std::max(peakTileBytes, view.cachedTileBytes());
            if (i % std::max(1, positions / 10) == 0)
                rss.push_back(vmk::bench::statusKiB("VmRSS"));
        }
        longestStall = meter.longest();
    }
    const double scrollCpu = processorSeconds(RUSAGE_SELF) - cpuBefore;
    const double mainCpu = processorSeconds(RUSAGE_THREAD) - mainBefore;
    const double scrollWall = wall.nsecsElapsed() / 1e9;
    std::vector<double> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (double s : steps)
        total += s;
    const double mean = steps.empty() ? 0 : total / steps.size();
    const double p95 = sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 95 / 100)];
    std::printf("scroll: %zu steps of %d px to the last page %d; per step mean %.1f ms, p95 %.1f ms\n", steps.size(),
                step, view.currentPageIndex() + 1, mean, p95);
    std::printf("scroll top to bottom: processor %.2f s (wall %.2f s); mutool draw of every page at the same scale: "
                "processor %.2f s (wall %.2f s); ratio %.2f (goal <= 2.00)\n",
                scrollCpu, scrollWall, mutoolCpu, mutoolWall, scrollCpu / mutoolCpu);
    std::printf("of which the main thread: %.2f s (painting, layout, the event loop)\n", mainCpu);
    std::printf("longest main-thread stall while scrolling: %.1f ms (goal <= 50 ms)\n", longestStall);
    std::printf("tile cache: peak %zu tiles, %.1f MiB\n", peakTiles, peakTileBytes / 1048576.0);
    std::printf("resident memory at each tenth (MiB):");
    for (long kib : rss)
        std::printf(" %.0f", kib / 1024.0);
    std::printf("\npeak resident (VmHWM): %.0f MiB\n", vmk::bench::statusKiB("VmHWM") / 1024.0);
    if (rss.size() >= 3) {
        const double growth = double(rss.back() - rss[1]) / 1024.0;
        std::printf("growth from the second tenth to the end: %.1f MiB (%s)\n", growth,
                    growth < 32 ? "flat" : "NOT flat");
    }

    // Thumbnails of every page asked for at once, at the grid's item width.
    {
        vmk::views::ThumbnailRenderer thumbnails(qint64(160) << 20);
        int delivered = 0;
        QEventLoop loop;
        thumbnails.setDeliveryHandler([&](const QString&, const vmk::views::Thumbnail&) {
            if (++delivered >= document->pageCount())
                loop.quit();
        });
        StallMeter meter;
        QElapsedTimer fill;
        fill.start();
        double longestCall = 0;
        for (int i = 0; i < document->pageCount(); ++i) {
            QElapsedTimer call;
            call.start();
            const vmk::pdf::PagePtr page = document->page(i);
            thumbnails.schedule(page, vmk::views::ThumbnailRenderer::thumbnailKey(*page, 0, 150), 150);
            longestCall = std::max(longestCall, call.nsecsElapsed() / 1e6);
        }
        const double askingMs = fill.nsecsElapsed() / 1e6;
        meter.reset(); // asking for every page is one turn of the loop, as in the grid
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        if (delivered < document->pageCount())
            loop.exec();
        std::printf("thumbnails: %d of %d in %.2f s; asking for all took %.1f ms (longest single request %.2f ms); "
                    "longest main-thread stall %.1f ms (goal <= 50 ms)\n",
                    delivered, document->pageCount(), fill.nsecsElapsed() / 1e9, askingMs, longestCall,
                    meter.longest());
    }
    return 0;
}
