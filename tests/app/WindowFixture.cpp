#include "WindowFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>
#include <gtest/gtest.h>

namespace vmk::app::test {

QString makeTextPdf(const QTemporaryDir& dir, const QString& name, int pages)
{
    const QString path = dir.filePath(name);
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawText(200, 400, QStringLiteral("Chapter %1 begins here").arg(i + 1));
    }
    painter.end();
    return path;
}

ShownWindow::ShownWindow(int pages)
{
    defaults.setArguments(QStringList{"vellumark"});
    platform::UserDefaults::setStandard(&defaults);
    platform::Scheduler::setShared(&scheduler);
    platform::Document::setUntitledAutosaveFolder(dir.filePath("autosave"));
    resetFirstWindowMetricForTesting([] { return 1.0; });
    controller = std::make_unique<DocumentController>(&defaults);
    delegate = std::make_unique<AppDelegate>(controller.get());
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    delegate->launch({makeTextPdf(dir, "shown.pdf", pages)});
    scheduler.runDue();
    w = static_cast<AppDocument*>(controller->documents().at(0))->windowController();
    CommandRouter::shared().setKeyWindowOverride(w->documentWindow());
    w->documentWindow()->show();
    w->documentWindow()->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w->documentWindow()));
}

ShownWindow::~ShownWindow()
{
    CommandRouter::shared().setKeyWindowOverride(nullptr);
    controller->closeAllDocuments();
    delegate.reset();
    controller.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::Scheduler::setShared(nullptr);
    platform::UserDefaults::setStandard(nullptr);
    resetFirstWindowMetricForTesting();
}

void ShownWindow::waitForHits(int count)
{
    QElapsedTimer timer;
    timer.start();
    while ((editor()->isSearching() || editor()->searchHits().size() < count) && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        scheduler.advance(0.1);
    }
}

void ShownWindow::settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        scheduler.advance(0.05);
    }
}

} // namespace vmk::app::test
