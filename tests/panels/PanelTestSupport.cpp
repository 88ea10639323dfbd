#include "PanelTestSupport.h"

#include "core/SystemAnnotations.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace vmk::panels::test {

PanelFixture::PanelFixture(int pages)
{
    defaults = std::make_unique<platform::UserDefaults>(dir.filePath(QStringLiteral("defaults.ini")));
    pdf::DocumentPtr pdf = pdf::Document::createEmpty();
    for (int i = 0; i < pages; ++i)
        pdf->insertPage(pdf::Page::createBlank(QRectF(0, 0, 612, 792)), i);
    document = std::make_unique<core::VMKDocument>();
    document->setPdf(std::move(pdf));
    document->setFilePath(dir.filePath(QStringLiteral("Panels.pdf")));
    editor = std::make_unique<Editor>(
        document.get(),
        [this] {
            auto made = std::make_unique<CountingCanvas>();
            canvas = made.get();
            return made;
        },
        &scheduler, defaults.get());
}

PanelFixture::~PanelFixture()
{
    editor.reset();
}

void PanelFixture::addRedactionMark(int pageIndex, const QRectF& bounds)
{
    editor->addAnnotation({{core::RedactionMarkAnnotation::create(bounds), page(pageIndex)}},
                          QStringLiteral("Mark for Redaction"));
    undo().closeEventGroup();
}

void click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QRect(QPoint(), button->size()).center());
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QString screenshotPath(const QString& name)
{
    QString dir = qEnvironmentVariable("VMK_SCREENSHOT_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(VMK_BUILD_DIR "/screenshots");
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

} // namespace vmk::panels::test
