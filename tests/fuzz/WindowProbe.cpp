// One input opened in the real document window, as a user would: the window shows, the pages are paged
// through with the keyboard and the pointer wanders over them. Prints the longest time the window did not
// answer, so that a run over many files finds the ones that freeze it. Any crash is a fault.
//
//   vmk_window_probe FILE [SECONDS]

#include "app/AppDelegate.h"
#include "app/AppDocument.h"
#include "app/AppDocumentController.h"
#include "app/DocumentWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>

using namespace vmk;

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

    app::DocumentController controller;
    app::AppDelegate delegate(&controller);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();

    // The widest gap between ticks of a 5 ms timer is the longest the window would not have answered.
    qint64 longest = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });

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

    // Measured from a moment after the window first shows: building the window is the same for every file.
    // Opening still counts where it holds the window up longer than that.
    QElapsedTimer sinceStart;
    sinceStart.start();
    QTimer::singleShot(0, &delegate, [&] { delegate.launch({file}); });
    QTimer::singleShot(1500, &app, [&] {
        longest = std::max<qint64>(0, sinceStart.elapsed() - 1500);
        sinceTick.start();
        ticker.start(5);
        user.start(250);
    });
    QTimer::singleShot(seconds * 1000, &app, [&] {
        longest = std::max(longest, sinceTick.elapsed());
        std::printf("stall %lld ms, %zu windows\n", static_cast<long long>(longest), controller.documents().size());
        std::fflush(stdout);
        ticker.stop();
        user.stop();
        controller.closeAllDocuments();
        app.quit();
    });
    return app.exec();
}
