// Scrolling a long document through the PDF view: time to the first painted page, time per scroll
// step until the viewport is fully rendered, and resident memory along the way, which must stay flat
// however many pages have gone by. Times are reported against a reference measured in the same run:
// rendering the first page directly through the PDF layer on this thread.
//
// Usage: bench_scroll [file.pdf]   (without a file, a 1,000-page text document is generated)

#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdfview/PDFView.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <vector>

using vmk::pdfview::PDFView;

namespace {

QByteArray longDocument(int pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter(&writer);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(10);
    painter.setFont(font);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.drawText(QPointF(60, 60), QStringLiteral("Page %1").arg(page + 1));
        for (int line = 0; line < 50; ++line)
            painter.drawText(QPointF(60, 90 + line * 14),
                             QStringLiteral("Line %1 of page %2: the quick brown fox jumps over the lazy dog again.")
                                 .arg(line + 1)
                                 .arg(page + 1));
    }
    painter.end();
    return bytes;
}

long statusKiB(const char* field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Processes events until the view has every visible tile, and paints once more.
double waitRendered(PDFView& view)
{
    QElapsedTimer timer;
    timer.start();
    while (!view.isFullyRendered() && timer.elapsed() < 10000) {
        view.viewport()->repaint();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    view.viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    QByteArray data;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 1;
        }
        data = file.readAll();
    } else {
        data = longDocument(1000);
    }
    auto opened = vmk::pdf::Document::fromData(data);
    if (!opened) {
        std::fprintf(stderr, "cannot open the document: %s\n", qPrintable(opened.error()));
        return 1;
    }
    vmk::pdf::DocumentPtr document = *opened;

    PDFView view;
    view.resize(900, 1000);
    view.show();
    QApplication::processEvents();

    // Reference: the first page rendered directly at the scale the view will pick.
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
    std::printf("pages %d, viewport %dx%d, scale %.3f\n", document->pageCount(), view.viewport()->width(),
                view.viewport()->height(), view.scaleFactor());
    std::printf("first page painted: %.1f ms, of which laying out the pages %.1f ms (goal <= 100 ms); "
                "one page rendered directly: %.1f ms; ratio %.2f\n",
                firstPaintMs, layoutMs, referenceMs, firstPaintMs / referenceMs);

    // Scroll through everything, a viewport at a time, waiting for each position to be complete.
    std::vector<double> steps;
    std::vector<long> rss;
    std::size_t peakTiles = 0, peakTileBytes = 0;
    QScrollBar* bar = view.verticalScrollBar();
    const int step = view.viewport()->height();
    const int positions = bar->maximum() / step + 1;
    for (int i = 1; i <= positions; ++i) {
        bar->setValue(std::min(bar->maximum(), i * step));
        steps.push_back(waitRendered(view));
        peakTiles = std::max(peakTiles, view.cachedTileCount());
        peakTileBytes = std::max(peakTileBytes, view.cachedTileBytes());
        if (i % std::max(1, positions / 10) == 0)
            rss.push_back(statusKiB("VmRSS"));
    }
    std::vector<double> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (double s : steps)
        total += s;
    const double mean = steps.empty() ? 0 : total / steps.size();
    const double p95 = sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 95 / 100)];
    std::printf("scroll: %zu steps of %d px to the last page %d; per step mean %.1f ms (ratio %.2f), p95 %.1f ms "
                "(ratio %.2f)\n",
                steps.size(), step, view.currentPageIndex() + 1, mean, mean / referenceMs, p95, p95 / referenceMs);
    std::printf("tile cache: peak %zu tiles, %.1f MiB\n", peakTiles, peakTileBytes / 1048576.0);
    std::printf("resident memory at each tenth (MiB):");
    for (long kib : rss)
        std::printf(" %.0f", kib / 1024.0);
    std::printf("\npeak resident (VmHWM): %.0f MiB\n", statusKiB("VmHWM") / 1024.0);
    if (rss.size() >= 3) {
        const double growth = double(rss.back() - rss[1]) / 1024.0;
        std::printf("growth from the second tenth to the end: %.1f MiB (%s)\n", growth,
                    growth < 32 ? "flat" : "NOT flat");
    }
    return 0;
}
