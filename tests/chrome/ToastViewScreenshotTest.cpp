#include "chrome/FeedbackMarks.h"
#include "chrome/ToastView.h"

#include <QDir>
#include <QImage>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::chrome;

// A picture of the four kinds of toast with their marks at rest, for a person to look at.
TEST(ToastViewScreenshots, FourStylesAtRest)
{
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    QPalette pal = sheet.palette();
    pal.setColor(QPalette::Window, QColor(226, 226, 230));
    sheet.setPalette(pal);
    auto* column = new QVBoxLayout(&sheet);
    const QList<std::pair<Toast::Style, QString>> toasts{
        {Toast::Style::info, QStringLiteral("Cropped. Undo if you went too far.")},
        {Toast::Style::success, QStringLiteral("Saved.")},
        {Toast::Style::merge, QStringLiteral("Inserted 4 pages.")},
        {Toast::Style::split, QStringLiteral("Extracted 2 pages to a new PDF.")}};
    QList<FeedbackMark*> marks;
    for (const auto& [style, text] : toasts) {
        auto* view = new ToastView(Toast{QUuid::createUuid(), QStringLiteral("crop"), text, style}, false);
        column->addWidget(view, 0, Qt::AlignHCenter);
        if (auto* mark = qobject_cast<FeedbackMark*>(view->markWidget()))
            marks.append(mark);
    }
    sheet.show();
    for (FeedbackMark* mark : marks)
        mark->setElapsed(1.1);
    const QImage image = sheet.grab().toImage();
    ASSERT_FALSE(image.isNull());
    QString dir = qEnvironmentVariable("VMK_SCREENSHOT_DIR");
    if (dir.isEmpty())
        dir = QStringLiteral(VMK_BUILD_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(QDir(dir).filePath(QStringLiteral("toasts.png"))));
}
