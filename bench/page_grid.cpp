// Opening the page grid (Pages mode) of a long document in a real document window, as the user does once
// the first page is on screen: the longest time the window's event loop did not answer from the switch
// until every card in sight shows its thumbnail (and the grid's entrance has ended), and how long filling
// them took. Each run opens the file in a window of its own, so every grid is a cold one.
//
// The stall on the clock grows with the machine's load; the processor time of the longest single event
// the main thread handled meanwhile does not, and tells which of the two moved.
//
// Goal: no stall above 50 ms.
// Usage: bench_page_grid [file.pdf]   (without a file, a 1,000-page lined document is generated)

#include "platform/services/ThreadStarter.h"
#include "BenchSupport.h"
#include "TimedApplication.h"

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "editor/Editor.h"
#include "platform/services/UserDefaults.h"
#include "views/OrganizerCollectionView.h"
#include "views/PageCell.h"
#include "views/PageOrganizerView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMainWindow>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

using vmk::views::PageOrganizerView;

using vmk::bench::threadCpuMs;
using vmk::bench::TimedApplication;

// Runs the event loop until `done` holds or the time is up; whether it held. It waits rather than spins,
// so that its polling takes no processor time from the work being timed.
bool runUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    poll.start(5);
    if (!done())
        loop.exec();
    return done();
}

void wait(int ms)
{
    runUntil([] { return false; }, ms);
}

// Every card the grid shows has its picture.
bool gridFilled(PageOrganizerView* grid)
{
    if (!grid || !grid->isVisible())
        return false;
    const auto [top, bottom] = grid->collectionView()->visibleBand();
    const auto [first, last] = grid->collectionView()->flowLayout().indexesBetween(top, bottom);
    if (last < first)
        return false;
    for (int i = first; i <= last; ++i) {
        const vmk::views::PageCell* cell = grid->cellAt(i);
        if (!cell || !cell->thumbnail)
            return false;
    }
    return true;
}

struct GridRun {
    double stallMs = -1;
    double eventCpuMs = -1;
    double filledMs = -1;
};

GridRun openGridOnce(TimedApplication& app, vmk::app::DocumentController& controller, vmk::app::AppDelegate& delegate,
                     const QString& path)
{
    GridRun run;
    delegate.launch({path});
    if (controller.documents().empty())
        return run;
    auto* document = static_cast<vmk::app::AppDocument*>(controller.documents().front());
    vmk::app::DocumentWindowController* window = document->windowController();
    if (!window)
        return run;
    window->documentWindow()->resize(1280, 860);
    window->documentWindow()->show();
    // The window as the user has it before switching: first page drawn, opening work wound down.
    wait(1500);

    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    ticker.start(2);
    wait(50);
    longest = 0;
    app.restart();
    app.timing = true;
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    const double switchCpu = threadCpuMs();
    window->applyMode(vmk::EditorMode::pages);
    // The switch itself runs outside the event loop's turns; it counts as one event.
    app.mostCpuMs = std::max(app.mostCpuMs, threadCpuMs() - switchCpu);
    const bool filled = runUntil([&] { return gridFilled(window->pageGrid()); }, 20000);
    run.filledMs = filled ? double(clock.elapsed()) : -1;
    // The entrance runs a little past the last card in sight.
    wait(std::max<qint64>(300, 900 - clock.elapsed()));
    longest = std::max(longest, sinceTick.elapsed());
    app.timing = false;
    run.stallMs = double(longest);
    run.eventCpuMs = app.mostCpuMs;
    ticker.stop();
    controller.closeAllDocuments();
    wait(300);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    TimedApplication app(argc, argv);
    vmk::platform::prepareThreadStarter(); // as the application does at launch
    QTemporaryDir dir;
    const QString path = vmk::bench::filesOrLinedDocument(argc, argv, dir, QStringLiteral("bench-grid.pdf")).constFirst();
    vmk::platform::UserDefaults defaults(dir.filePath(QStringLiteral("defaults.ini")));
    vmk::platform::UserDefaults::setStandard(&defaults);
    vmk::app::DocumentController controller(&defaults);
    vmk::app::AppDelegate delegate(&controller);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();

    std::vector<double> stalls, events, fills;
    for (int i = 0; i < vmk::bench::pairsToRun(); ++i) {
        const GridRun run = openGridOnce(app, controller, delegate, path);
        if (run.stallMs < 0 || run.filledMs < 0) {
            std::printf("page grid: could not be measured on %s\n", qPrintable(path));
            return 1;
        }
        stalls.push_back(run.stallMs);
        events.push_back(run.eventCpuMs);
        fills.push_back(run.filledMs);
    }
    std::printf("file=%s runs=%zu; per run, stall ms / longest event's CPU ms:", qPrintable(QFileInfo(path).fileName()),
                stalls.size());
    for (size_t i = 0; i < stalls.size(); ++i)
        std::printf(" %.0f/%.1f", stalls[i], events[i]);
    std::printf("\n");
    vmk::bench::reportFigure("page grid, longest stall opening it (median)", vmk::bench::median(stalls), "ms", "<= 50 ms");
    vmk::bench::reportFigure("page grid, longest stall opening it (worst)",
                             *std::max_element(stalls.begin(), stalls.end()), "ms", "<= 50 ms");
    vmk::bench::reportFigure("page grid, longest event's CPU (median)", vmk::bench::median(events), "ms", "-");
    vmk::bench::reportFigure("page grid, cards in sight filled (median)", vmk::bench::median(fills), "ms", "-");
    vmk::platform::UserDefaults::setStandard(nullptr);
    return 0;
}
