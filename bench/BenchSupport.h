#pragma once

// Helpers every benchmark program shares (header only: each .cpp here is a program of its own).

#include <QBuffer>
#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QFont>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QStringList>

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace vmk::bench {

// Draws `pages` pages of a standard size into the writer, in points (72 per inch) without margins;
// `paint` draws page `page` (0-based).
inline void paintPages(QPdfWriter& writer, int pages, QPageSize::PageSizeId size,
                       const std::function<void(QPainter& painter, int page)>& paint)
{
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(size), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        paint(painter, page);
    }
    painter.end();
}

// The same, as the bytes of a file in memory.
inline QByteArray paintedPdf(int pages, QPageSize::PageSizeId size,
                             const std::function<void(QPainter& painter, int page)>& paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    paintPages(writer, pages, size, paint);
    return bytes;
}

// A text document of `pages` A4 pages of 50 lines each, written as `name` in dir; what the benchmarks
// use when they are given no files of their own.
inline QString linedDocument(const QTemporaryDir& dir, const QString& name, int pages)
{
    const QString path = dir.filePath(name);
    QPdfWriter writer(path);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(10);
    paintPages(writer, pages, QPageSize::A4, [&](QPainter& painter, int page) {
        painter.setFont(font);
        for (int line = 0; line < 50; ++line)
            painter.drawText(QPointF(60, 90 + line * 14),
                             QStringLiteral("Line %1 of page %2: the quick brown fox jumps over the lazy dog.")
                                 .arg(line + 1)
                                 .arg(page + 1));
    });
    return path;
}

// The files named on the command line, or a 1,000-page lined document made in dir when there are none.
inline QStringList filesOrLinedDocument(int argc, char** argv, const QTemporaryDir& dir, const QString& name)
{
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files << QString::fromLocal8Bit(argv[i]);
    if (files.isEmpty())
        files << linedDocument(dir, name, 1000);
    return files;
}

// A field of /proc/self/status in KiB (VmRSS: resident now, VmHWM: the peak), or -1.
inline long statusKiB(const char* field)
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

// A sentence of `shortest` to `shortest + spread - 1` words drawn from `words`, capitalised, with a full stop.
inline QString sentence(QRandomGenerator& random, const QStringList& words, int shortest, int spread)
{
    QStringList picked;
    for (int i = 0, n = shortest + int(random.bounded(spread)); i < n; ++i)
        picked << words[int(random.bounded(int(words.size())))];
    picked[0][0] = picked[0][0].toUpper();
    return picked.join(QLatin1Char(' ')) + QLatin1Char('.');
}

// --- Timing against a reference tool ------------------------------------------------------------------

// What a piece of work cost: seconds on the clock and seconds of processor time (all threads).
struct Cost {
    double wall = -1;
    double cpu = -1;
    bool ok() const { return wall >= 0; }
};

inline double seconds(const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; }

inline double processCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Times `work` in this process: the clock and this process's processor time, every thread's.
inline Cost timeHere(const std::function<bool()>& work)
{
    const double cpu = processCpu();
    QElapsedTimer clock;
    clock.start();
    const bool ok = work();
    Cost cost{clock.nsecsElapsed() / 1e9, processCpu() - cpu};
    return ok ? cost : Cost{};
}

// Runs a program to its end, its output thrown away, and times it: the clock and the child's processor time
// as the kernel counted it. Not ok when it cannot start or fails.
inline Cost timeProgram(const QString& program, const QStringList& arguments)
{
    std::vector<std::string> words{program.toStdString()};
    for (const QString& a : arguments)
        words.push_back(a.toStdString());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {};
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return {clock.nsecsElapsed() / 1e9, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

// Ours against the reference in alternating pairs (reference first, then ours, `pairs` times), so that a
// change in the machine's load meets both alike. The ratios are medians of the pairs' own ratios.
struct Comparison {
    std::vector<Cost> ours, reference;
    double load = -1;
    bool ok() const { return !ours.empty() && ours.size() == reference.size(); }
    double wall() const { return pick([](const Cost& c) { return c.wall; }, ours); }
    double cpu() const { return pick([](const Cost& c) { return c.cpu; }, ours); }
    double referenceWall() const { return pick([](const Cost& c) { return c.wall; }, reference); }
    double referenceCpu() const { return pick([](const Cost& c) { return c.cpu; }, reference); }
    double wallRatio() const { return ratio([](const Cost& c) { return c.wall; }); }
    double cpuRatio() const { return ratio([](const Cost& c) { return c.cpu; }); }

private:
    template <typename Field>
    static double pick(Field field, const std::vector<Cost>& costs)
    {
        std::vector<double> v;
        for (const Cost& c : costs)
            v.push_back(field(c));
        return median(v);
    }
    template <typename Field>
    double ratio(Field field) const
    {
        std::vector<double> v;
        for (size_t i = 0; i < ours.size() && i < reference.size(); ++i)
            if (field(reference[i]) > 0)
                v.push_back(field(ours[i]) / field(reference[i]));
        return median(v);
    }
};

inline Comparison alternate(int pairs, const std::function<Cost()>& reference, const std::function<Cost()>& ours)
{
    Comparison result;
    result.load = loadAverage();
    for (int i = 0; i < pairs; ++i) {
        const Cost r = reference();
        const Cost o = ours();
        if (!r.ok() || !o.ok())
            return {};
        result.reference.push_back(r);
        result.ours.push_back(o);
    }
    return result;
}

// One row of the summary table that bench/run.sh gathers from every benchmark (lines starting "TABLE|"),
// and the same in words. `goal` says what the row is held to.
inline void report(const char* name, const char* reference, const Comparison& c, const char* goal)
{
    if (!c.ok()) {
        std::printf("%s: could not be measured (is %s installed?)\n", name, reference);
        std::printf("TABLE|%s|-|-|%s|-|-|-|-|%s|failed\n", name, reference, goal);
        return;
    }
    std::printf("%s: %.3f s wall, %.3f s CPU; %s %.3f s wall, %.3f s CPU; ratio wall %.2f, CPU %.2f "
                "(median of %zu pairs, load %.1f); goal %s\n",
                name, c.wall(), c.cpu(), reference, c.referenceWall(), c.referenceCpu(), c.wallRatio(), c.cpuRatio(),
                c.ours.size(), c.load, goal);
    std::printf("TABLE|%s|%.3f|%.3f|%s|%.3f|%.3f|%.2f|%.2f|%s|load %.1f\n", name, c.wall(), c.cpu(), reference,
                c.referenceWall(), c.referenceCpu(), c.wallRatio(), c.cpuRatio(), goal, c.load);
    std::fflush(stdout);
}

// A row that is a ratio of two of our own measurements (or a plain figure), not one against a tool.
inline void reportFigure(const char* name, double value, const char* unit, const char* goal)
{
    std::printf("%s: %.2f %s; goal %s\n", name, value, unit, goal);
    std::printf("TABLE|%s|-|-|-|-|-|%.2f %s|-|%s|load %.1f\n", name, value, unit, goal, loadAverage());
    std::fflush(stdout);
}

// The number of pairs a benchmark runs: VMK_BENCH_PAIRS, at least `least` (3 unless a pair is so short
// that one busy moment of the machine would decide the median of three).
inline int pairsToRun(int least = 3)
{
    return std::max(least, qEnvironmentVariableIntValue("VMK_BENCH_PAIRS"));
}

} // namespace vmk::bench
