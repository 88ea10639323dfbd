// Make Searchable itself, as the menu command runs it, on 16 scanned pages of varied text and pictures:
// with one recognition worker and with eight (the thread pool's size decides), against the tesseract
// command line reading the same page images one process at a time and eight processes at a time, each on
// one thread, in alternating rounds in the same run. Each run starts from nothing, its engines included,
// as the user's first command does.
//
// Goals: 8 workers >= 6x faster than 1 where 8 cores are free; per page no slower than tesseract, with one
// worker against one process and with eight against eight. The machine may be shared, and eight cores at
// work are each slower than one alone (shared caches, memory bandwidth, clock): each run notes the CPU time
// it used, and the reference's own scaling (eight processes that share nothing but the hardware) says what
// the machine gives, so that ours is judged against it, by the clock and by CPU time per page. The peak of
// the process's memory during the run, which the number of engines alive at once decides, is reported.
// Usage: bench_ocr [pages]   (default 16 pages; VMK_BENCH_PAIRS rounds, at least 3)

#include "BenchSupport.h"

#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "editor/LongTask.h"
#include "platform/ocr/RecognizerPool.h"
#include "platform/services/HeapTrim.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/services/UserDefaults.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QStringList kWords = QStringLiteral(
    "the of and to in is that for it as was with be by on not this are or from at which but have an they were "
    "all there would their been has when who will more if out so said what up its about into than them can only "
    "other new some could time these two may then first any now such like over even most made after also did "
    "many before must through back years where much way well down should because each just those people how "
    "little state good very make world still own see work long here between both life being under never day "
    "same another know while last might great old year come since against council budget harbour railway "
    "committee survey measurement river treaty engine weather orchard library hospital quarterly estimate")
                                  .split(QLatin1Char(' '));

QString sentence(QRandomGenerator& random)
{
    return vmk::bench::sentence(random, kWords, 6, 12);
}

// One scanned letter page at 200 dpi: a heading, paragraphs in two typefaces, sometimes a photo-like
// picture or a small table, light paper grain, and a slight skew as a feeder leaves it.
QImage scannedPage(int number, QRandomGenerator& random)
{
    QImage image(1700, 2200, QImage::Format_RGB32);
    image.fill(QColor(250, 249, 245));
    image.setDotsPerMeterX(7874);
    image.setDotsPerMeterY(7874);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(850, 1100);
    p.rotate((random.bounded(100) - 50) / 100.0);
    p.translate(-850, -1100);
    p.setPen(QColor(25, 25, 30));
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(52);
    heading.setBold(true);
    p.setFont(heading);
    p.drawText(QRectF(170, 150, 1360, 80), QStringLiteral("Section %1. %2").arg(number).arg(kWords[int(random.bounded(kWords.size()))]));
    double y = 280;
    while (y < 1950) {
        const int kind = int(random.bounded(8));
        if (kind == 0 && y < 1400) {
            QLinearGradient gradient(170, y, 900, y + 420);
            gradient.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 90, 200));
            gradient.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 160, 80));
            p.fillRect(QRectF(170, y, 760, 420), gradient);
            for (int k = 0; k < 30; ++k)
                p.fillRect(QRectF(170 + random.bounded(700), y + random.bounded(380), 40, 30), QColor::fromRgb(random.generate()));
            QFont caption(QStringLiteral("DejaVu Sans"));
            caption.setPixelSize(26);
            p.setFont(caption);
            p.drawText(QRectF(960, y, 570, 420), Qt::TextWordWrap, QStringLiteral("Figure %1: %2").arg(number).arg(sentence(random)));
            y += 460;
        } else if (kind == 1 && y < 1700) {
            QFont table(QStringLiteral("Liberation Sans"));
            table.setPixelSize(28);
            p.setFont(table);
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 4; ++col)
                    p.drawText(QPointF(170 + col * 330, y + 30 + row * 40),
                               QString::number(random.bounded(100000) / 100.0, 'f', 2));
            y += 240;
        } else {
            QFont body(random.bounded(2) ? QStringLiteral("DejaVu Serif") : QStringLiteral("Liberation Serif"));
            body.setPixelSize(31);
            p.setFont(body);
            QString paragraph;
            for (int s = 0, n = 2 + int(random.bounded(4)); s < n; ++s)
                paragraph += sentence(random) + QLatin1Char(' ');
            QRectF used;
            p.drawText(QRectF(170, y, 1360, 2050 - y), Qt::TextWordWrap, paragraph, &used);
            y += used.height() + 30;
        }
    }
    p.end();
    // Paper grain.
    for (int k = 0; k < 4000; ++k)
        image.setPixel(int(random.bounded(1700)), int(random.bounded(2200)), qRgb(200, 200, 195));
    return image;
}

QByteArray scannedPdf(int pages)
{
    QRandomGenerator random(16);
    return vmk::bench::paintedPdf(pages, QPageSize::Letter, [&](QPainter& p, int i) {
        p.drawImage(QRectF(0, 0, 612, 792), scannedPage(i + 1, random));
    });
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of each thread of this process so far, by thread id.
std::map<QString, double> threadCpuSeconds()
{
    std::map<QString, double> seconds;
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // After the name in parentheses: state is field 3, utime and stime fields 14 and 15.
        const QByteArray stat = file.readAll();
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            seconds[tid] = (fields[11].toDouble() + fields[12].toDouble()) / tick;
    }
    return seconds;
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

struct Timing {
    double wall = 0; // seconds
    double cpu = 0;  // seconds of CPU time, all threads
    double load = 0; // the one-minute load average as the run began
    double mainCpu = 0; // seconds of CPU time on the main thread (the part that does not scale)
    int workers = 1;
    double busiestWorkerCpu = 0; // seconds of CPU time of the worker thread that used most
    double meanWorkerCpu = 0;    // the same on average over the workers
    long peakMiB = 0;            // the process's resident peak during the run, from its start
    long startMiB = 0;           // resident as the run began
    long afterMiB = 0;           // resident once the command is over and has let go of what it held
    long closedMiB = 0;          // resident once the document is closed as well
};

// Resets the resident peak (VmHWM) to the resident size now, so that the next reading is this run's.
void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// Make Searchable over a fresh copy of the document with `workers` recognition workers.
Timing makeSearchable(const QByteArray& pdf, int workers, vmk::platform::UserDefaults* defaults, QString* toast)
{
    Timing timing;
    timing.load = loadAverage();
    timing.workers = workers;
    resetPeak();
    timing.startMiB = vmk::bench::statusKiB("VmRSS") / 1024;
    const double cpuBefore = cpuSeconds(RUSAGE_SELF);
    const double mainBefore = cpuSeconds(RUSAGE_THREAD);
    const std::map<QString, double> threadsBefore = threadCpuSeconds();
    vmk::DetachedRunner::taskPool().setMaxThreadCount(workers);
    auto ownedDocument = std::make_unique<vmk::core::VMKDocument>();
    vmk::core::VMKDocument& document = *ownedDocument;
    document.setPdf(vmk::pdf::Document::fromData(pdf).value());
    auto ownedEditor = std::make_unique<vmk::Editor>(&document, vmk::Editor::CanvasFactory{}, nullptr, defaults);
    vmk::Editor& editor = *ownedEditor;
    // A long document is first checked for text on a worker, and the reading starts after that; the run is
    // over when the reading has started and stopped again, or when the check found nothing to read.
    QEventLoop loop;
    bool started = false;
    QObject::connect(&editor, &vmk::Editor::progressChanged, &loop, [&] {
        started = started || editor.progress().has_value();
        if (started && !editor.progress())
            loop.quit();
    });
    QObject::connect(&editor, &vmk::Editor::toastChanged, &loop, [&] {
        if (!started && !editor.progress() && !editor.isCheckingForText())
            loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    editor.makeSearchable();
    started = editor.progress().has_value();
    if (started || editor.isCheckingForText())
        loop.exec();
    if (toast)
        *toast = editor.toast() ? editor.toast()->text : QString();
    timing.wall = timer.elapsed() / 1000.0;
    timing.cpu = cpuSeconds(RUSAGE_SELF) - cpuBefore;
    timing.mainCpu = cpuSeconds(RUSAGE_THREAD) - mainBefore;
    // Each worker's share, the main thread's aside: with a free core per worker the run lasts about as long
    // as the busiest worker works, so the share of the busiest shows how evenly the pages were spread.
    const QString mainThread = QString::number(gettid());
    double total = 0;
    for (const auto& [tid, after] : threadCpuSeconds()) {
        const auto before = threadsBefore.find(tid);
        const double used = after - (before == threadsBefore.end() ? 0 : before->second);
        if (tid == mainThread || used <= 0)
            continue;
        total += used;
        timing.busiestWorkerCpu = std::max(timing.busiestWorkerCpu, used);
    }
    timing.meanWorkerCpu = total / workers;
    // The user's memory once the command is over (its engines ended and the heaps trimmed, waited for up to
    // a few seconds; the document still open with the text it gained), then once the document is closed.
    const auto settle = [] {
        QElapsedTimer settling;
        settling.start();
        while (settling.elapsed() < 5000 &&
               (vmk::platform::recognizersAlive() > 0 || vmk::pdf::Document::releasesUnderWay() > 0 ||
                vmk::platform::isHeapTrimUnderWay() || settling.elapsed() < 200))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    settle();
    timing.afterMiB = vmk::bench::statusKiB("VmRSS") / 1024;
    ownedEditor.reset();
    ownedDocument.reset();
    settle();
    timing.peakMiB = vmk::bench::statusKiB("VmHWM") / 1024;
    timing.closedMiB = vmk::bench::statusKiB("VmRSS") / 1024;
    return timing;
}

// The tesseract command over each image, `parallel` processes at a time, in the language and page
// segmentation (automatic) Make Searchable uses, each process on one thread as our engines are. The CPU
// time is the processes' own as the kernel counted it. (Their peak memory is not told: a process started
// from this one inherits this one's peak.)
std::optional<Timing> referenceRun(const QStringList& images, const QString& outBase, int parallel)
{
    Timing run;
    run.load = loadAverage();
    run.workers = parallel;
    std::vector<std::string> environment{"OMP_THREAD_LIMIT=1"};
    for (char** e = environ; *e; ++e)
        if (strncmp(*e, "OMP_THREAD_LIMIT=", 17) != 0)
            environment.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const auto spawn = [&](int i) {
        // Each process writes its own output file, so that those running at once do not share one.
        std::vector<std::string> words{"tesseract", images[i].toStdString(),
                                       QStringLiteral("%1%2").arg(outBase).arg(i).toStdString(),
                                       "-l", "eng", "--psm", "3"};
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        return posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data()) == 0;
    };
    QElapsedTimer timer;
    timer.start();
    bool ok = true;
    int next = 0, running = 0;
    while (ok && (next < images.size() || running > 0)) {
        while (ok && running < parallel && next < images.size()) {
            ok = spawn(next++);
            running += ok;
        }
        int status = 0;
        rusage usage{};
        if (running == 0 || wait4(-1, &status, 0, &usage) <= 0)
            break;
        --running;
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        run.cpu += vmk::bench::seconds(usage.ru_utime) + vmk::bench::seconds(usage.ru_stime);
    }
    for (; running > 0; --running)
        wait(nullptr);
    posix_spawn_file_actions_destroy(&quiet);
    run.wall = timer.elapsed() / 1000.0;
    return ok ? std::optional<Timing>(run) : std::nullopt;
}

double medianOf(const QList<Timing>& runs, double (*field)(const Timing&))
{
    std::vector<double> values;
    for (const Timing& run : runs)
        values.push_back(field(run));
    return vmk::bench::median(values);
}

void printRuns(const char* what, const QList<Timing>& runs, int pages)
{
    for (const Timing& run : runs) {
        std::printf("  %s: %.2f s wall (%.2f s/page), CPU %.2f s/page, cores used %.1f, ", what, run.wall,
                    run.wall / pages, run.cpu / pages, run.cpu / std::max(run.wall, 1e-9));
        if (run.startMiB == 0) // a reference run
            std::printf("load %.1f\n", run.load);
        else
            std::printf("%speak %ld MiB (from %ld, after %ld, closed %ld), load %.1f\n",
                        run.workers > 1 ? qPrintable(QStringLiteral("busiest worker %1 s CPU, ").arg(run.busiestWorkerCpu, 0, 'f', 2)) : "",
                        run.peakMiB, run.startMiB, run.afterMiB, run.closedMiB, run.load);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : 16;
    constexpr int kWorkers = 8;
    QTemporaryDir dir;
    vmk::platform::UserDefaults defaults(dir.filePath(QStringLiteral("defaults.ini")));
    const QByteArray pdf = scannedPdf(pages);

    QStringList images;
    {
        auto opened = vmk::pdf::Document::fromData(pdf).value();
        // The reference reads the very images Make Searchable reads (300 dpi).
        for (int i = 0; i < pages; ++i) {
            const QString path = dir.filePath(QStringLiteral("page%1.png").arg(i));
            opened->page(i)->render(300.0 / 72.0, vmk::pdf::RenderOptions{false, {}}).save(path);
            images << path;
        }
    }
    // The reference the same two ways: one tesseract process at a time, and eight at once over the same pages.
    // What eight processes lose per page against one is what the machine itself loses when eight cores work
    // at once (shared caches, memory bandwidth, a lower clock); our own scaling is judged against that.
    const auto tesseract = [&](int parallel) { return referenceRun(images, dir.filePath(QStringLiteral("out")), parallel); };

    const int rounds = vmk::bench::pairsToRun();
    // Peaks are told from the process's level before its first command: a command that kept memory would
    // otherwise raise the next one's starting level and hide its peak.
    const long baselineMiB = vmk::bench::statusKiB("VmRSS") / 1024;
    QString toast1, toastN;
    QList<Timing> ones, manys, clis, cliManys;
    bool cliOk = true;
    // Rounds alternate the four, so that a change in the machine's load meets them alike.
    for (int r = 0; r < rounds && cliOk; ++r) {
        const std::optional<Timing> cli = tesseract(1);
        ones << makeSearchable(pdf, 1, &defaults, &toast1);
        const std::optional<Timing> cliMany = tesseract(kWorkers);
        manys << makeSearchable(pdf, kWorkers, &defaults, &toastN);
        cliOk = cli && cliMany;
        if (cliOk) {
            clis << *cli;
            cliManys << *cliMany;
        }
    }

    std::printf("pages=%d workers=1 vs %d; rounds=%d; cores=%d; engines allowed now=%d; %s\n", pages, kWorkers, rounds,
                QThread::idealThreadCount(), vmk::platform::recognitionEngineLimit(), qPrintable(toastN));
    printRuns("1 worker", ones, pages);
    printRuns("8 workers", manys, pages);
    if (cliOk) {
        printRuns("tesseract, 1 at a time", clis, pages);
        printRuns("tesseract, 8 at a time", cliManys, pages);
    }

    const auto ratios = [](const QList<Timing>& a, const QList<Timing>& b, double (*field)(const Timing&)) {
        std::vector<double> values;
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            values.push_back(field(a[i]) / std::max(field(b[i]), 1e-9));
        return vmk::bench::median(values);
    };
    const auto wall = [](const Timing& t) { return t.wall; };
    const auto cpu = [](const Timing& t) { return t.cpu; };
    const auto perPage = [pages](const QList<Timing>& ours, const QList<Timing>& reference) {
        vmk::bench::Comparison c;
        c.load = ours.front().load;
        for (qsizetype i = 0; i < ours.size() && i < reference.size(); ++i) {
            c.ours.push_back({ours[i].wall / pages, ours[i].cpu / pages});
            c.reference.push_back({reference[i].wall / pages, reference[i].cpu / pages});
        }
        return c;
    };
    if (cliOk) {
        vmk::bench::report("Make Searchable per page, 1 worker", "tesseract", perPage(ones, clis), "<= 1.00");
        vmk::bench::report("Make Searchable per page, 8 workers", "tesseract x8", perPage(manys, cliManys), "<= 1.00");
    } else {
        std::printf("tesseract CLI unavailable (install tesseract-ocr)\n");
    }
    const double speedUp = ratios(ones, manys, wall);
    vmk::bench::reportFigure("Make Searchable speed-up, 8 workers / 1", speedUp, "x", ">= 6 with 8 free cores");
    // Under load the clock understates scaling; CPU time per page shows whether workers cost more per page
    // than one worker does (contention), and CPU seconds per wall second how many cores the run got.
    vmk::bench::reportFigure("Make Searchable CPU per page, 8 workers / 1", ratios(manys, ones, cpu), "",
                             "as tesseract's");
    if (cliOk) {
        // The machine's own scaling, and ours against it round by round: eight processes that share nothing
        // but the hardware lose what the hardware loses, so whatever ours loses beyond that is ours.
        vmk::bench::reportFigure("tesseract speed-up, 8 at a time / 1", ratios(clis, cliManys, wall), "x", "reported");
        vmk::bench::reportFigure("tesseract CPU per page, 8 at a time / 1", ratios(cliManys, clis, cpu), "", "reported");
        std::vector<double> speedUps, cpuGrowths;
        for (qsizetype i = 0; i < clis.size(); ++i) {
            speedUps.push_back((ones[i].wall / manys[i].wall) / (clis[i].wall / cliManys[i].wall));
            cpuGrowths.push_back((manys[i].cpu / ones[i].cpu) / (cliManys[i].cpu / clis[i].cpu));
        }
        vmk::bench::reportFigure("Make Searchable speed-up against tesseract's", vmk::bench::median(speedUps), "",
                                 ">= 0.95");
        vmk::bench::reportFigure("Make Searchable CPU per page growth against tesseract's",
                                 vmk::bench::median(cpuGrowths), "", "<= 1.05");
    }
    const Timing& many = manys.back();
    // What the clock would show with a free core per worker: the busiest worker's CPU time is the critical
    // path, the main thread's part runs beside it.
    std::printf("speed-up with a free core per worker, uneven end included (estimate): %.1fx; cores used by 8 workers: "
                "%.1f; workers' CPU busiest %.2f s, mean %.2f s\n",
                medianOf(ones, [](const Timing& t) { return t.cpu; }) / std::max(many.mainCpu + many.busiestWorkerCpu, 1e-9),
                many.cpu / std::max(many.wall, 1e-9), many.busiestWorkerCpu, many.meanWorkerCpu);
    std::vector<double> above1, above8, kept;
    for (const Timing& run : ones) {
        above1.push_back(double(run.peakMiB - baselineMiB));
        kept.push_back(double(run.closedMiB - run.startMiB));
    }
    for (const Timing& run : manys) {
        above8.push_back(double(run.peakMiB - baselineMiB));
        kept.push_back(double(run.closedMiB - run.startMiB));
    }
    const double peak1 = vmk::bench::median(above1);
    const double peak8 = vmk::bench::median(above8);
    std::printf("memory before the first command: %ld MiB\n", baselineMiB);
    vmk::bench::reportFigure("Make Searchable peak memory above the start, 1 worker", peak1, "MiB", "reported");
    vmk::bench::reportFigure("Make Searchable peak memory above the start, 8 workers", peak8, "MiB", "reported");
    // What a command leaves behind once its document is closed: nothing of its engines or pages.
    vmk::bench::reportFigure("Make Searchable memory kept after closing (worst)", *std::max_element(kept.begin(), kept.end()),
                             "MiB", "<= 20 MiB");
    // What one more worker (an engine with its page) adds at the peak.
    std::printf("memory per added worker at the peak: about %.0f MiB (estimate used for the budget: %lld MiB)\n",
                (peak8 - peak1) / (kWorkers - 1), vmk::platform::kRecognizerBytes >> 20);
    return toast1 == toastN ? 0 : 1;
}
