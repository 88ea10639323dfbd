// Searching a long text document through the Editor of a window on screen (its canvas and its results list),
// as the search field does: time from a cold open to the last hit and to the first, the longest the main
// thread was held up meanwhile (and the longest event, with the processor time it took), and
// the memory the page text keeps. The reference, in alternating pairs in the same run: `mutool draw -F txt`
// extracting the same file's text.
//
// Goals: last hit <= 0.3x mutool's wall time and <= 1.0x its CPU; first hit < 150 ms; main thread never
// blocked > 50 ms. The process's own resident memory (not the pages of its libraries) is shown before
// opening, at the last hit and after closing (once the document's release, its copies' and the heap trim
// after them are over), with the page texts still alive after closing (none should be).
// Usage: bench_search [file.pdf word]   (without a file, a 1,053-page report of varied text and pictures
// is generated once and kept in the temporary folder)

#include "platform/services/ThreadStarter.h"
#include "platform/pdfview/WorkerPool.h"
#include "platform/pdf/engine/DrawScratch.h"
#include "BenchSupport.h"
#include "TimedApplication.h"

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/TextLayout.h"
#include "platform/pdf/pages/TextReader.h"
#include "platform/services/HeapTrim.h"
#include "panels/SearchSidebar.h"
#include "platform/services/UserDefaults.h"
#include "views/PDFCanvasView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>

namespace {

using vmk::bench::threadCpuMs;
using vmk::bench::TimedApplication;

const QStringList kWords = QStringLiteral(
    "the of and to in is that for it as was with be by on not he this are or his from at which but have an they "
    "you were her all she there would their we him been has when who will more no if out so said what up its "
    "about into than them can only other new some could time these two may then do first any my now such like "
    "our over man me even most made after also did many before must through back years where much your way well "
    "down should because each just those people how too little state good very make world still own see men work "
    "long get here between both life being under never day same another know while last might us great old year "
    "off come since against go came right used take three council budget harbour railway committee survey "
    "measurement river treaty engine weather orchard library hospital quarterly estimate inspection tariff")
                                  .split(QLatin1Char(' '));

QString sentence(QRandomGenerator& random)
{
    return vmk::bench::sentence(random, kWords, 6, 14);
}

// A report of chapters: headings, justified paragraphs in two sizes, now and then a picture or a table of
// figures. The word "zephyrine" turns up on every tenth page and on the last one.
QString makeReport(int pages)
{
    const QString path = QDir::temp().filePath(QStringLiteral("vmk-bench-search-%1.pdf").arg(pages));
    if (QFile::exists(path))
        return path;
    QPdfWriter writer(path);
    writer.setTitle(QStringLiteral("Annual survey"));
    QRandomGenerator random(1053);
    const QFont body(QStringLiteral("DejaVu Serif"), 10);
    const QFont heading(QStringLiteral("DejaVu Sans"), 16, QFont::Bold);
    const QFont small(QStringLiteral("Liberation Sans"), 8);
    vmk::bench::paintPages(writer, pages, QPageSize::A4, [&](QPainter& p, int page) {
        double y = 60;
        if (page % 12 == 0) {
            p.setFont(heading);
            p.drawText(QRectF(60, y, 475, 30), QStringLiteral("Chapter %1: %2").arg(page / 12 + 1).arg(sentence(random)));
            y += 50;
        }
        while (y < 760) {
            const int kind = int(random.bounded(10));
            if (kind == 0 && y < 560) {
                QImage picture(320, 180, QImage::Format_RGB32);
                QPainter ip(&picture);
                QLinearGradient gradient(0, 0, 320, 180);
                gradient.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 120, 220));
                gradient.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
                ip.fillRect(picture.rect(), gradient);
                for (int k = 0; k < 12; ++k)
                    ip.fillRect(int(random.bounded(300)), int(random.bounded(160)), 20, 20, QColor::fromRgb(random.generate()));
                ip.end();
                p.drawImage(QRectF(60, y, 320, 180), picture);
                p.setFont(small);
                p.drawText(QRectF(60, y + 184, 475, 14), QStringLiteral("Figure %1. %2").arg(page).arg(sentence(random)));
                y += 210;
            } else if (kind == 1 && y < 640) {
                p.setFont(small);
                for (int row = 0; row < 6; ++row)
                    for (int col = 0; col < 5; ++col)
                        p.drawText(QPointF(60 + col * 95, y + row * 13),
                                   QString::number(random.bounded(100000) / 100.0, 'f', 2));
                y += 90;
            } else {
                p.setFont(body);
                QString paragraph;
                for (int s = 0, n = 3 + int(random.bounded(5)); s < n; ++s)
                    paragraph += sentence(random) + QLatin1Char(' ');
                if ((page % 10 == 0 || page == pages - 1) && y > 400)
                    paragraph += QStringLiteral("The zephyrine estimate stands.");
                const QRectF box(60, y, 475, 800 - y);
                QRectF used;
                p.drawText(box, Qt::TextWordWrap | Qt::AlignJustify, paragraph, &used);
                y += used.height() + 8;
            }
        }
    });
    return path;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

// The process's own memory in use: anonymous and shared-memory pages. Pages of the program's libraries and
// fonts read from disk (RssFile) are the system's file cache, which it drops and reads again at will: they
// grow as code runs for the first time, and say nothing of what a closed document left behind.
long residentKiB()
{
    return vmk::bench::statusKiB("RssAnon") + vmk::bench::statusKiB("RssShmem");
}

long fileBackedKiB()
{
    return vmk::bench::statusKiB("RssFile");
}

struct SearchRun {
    double seconds = 0;
    double firstHitSeconds = -1;
    int hits = 0;
    qint64 longestBlockMs = 0;
    double longestEventMs = 0; // the longest event, the processor time it took, and what it was
    double longestEventCpuMs = 0;
    QByteArray longestEvent;
    long beforeKiB = 0; // resident memory before opening
    long beforeFileKiB = 0, closedFileKiB = 0; // the libraries' and fonts' pages, before opening and after closing
    long openKiB = 0;   // at the last hit, the document still open
    long closedKiB = 0; // once the document is closed and its work has wound down
    int textsAfterClose = -1;
    double cpu = 0;  // seconds of CPU time, all threads
    double load = 0; // the one-minute load average as the run began
};

// Lets queued deletions and workers' hand-backs run, so that what a closed document held is let go.
void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// A closed document, the search's copies of it, the closed window's drawing and the rest of its file's
// reading still under way are let go of on workers, and what they freed is handed back after that: the
// level is read once all of it is over (or after ten seconds).
void waitForRelease(int trimsBefore)
{
    QElapsedTimer closing;
    closing.start();
    do {
        settle();
    } while ((vmk::pdf::Document::releasesUnderWay() > 0 || vmk::pdf::TextReader::openCopies() > 0 ||
              vmk::pdfview::WorkerPool::retiredCount() > 0 || vmk::pdf::Document::wholeFileReadsUnderWay() > 0 ||
              vmk::pdf::detail::drawScratchBytes() > 0 ||
              vmk::platform::heapTrimsDone() == trimsBefore || vmk::platform::isHeapTrimUnderWay()) &&
             closing.elapsed() < 10000);
}

SearchRun searchOnce(TimedApplication& app, const QString& path, const QString& word,
                     vmk::platform::UserDefaults* defaults)
{
    SearchRun run;
    const int trimsBefore = vmk::platform::heapTrimsDone();
    run.beforeKiB = residentKiB();
    run.beforeFileKiB = fileBackedKiB();
    run.load = loadAverage();
    double cpuBefore = 0;
    QElapsedTimer timer;
    {
        // Opened as a window opens a file: its canvas is already on screen when the clock starts, and the
        // file is read as the window reads it.
        vmk::core::VMKDocument document;
        document.setPdf(vmk::pdf::Document::createEmpty());
        vmk::Editor editor(&document, [] { return std::make_unique<vmk::views::PDFCanvasView>(); }, nullptr, defaults);
        auto* canvas = static_cast<vmk::views::PDFCanvasView*>(editor.pdfView());
        canvas->resize(900, 1000);
        canvas->show();
        // The results list beside it, as the window shows it while a search runs.
        vmk::panels::SearchSidebar sidebar(&editor);
        sidebar.resize(260, 1000);
        sidebar.show();
        QApplication::processEvents();
        cpuBefore = cpuSeconds();
        timer.start();
        if (document.openFile(path))
            return run;
        editor.attachDocument(false);

        // The main thread's longest stall: a 5 ms ticker notes the widest gap between its ticks.
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            run.longestBlockMs = std::max(run.longestBlockMs, sinceTick.restart());
        });
        ticker.start(5);
        sinceTick.restart();

        QEventLoop loop;
        QObject::connect(&editor, &vmk::Editor::isSearchingChanged, &loop, [&] {
            if (!editor.isSearching())
                loop.quit();
        });
        QObject::connect(&editor, &vmk::Editor::searchHitsChanged, &loop, [&] {
            if (run.firstHitSeconds < 0 && !editor.searchHits().isEmpty())
                run.firstHitSeconds = timer.elapsed() / 1000.0;
        });
        app.restart();
        app.timing = true;
        editor.search(word);
        loop.exec();
        app.timing = false;
        run.longestEventMs = app.longestMs;
        run.longestEventCpuMs = app.longestCpuMs;
        run.longestEvent = app.longestWhat;
        run.seconds = timer.elapsed() / 1000.0;
        run.cpu = cpuSeconds() - cpuBefore;
        run.longestBlockMs = std::max(run.longestBlockMs, sinceTick.elapsed());
        run.hits = int(editor.searchHits().size());
        run.openKiB = residentKiB();
    }
    waitForRelease(trimsBefore);
    run.closedKiB = residentKiB();
    run.closedFileKiB = fileBackedKiB();
    run.textsAfterClose = vmk::pdf::TextLayout::liveCount();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    TimedApplication app(argc, argv);
    vmk::platform::prepareThreadStarter(); // as the application does at launch
    const QString path = argc > 2 ? QString::fromLocal8Bit(argv[1]) : makeReport(1053);
    const QString word = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("zephyrine");
    QTemporaryDir settings;
    vmk::platform::UserDefaults defaults(settings.filePath(QStringLiteral("defaults.ini")));
    // The document opened for its page count is let go of as any other, on workers and through the event
    // loop: the first run's level before opening, and its window's thread, must not carry that release.
    const int trimsBefore = vmk::platform::heapTrimsDone();
    const int pages = [&] {
        auto doc = vmk::pdf::Document::fromFile(path);
        return doc && doc.value() ? doc.value()->pageCount() : 0;
    }();
    waitForRelease(trimsBefore);

    std::vector<SearchRun> runs;
    const vmk::bench::Comparison c = vmk::bench::alternate(
        vmk::bench::pairsToRun(),
        [&] {
            return vmk::bench::timeProgram(QStringLiteral("mutool"), {QStringLiteral("draw"), QStringLiteral("-q"),
                                                                      QStringLiteral("-F"), QStringLiteral("txt"),
                                                                      QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                                                      path});
        },
        [&] {
            runs.push_back(searchOnce(app, path, word, &defaults));
            const SearchRun& run = runs.back();
            return run.hits > 0 ? vmk::bench::Cost{run.seconds, run.cpu} : vmk::bench::Cost{};
        });
    std::printf("file=%s pages=%d word=\"%s\" hits=%d threads=%d\n", qPrintable(QFileInfo(path).fileName()), pages,
                qPrintable(word), runs.empty() ? 0 : runs.front().hits, QThreadPool::globalInstance()->maxThreadCount());
    const QByteArray name = QStringLiteral("search, open to last hit, %1 pages").arg(pages).toUtf8();
    vmk::bench::report(name.constData(), "mutool draw -F txt", c, "wall <= 0.30, CPU <= 1.00");
    if (runs.empty())
        return 1;
    std::vector<double> firsts;
    qint64 stall = 0;
    const SearchRun* longest = &runs.front();
    for (const SearchRun& run : runs) {
        firsts.push_back(run.firstHitSeconds * 1000);
        stall = std::max(stall, run.longestBlockMs);
        if (run.longestEventMs > longest->longestEventMs)
            longest = &run;
    }
    vmk::bench::reportFigure("search, open to first hit (median)", vmk::bench::median(firsts), "ms", "< 150 ms");
    vmk::bench::reportFigure("search, longest main-thread stall", double(stall), "ms", "<= 50 ms");
    std::printf("longest main-thread event: %.1f ms, %.1f ms of it on the processor (%s)\n", longest->longestEventMs,
                longest->longestEventCpuMs, longest->longestEvent.constData());
    const SearchRun& first = runs.front();
    const SearchRun& last = runs.back();
    std::printf("resident memory of our own, first run: %ld KiB before opening, +%ld KiB at the last hit, %+ld KiB after "
                "closing (page texts left: %d); pages of files mapped: %ld KiB before the first run, %+ld KiB after "
                "the last\n", first.beforeKiB, first.openKiB - first.beforeKiB, first.closedKiB - first.beforeKiB,
                first.textsAfterClose, first.beforeFileKiB, last.closedFileKiB - first.beforeFileKiB);
    vmk::bench::reportFigure("search, memory kept after closing", (last.closedKiB - runs.front().beforeKiB) / 1024.0,
                             "MiB", "<= 20 MiB");
    return c.ok() ? 0 : 1;
}
