#include "CanvasTestSupport.h"

#include "platform/pdfview/BitmapPool.h"
#include "views/InlineTextView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {

// Lets the workers finish the visible tiles, then grabs the canvas as it shows on screen.
QImage grabRendered(CanvasFixture& f)
{
    QElapsedTimer timer;
    timer.start();
    while (!f.canvas->isFullyRendered() && timer.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return f.canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int pixelsLike(const QImage& image, const QRectF& viewRect, const std::function<bool(QColor)>& test)
{
    const QRect r = viewRect.toAlignedRect().intersected(image.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += test(image.pixelColor(x, y));
    return n;
}

bool reddish(QColor c) { return c.red() > 180 && c.green() < 120 && c.blue() < 120; }
bool bluish(QColor c) { return c.blue() > 180 && c.red() < 100; }
bool yellowish(QColor c) { return c.red() > 200 && c.green() > 170 && c.blue() < 150; }

} // namespace

// Annotates a real page with every tool and saves what the canvas shows to canvas-annotated.png in the
// build folder, for a person to look at; the checks below catch what must be visible.
TEST(CanvasScreenshot, EveryToolLeavesItsMarkOnARealPage)
{
    CanvasFixture f(nullptr, 1.0);
    f.editor->setMode(EditorMode::annotate);
    auto use = [&](Tool tool) { f.editor->setTool(tool); };

    use(Tool::highlight);
    f.dragFromTo({75, 792 - 95}, {250, 792 - 95});
    use(Tool::underline);
    f.dragFromTo({75, 792 - 125}, {250, 792 - 125});
    use(Tool::strikeOut);
    f.dragFromTo({75, 792 - 155}, {200, 792 - 155});
    use(Tool::pen);
    f.press({80, 500});
    for (int i = 1; i <= 30; ++i)
        f.drag({80.0 + 4 * i, 500 + 25 * std::sin(i / 4.0)});
    f.release({200, 500});
    use(Tool::rectangle);
    f.dragFromTo({260, 460}, {380, 540});
    use(Tool::ellipse);
    f.dragFromTo({420, 460}, {540, 540});
    use(Tool::line);
    f.dragFromTo({80, 400}, {220, 340});
    use(Tool::arrow);
    f.dragFromTo({260, 400}, {380, 340});
    use(Tool::note);
    f.click({470, 380});
    f.canvas->closeNotePopover();
    use(Tool::text);
    f.click({80, 300});
    QTest::keyClicks(f.canvas->textSession()->view, QStringLiteral("A text box on the page"));
    f.canvas->commitTextSession();
    use(Tool::select);
    f.click({320, 500}); // select the rectangle: outline and handles

    const QImage shot = grabRendered(f);
    shot.save(QStringLiteral(VMK_BUILD_DIR "/canvas-annotated.png"));

    const QRectF rectangle = f.canvas->convertRectFromPage(QRectF(260, 460, 120, 80), 0);
    EXPECT_GT(pixelsLike(shot, rectangle, reddish), 100);
    EXPECT_GT(pixelsLike(shot, f.canvas->convertRectFromPage(QRectF(80, 470, 120, 60), 0), bluish), 50); // ink
    EXPECT_GT(pixelsLike(shot, f.canvas->convertRectFromPage(QRectF(75, 685, 150, 20), 0), yellowish), 100);
    EXPECT_GT(pixelsLike(shot, f.canvas->convertRectFromPage(QRectF(455, 365, 30, 30), 0), yellowish), 50); // note
    // The text box's text.
    EXPECT_GT(pixelsLike(shot, f.canvas->convertRectFromPage(QRectF(80, 270, 150, 30), 0),
                         [](QColor c) { return c.lightness() < 100; }),
              30);
    // A white-filled handle at the rectangle's corner.
    const QPointF corner = f.view({380, 540});
    EXPECT_EQ(shot.pixelColor(corner.toPoint()), QColor(Qt::white));
}

TEST(CanvasScreenshot, RedactionBoxesAndThePendingCropShowOverThePage)
{
    CanvasFixture f(nullptr, 1.0);
    f.editor->setMode(EditorMode::redact);
    f.dragFromTo({300, 600}, {500, 650});
    f.editor->setMode(EditorMode::annotate);
    f.editor->setTool(Tool::crop);
    f.dragFromTo({60, 200}, {560, 740});
    const QImage shot = grabRendered(f);
    shot.save(QStringLiteral(VMK_BUILD_DIR "/canvas-crop.png"));

    // Outside the crop the page is dimmed; inside it stays white.
    const QColor dimmed = shot.pixelColor(f.view({30, 100}).toPoint());
    EXPECT_LT(dimmed.lightness(), 180);
    EXPECT_EQ(shot.pixelColor(f.view({400, 400}).toPoint()), QColor(Qt::white));
    EXPECT_GT(pixelsLike(shot, f.canvas->convertRectFromPage(QRectF(310, 610, 180, 30), 0),
                         [](QColor c) { return c.lightness() < 200; }),
              3000); // the hatched mark
}

TEST(CanvasScreenshot, AClosedCanvasLeavesNoTileBitmapsIdle)
{
    {
        CanvasFixture f;
        grabRendered(f);
    }
    // The tiles go back to the pool as the canvas goes, and are freed from the event loop after that.
    QApplication::processEvents();
    EXPECT_EQ(pdfview::BitmapPool::idleCount(), 0);
}
