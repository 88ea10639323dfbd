#include "app/DocumentWindowController.h"

#include "chrome/CanvasRoot.h"
#include "core/VMKDocument.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/Scheduler.h"
#include "platform/services/UserDefaults.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::app;

namespace {

QByteArray samplePdf(int pages)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    QFont font = painter.font();
    font.setPointSize(14);
    painter.setFont(font);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawText(QRect(600, 600, 8000, 600), QStringLiteral("Quarterly report — page %1").arg(i + 1));
        for (int line = 0; line < 30; ++line)
            painter.drawText(QRect(600, 1400 + line * 300, 8000, 300),
                             QStringLiteral("Lorem ipsum dolor sit amet, consectetur adipiscing elit, line %1.").arg(line + 1));
    }
    painter.end();
    return bytes;
}

void save(const QImage& image, const QString& name)
{
    QString dir = qEnvironmentVariable("VMK_SCREENSHOT_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(VMK_BUILD_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(QDir(dir).filePath(name)));
}

// A document window of its own, on a manual clock.
struct Window {
    QTemporaryDir dir;
    platform::UserDefaults defaults{dir.filePath(QStringLiteral("defaults.ini"))};
    platform::ManualScheduler scheduler;
    core::VMKDocument document;
    std::unique_ptr<DocumentWindowController> controller;

    explicit Window(const QByteArray& pdf, const QString& name)
    {
        platform::UserDefaults::setStandard(&defaults);
        platform::Scheduler::setShared(&scheduler);
        document.setPdf(pdf::Document::fromData(pdf).value());
        document.setSuggestedName(name);
        controller = std::make_unique<DocumentWindowController>(&document);
        controller->documentWindow()->resize(1100, 760);
        controller->showWindow();
        scheduler.advance(1.0);
    }
    ~Window()
    {
        controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::Scheduler::setShared(nullptr);
        platform::UserDefaults::setStandard(nullptr);
    }
    QImage grab()
    {
        // Let the canvas render its tiles and the overlays finish their entrances.
        for (int i = 0; i < 40; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(15);
        }
        return controller->documentWindow()->grab().toImage();
    }
};

} // namespace

// Pictures of a document window with its floating pieces, for a person to look at.
TEST(OverlayScreenshots, PillsAndBanner)
{
    Window w(samplePdf(12), QStringLiteral("Quarterly report.pdf"));
    Editor* editor = w.controller->editor();
    editor->goToPage(4);
    editor->setShowScanSuggestion(true);
    editor->setProgress(TaskProgress{TaskProgress::Kind::ocr, QStringLiteral("Reading page 5 of 12…"), 0.4, [] {}});
    w.scheduler.advance(0.5);
    const QImage image = w.grab();
    ASSERT_FALSE(image.isNull());
    save(image, QStringLiteral("window-pills-banner.png"));
}

TEST(OverlayScreenshots, UnlockCard)
{
    const pdf::DocumentPtr plain = pdf::Document::fromData(samplePdf(2)).value();
    const QByteArray locked = plain->dataRepresentation(pdf::WriteOptions::protect(QStringLiteral("pw"))).value();
    Window w(locked, QStringLiteral("Bank statement for the first quarter of the year.pdf"));
    const QImage image = w.grab();
    ASSERT_FALSE(image.isNull());
    save(image, QStringLiteral("window-unlock.png"));
}
