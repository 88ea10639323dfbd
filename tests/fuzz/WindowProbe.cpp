// One input opened in the real document window, as a user would: the file is opened from the welcome
// window, its window shows, the pages are paged through with the keyboard and the pointer wanders over
// them. Prints how long the window did not answer, so that a run over many files finds the ones that
// freeze it. Any crash is a fault.
//
//   vmk_window_probe FILE [SECONDS]
//
// It answers with one line:
//
//   stall N ms (raw R, run-queue wait Q, blocked B), opening O ms (raw R, run-queue wait Q, blocked B), W windows
//
// "stall" is the longest gap between turns of the event loop once the window is up, "opening" the longest
// from asking for the file until its window is built. Each is the gap less the time the main thread spent
// ready to run but waiting for a processor: on a loaded machine that time says how busy the other
// processes were, not what we did. The raw gap and that wait follow, and the part of the rest the thread
// spent asleep (waiting for a lock, a page of memory, a worker). Building any window costs the same for
// every file; compare "opening" with a plain file's.
//
// With VMK_PROBE_TRACE=MS every gap over MS milliseconds is printed to stderr as it ends.

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"
#include "support/MainThreadStall.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

using namespace vmk;

namespace {

// How long the welcome window shows before the file is opened from it: long enough for what the first
// window of a process costs (styles, fonts, icons) to be paid before anything is measured.
constexpr int kWelcomeMs = 600;

struct Gap {
    qint64 rawNs = 0;
    qint64 waitNs = 0;
    qint64 runningNs = 0;
    qint64 ownNs() const { return rawNs - waitNs; }
    qint64 blockedNs() const { return rawNs - waitNs - runningNs; }
};

// The gaps between turns of the event loop, each less the run-queue wait it held; the longest is kept.
class GapMeter {
public:
    explicit GapMeter(qint64 traceMs) : m_traceMs(traceMs) { m_sinceLaunch.start(); }

    void start()
    {
        m_last = test::threadTimes();
        m_clock.start();
    }
    void turn()
    {
        const test::ThreadTimes now = test::threadTimes();
        Gap gap;
        gap.rawNs = m_clock.nsecsElapsed();
        gap.waitNs = std::clamp<qint64>(now.runQueueWaitNs - m_last.runQueueWaitNs, 0, gap.rawNs);
        gap.runningNs = std::clamp<qint64>(now.runningNs - m_last.runningNs, 0, gap.ownNs());
        if (gap.ownNs() > m_longest.ownNs())
            m_longest = gap;
        if (m_traceMs >= 0 && gap.rawNs / 1000000 > m_traceMs)
            std::fprintf(stderr, "gap ending %lld ms after launch: %s\n",
                         static_cast<long long>(m_sinceLaunch.elapsed()), qPrintable(describe(gap)));
        m_last = now;
        m_clock.restart();
    }
    // The longest gap since the last call, which starts the count again.
    Gap takeLongest() { return std::exchange(m_longest, Gap{}); }

    static QString describe(const Gap& gap)
    {
        return QStringLiteral("%1 ms (raw %2, run-queue wait %3, blocked %4)")
            .arg(gap.ownNs() / 1000000)
            .arg(gap.rawNs / 1000000)
            .arg(gap.waitNs / 1000000)
            .arg(gap.blockedNs() / 1000000);
    }

private:
    qint64 m_traceMs;
    QElapsedTimer m_sinceLaunch;
    QElapsedTimer m_clock;
    test::ThreadTimes m_last;
    Gap m_longest;
};

// Notes the first paint of the file's window.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<QWidget*()> window) : m_window(std::move(window)) {}
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            QWidget* window = m_window();
            seen = window && static_cast<QWidget*>(watched)->window() == window;
        }
        return false;
    }

private:
    std::function<QWidget*()> m_window;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("OMP_THREAD_LIMIT", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VellumarkProbe"));
    if (argc < 2) {
        std::fputs("usage: vmk_window_probe FILE [SECONDS]\n", stderr);
        return 2;
    }
    const QString file = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int seconds = argc > 2 ? std::max(3, atoi(argv[2])) : 6;
    bool traced = false;
    const int traceMs = qEnvironmentVariableIntValue("VMK_PROBE_TRACE", &traced);

    app::DocumentController controller;
    app::AppDelegate delegate(&controller);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();

    // The widest gap between ticks of a 5 ms timer is the longest the window would not have answered.
    GapMeter gaps(traced ? traceMs : -1);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { gaps.turn(); });

    int step = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* window = QApplication::activeWindow();
        if (!window && !controller.documents().empty())
            if (auto* document = dynamic_cast<app::AppDocument*>(controller.documents().front()))
                window = document->windowController()->documentWindow();
        if (!window)
            return;
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        const int key = step % 5 == 4 ? Qt::Key_Home : Qt::Key_PageDown;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        if (QWidget* under = window->childAt(window->rect().center() + QPoint(step * 13 % 200 - 100, step * 7 % 160 - 80))) {
            const QPoint at = under->rect().center();
            QMouseEvent move(QEvent::MouseMove, at, under->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(under, &move);
        }
        ++step;
    });

    // Opening lasts until the file's window has first been painted: reading the file keeps the event
    // loop turning, and building, laying out and first painting the window each come in a turn of their own.
    Gap opening;
    bool opened = false;
    FirstPaint firstPaint([&]() -> QWidget* {
        if (controller.documents().empty())
            return nullptr;
        auto* document = dynamic_cast<app::AppDocument*>(controller.documents().front());
        return document ? document->windowController()->documentWindow() : nullptr;
    });
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!opened && firstPaint.seen) {
            opened = true;
            opening = gaps.takeLongest();
            user.start(250);
        }
    });
    QTimer::singleShot(0, &delegate, [&] { delegate.launch({}); });
    QTimer::singleShot(kWelcomeMs, &delegate, [&] {
        gaps.start();
        ticker.start(5);
        app.installEventFilter(&firstPaint);
        delegate.openHandedOver({file});
    });
    QTimer::singleShot(seconds * 1000, &app, [&] {
        gaps.turn();
        if (!opened)
            opening = gaps.takeLongest();
        std::printf("stall %s, opening %s, %zu windows\n", qPrintable(GapMeter::describe(gaps.takeLongest())),
                    qPrintable(GapMeter::describe(opening)), controller.documents().size());
        std::fflush(stdout);
        ticker.stop();
        user.stop();
        controller.closeAllDocuments();
        app.quit();
    });
    return app.exec();
}
