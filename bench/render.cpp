// Renders every page of a multi-page PDF at 150 dpi through our PDF layer, and the same pages with
// `mutool draw` in the same run as the reference. Prints the time of each and the ratios, single-threaded
// and with one worker per core (display lists built on this thread, rendered by the workers).
//
// Usage: bench_render [file.pdf]   (default: a generated file of 50 text pages)

#include "BenchSupport.h"

#include "platform/pdf/Document.h"
#include "platform/pdf/Page.h"
#include "platform/pdf/PageSnapshot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstdio>

using namespace vmk::pdf;

namespace {

constexpr double kScale = 150.0 / 72.0;
constexpr int kRuns = 3;

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

double timeMutool(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QProcess mutool;
    mutool.start(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-r"),
                                            QStringLiteral("150"), path});
    if (!mutool.waitForFinished(600000) || mutool.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

double timeSingle(const QString& path, int* pages)
{
    QElapsedTimer timer;
    timer.start();
    Result<DocumentPtr> doc = Document::fromFile(path);
    if (!doc)
        return -1;
    *pages = (*doc)->pageCount();
    for (int i = 0; i < *pages; ++i)
        (*doc)->page(i)->render(kScale);
    return timer.nsecsElapsed() / 1e9;
}

double timeParallel(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    Result<DocumentPtr> doc = Document::fromFile(path);
    if (!doc)
        return -1;
    // Workers start on a page as soon as its recording exists, while this thread records the next.
    QList<QFuture<void>> renders;
    for (int i = 0; i < (*doc)->pageCount(); ++i) {
        std::shared_ptr<PageSnapshot> snapshot = (*doc)->page(i)->snapshot();
        renders.append(QtConcurrent::run([snapshot] { snapshot->render(kScale); }));
    }
    for (QFuture<void>& f : renders)
        f.waitForFinished();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : generate(dir, 50);
    const int cores = QThread::idealThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(cores);

    double mutool = 1e9, single = 1e9, parallel = 1e9;
    int pages = 0;
    for (int run = 0; run < kRuns; ++run) {
        mutool = std::min(mutool, timeMutool(path));
        single = std::min(single, timeSingle(path, &pages));
        parallel = std::min(parallel, timeParallel(path));
    }
    if (mutool <= 0 || single <= 0 || parallel <= 0) {
        std::fprintf(stderr, "bench_render: could not render %s (is mutool installed?)\n", qPrintable(path));
        return 1;
    }
    std::printf("render: %d pages at 150 dpi, best of %d runs\n", pages, kRuns);
    std::printf("  mutool draw          %7.3f s\n", mutool);
    std::printf("  layer, 1 thread      %7.3f s   ratio %.2f (goal <= 1.20)\n", single, single / mutool);
    std::printf("  layer, %2d workers    %7.3f s   ratio %.2f (goal < 1.00)\n", cores, parallel, parallel / mutool);
    return 0;
}
