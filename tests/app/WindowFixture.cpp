#include "WindowFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>
#include <gtest/gtest.h>

namespace vmk::app::test {

QString makeTextPdf(const QString& path, int pages, const QString& line)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawText(200, 400, line.arg(i + 1));
    }
    painter.end();
    return path;
}

QString makeTextPdf(const QTemporaryDir& dir, const QString& name, int pages)
{
    return makeTextPdf(dir.filePath(name), pages);
}

LaunchedApp::LaunchedApp(const QStringList& switches, double firstWindowMs)
{
    defaults.setArguments(QStringList{"vellumark"} + switches);
    platform::UserDefaults::setStandard(&defaults);
    platform::Scheduler::setShared(&scheduler);
    platform::Document::setUntitledAutosaveFolder(dir.filePath("autosave"));
    resetFirstWindowMetricForTesting([firstWindowMs] { return firstWindowMs; });
}

LaunchedApp::~LaunchedApp()
{
    CommandRouter::shared().setKeyWindowOverride(nullptr);
    stop();
    platform::Scheduler::setShared(nullptr);
    platform::UserDefaults::setStandard(nullptr);
    resetFirstWindowMetricForTesting();
}

void LaunchedApp::start()
{
    controller = std::make_unique<DocumentController>(&defaults);
    delegate = std::make_unique<AppDelegate>(controller.get());
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
}

void LaunchedApp::stop()
{
    if (controller)
        controller->closeAllDocuments();
    delegate.reset();
    controller.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

DocumentWindowController* LaunchedApp::window(int i) const
{
    return static_cast<AppDocument*>(controller->documents().at(i))->windowController();
}

bool LaunchedApp::enabled(const char* action, int tag) const
{
    return CommandRouter::shared().validate(action, tag).enabled;
}

bool LaunchedApp::perform(const char* action, int tag)
{
    return CommandRouter::shared().perform(action, tag);
}

OneWindow::OneWindow(int pages, const QString& fileName, const QStringList& switches)
    : LaunchedApp(switches)
{
    start();
    delegate->launch({makeTextPdf(dir, fileName, pages)});
    scheduler.runDue();
    w = window(0);
    CommandRouter::shared().setKeyWindowOverride(w->documentWindow());
}

QString OneWindow::toastText() const
{
    return editor()->toast() ? editor()->toast()->text : QString();
}

void OneWindow::waitForHits(int count)
{
    QElapsedTimer timer;
    timer.start();
    while ((editor()->isSearching() || editor()->searchHits().size() < count) && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        scheduler.advance(0.1);
    }
}

void OneWindow::settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        scheduler.advance(0.05);
    }
}

ShownWindow::ShownWindow(int pages)
    : OneWindow(pages, QStringLiteral("shown.pdf"))
{
    w->documentWindow()->show();
    w->documentWindow()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w->documentWindow()));
}

} // namespace vmk::app::test
