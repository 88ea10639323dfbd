// Effects over new marks: when they play, what they hide (in the view only), how they end, and that
// neither the pages' annotations nor the saved file are touched by them.

#include "CanvasTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;
using views::CanvasEffects;

namespace {

QList<AnnotationItem> addMarks(CanvasFixture& f, const QString& subtype, int count)
{
    QList<AnnotationItem> items;
    for (int i = 0; i < count; ++i) {
        pdf::AnnotationPtr a = pdf::Annotation::create(subtype, QRectF(72, 700 - i * 14, 300, 12));
        a->setColor(QColor(255, 220, 0));
        f.page()->addAnnotation(a);
        items.append({a, f.page()});
    }
    return items;
}

void playMotion(CanvasFixture& f, bool reduce)
{
    f.canvas->effects().setReduceMotionProvider([reduce] { return reduce; });
}

int excludedCount(CanvasFixture& f, const QList<AnnotationItem>& items)
{
    int n = 0;
    for (const auto& item : items)
        n += f.canvas->isAnnotationExcluded(item.first) ? 1 : 0;
    return n;
}

// Every annotation reopened from the document's bytes as they would be saved now, shown in the file.
bool savedFileShowsAll(CanvasFixture& f, int expected)
{
    pdf::Result<QByteArray> bytes = f.document->pdf()->dataRepresentation();
    if (!bytes.ok())
        return false;
    pdf::Result<pdf::DocumentPtr> reopened = pdf::Document::fromData(*bytes);
    if (!reopened.ok())
        return false;
    const auto annotations = (*reopened)->page(0)->annotations();
    if (int(annotations.size()) != expected)
        return false;
    for (const pdf::AnnotationPtr& a : annotations) {
        if (!a->shouldDisplay())
            return false;
    }
    return true;
}

QImage sampleSignature()
{
    QImage image(200, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 4));
    p.drawLine(10, 40, 190, 20);
    return image;
}

} // namespace

TEST(CanvasEffects, SweepHidesMarksInTheViewOnlyAndShowsThemAgainWhenDone)
{
    CanvasFixture f;
    playMotion(f, false);
    const QList<AnnotationItem> items = addMarks(f, QStringLiteral("Highlight"), 3);
    f.canvas->playMarkupSweep(items, QStringLiteral("Highlight"), QColor(255, 220, 0));
    EXPECT_EQ(f.canvas->effects().effectCount(), 3);
    EXPECT_EQ(excludedCount(f, items), 3);
    EXPECT_TRUE(f.canvas->hasOverlayContent());

    // Saved while the sweep plays: nothing in the file is hidden, and the marks stay on their page.
    EXPECT_TRUE(savedFileShowsAll(f, 3));
    for (const auto& [a, page] : items) {
        EXPECT_TRUE(a->shouldDisplay());
        EXPECT_EQ(a->page(), page);
    }

    // Lines are staggered: at 520 ms only the first has ended.
    f.canvas->effects().setElapsed(520);
    EXPECT_EQ(f.canvas->effects().effectCount(), 2);
    EXPECT_FALSE(f.canvas->isAnnotationExcluded(items[0].first));
    EXPECT_TRUE(f.canvas->isAnnotationExcluded(items[2].first));
    f.canvas->grab(); // paints the remaining bars without trouble

    f.canvas->effects().setElapsed(10000);
    EXPECT_FALSE(f.canvas->effects().isRunning());
    EXPECT_EQ(excludedCount(f, items), 0);
    EXPECT_EQ(f.page()->annotations().size(), 3u);
}

TEST(CanvasEffects, SweepIsSkippedUnderReducedMotionAndOverFortyMarks)
{
    CanvasFixture f;
    playMotion(f, true);
    QList<AnnotationItem> items = addMarks(f, QStringLiteral("Underline"), 2);
    f.canvas->playMarkupSweep(items, QStringLiteral("Underline"), Qt::red);
    EXPECT_FALSE(f.canvas->effects().isRunning());
    EXPECT_EQ(excludedCount(f, items), 0);

    playMotion(f, false);
    QList<AnnotationItem> many = addMarks(f, QStringLiteral("StrikeOut"), 41);
    f.canvas->playMarkupSweep(many, QStringLiteral("StrikeOut"), Qt::red);
    EXPECT_FALSE(f.canvas->effects().isRunning());
    EXPECT_EQ(excludedCount(f, many), 0);

    many.removeLast();
    f.canvas->playMarkupSweep(many, QStringLiteral("StrikeOut"), Qt::red);
    EXPECT_EQ(f.canvas->effects().effectCount(), 40);
    // The last line starts 2.34 s after the first and is still running just before it ends.
    f.canvas->effects().setElapsed(39 * CanvasEffects::kSweepStaggerMs + CanvasEffects::kSweepMs - 1);
    EXPECT_EQ(f.canvas->effects().effectCount(), 1);
    EXPECT_TRUE(f.canvas->isAnnotationExcluded(many.last().first));
    EXPECT_EQ(f.page()->annotations().size(), 43u);
}

TEST(CanvasEffects, SignatureWriteShowsTheSignatureWhenWritingEndsAndClearsEarly)
{
    CanvasFixture f;
    playMotion(f, false);
    f.editor->setMode(EditorMode::annotate);
    pdf::AnnotationPtr first = f.addSquare(QRectF(100, 300, 180, 50));
    pdf::AnnotationPtr second = f.addSquare(QRectF(100, 200, 180, 50));

    // No image: no effect.
    f.canvas->playSignatureWrite(first, f.page(), QImage());
    EXPECT_FALSE(f.canvas->effects().isRunning());

    f.canvas->playSignatureWrite(first, f.page(), sampleSignature());
    EXPECT_EQ(f.canvas->effects().effectCount(), 2); // the writing, then the pen and badge
    EXPECT_TRUE(f.canvas->isAnnotationExcluded(first));
    EXPECT_TRUE(savedFileShowsAll(f, 2));
    f.canvas->effects().setElapsed(600);
    f.canvas->grab();

    // The real signature comes back when the writing ends; pen and badge play on.
    f.canvas->effects().setElapsed(CanvasEffects::kWriteMs);
    EXPECT_FALSE(f.canvas->isAnnotationExcluded(first));
    EXPECT_EQ(f.canvas->effects().effectCount(), 1);
    f.canvas->effects().setElapsed(CanvasEffects::kWriteMs + 200);
    f.canvas->grab();

    // A second signature ends the first effect at once.
    f.canvas->playSignatureWrite(first, f.page(), sampleSignature());
    f.canvas->playSignatureWrite(second, f.page(), sampleSignature());
    EXPECT_FALSE(f.canvas->isAnnotationExcluded(first));
    EXPECT_TRUE(f.canvas->isAnnotationExcluded(second));
    EXPECT_EQ(f.canvas->effects().effectCount(), 2);

    // A press in a mode that places annotations ends it too, leaving the signature shown.
    f.press(QPointF(400, 600));
    f.release(QPointF(400, 600));
    EXPECT_FALSE(f.canvas->effects().isRunning());
    EXPECT_FALSE(f.canvas->isAnnotationExcluded(second));
    EXPECT_TRUE(second->shouldDisplay());
    EXPECT_EQ(f.page()->annotations().size(), 2u);
}

TEST(CanvasEffects, ExcludedAnnotationIsNotDrawnByTheCanvas)
{
    CanvasFixture f;
    pdf::AnnotationPtr square = f.addSquare(QRectF(100, 500, 120, 120));
    square->setColor(QColor(255, 0, 0));
    square->setInteriorColor(QColor(255, 0, 0));
    f.canvas->annotationsChanged(f.page());
    auto redIn = [&f](const QRectF& pageRect) {
        QElapsedTimer timer;
        timer.start();
        QApplication::processEvents();
        while (!f.canvas->isFullyRendered() && timer.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        const QImage shot = f.canvas->grab().toImage();
        const QRect r = f.canvas->convertRectFromPage(pageRect, 0).toAlignedRect().adjusted(8, 8, -8, -8);
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); y += 4)
            for (int x = r.left(); x <= r.right(); x += 4) {
                const QColor c = shot.pixelColor(x, y);
                n += c.red() > 200 && c.green() < 80 ? 1 : 0;
            }
        return n;
    };
    const QRectF area(100, 500, 120, 120);
    EXPECT_GT(redIn(area), 20);
    f.canvas->setAnnotationExcluded(square, true);
    EXPECT_EQ(redIn(area), 0);
    EXPECT_TRUE(square->shouldDisplay());
    f.canvas->setAnnotationExcluded(square, false);
    EXPECT_GT(redIn(area), 20);
}

TEST(CanvasEffects, Geometry)
{
    const QRectF mark(10, 100, 200, 20);
    EXPECT_EQ(CanvasEffects::sweepBar(QStringLiteral("Highlight"), mark), mark);
    EXPECT_EQ(CanvasEffects::sweepBar(QStringLiteral("Underline"), mark), QRectF(10, 118, 200, 1.6));
    EXPECT_EQ(CanvasEffects::sweepBar(QStringLiteral("StrikeOut"), QRectF(0, 0, 50, 10)), QRectF(0, 4.25, 50, 1.5));

    EXPECT_EQ(CanvasEffects::penSize(QRectF(0, 0, 100, 10)), 36.0);
    EXPECT_EQ(CanvasEffects::penSize(QRectF(0, 0, 100, 100)), 64.0);
    EXPECT_DOUBLE_EQ(CanvasEffects::penSize(QRectF(0, 0, 100, 40)), 44.0);
    const QRectF sig(100, 50, 250, 60);
    EXPECT_EQ(CanvasEffects::penPosition(sig, 0), QPointF(100, 80));
    EXPECT_EQ(CanvasEffects::penPosition(sig, 1), QPointF(350, 80));
    const QPointF second = CanvasEffects::penPosition(sig, 0.2);
    EXPECT_NEAR(second.x(), 150, 1e-9);
    EXPECT_NEAR(second.y(), 80 - 0.18 * 60, 1e-9);

    EXPECT_DOUBLE_EQ(CanvasEffects::badgeScale(0), 0.4);
    EXPECT_GT(CanvasEffects::badgeScale(200), 1.0); // the spring overshoots
    EXPECT_NEAR(CanvasEffects::badgeScale(1500), 1.0, 0.01);
    EXPECT_DOUBLE_EQ(CanvasEffects::badgeOpacity(0), 0.0);
    EXPECT_DOUBLE_EQ(CanvasEffects::badgeOpacity(60), 0.5);
    EXPECT_DOUBLE_EQ(CanvasEffects::badgeOpacity(700), 1.0);
    EXPECT_NEAR(CanvasEffects::badgeOpacity(1365), 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(CanvasEffects::badgeOpacity(1500), 0.0);
}

TEST(CanvasEffects, GoingToAPageAnimatesNearbyAndJumpsFarAway)
{
    CanvasFixture f(openPdf(textPdf(30)));
    const double start = f.canvas->scrollOrigin().y();
    // The next page is close: the scroll starts from where it was.
    f.canvas->scrollToPageAnimated(f.page(1));
    EXPECT_DOUBLE_EQ(f.canvas->scrollOrigin().y(), start);

    // Page 20 is many screens away: reached at once, its top near the viewport's top.
    f.canvas->scrollToPageAnimated(f.page(20));
    EXPECT_EQ(f.canvas->currentPage(), f.page(20));
    EXPECT_NEAR(f.canvas->pageRectInView(20).top(), 0, 12);
}

namespace {

bool waitForTiles(CanvasFixture& f)
{
    QElapsedTimer timer;
    timer.start();
    while (!f.canvas->isFullyRendered() && timer.elapsed() < 5000) {
        f.canvas->grab();
        QTest::qWait(5);
    }
    return f.canvas->isFullyRendered();
}

// How yellow the canvas shows at a view point: the red and green of the highlight without its blue.
bool looksMarked(const QImage& frame, QPointF viewPoint, qreal dpr)
{
    const QColor c = frame.pixelColor((viewPoint * dpr).toPoint());
    return c.red() > 200 && c.green() > 170 && c.blue() < 150;
}

} // namespace

TEST(CanvasEffects, TheMarkIsOnScreenOnTheFrameAfterItsEffectEnds)
{
    CanvasFixture f;
    playMotion(f, false);
    ASSERT_TRUE(waitForTiles(f));
    const QList<AnnotationItem> items = addMarks(f, QStringLiteral("Highlight"), 1);
    f.canvas->playMarkupSweep(items, QStringLiteral("Highlight"), QColor(255, 220, 0));
    // The page is drawn without the mark while the sweep stands in for it.
    ASSERT_TRUE(waitForTiles(f));
    const QPointF inside = f.canvas->convertRectFromPage(items[0].first->bounds(), 0).center();

    f.canvas->effects().setElapsed(10000);
    EXPECT_FALSE(f.canvas->effects().isRunning());
    EXPECT_FALSE(f.canvas->isAnnotationExcluded(items[0].first));
    const qreal dpr = f.canvas->devicePixelRatioF();
    EXPECT_TRUE(looksMarked(f.canvas->grab().toImage(), inside, dpr));
    // Once the page is drawn with the mark, its stand-in goes, and the mark is still there.
    ASSERT_TRUE(waitForTiles(f));
    QApplication::processEvents();
    EXPECT_EQ(f.canvas->effects().afterimageCount(), 0);
    EXPECT_TRUE(looksMarked(f.canvas->grab().toImage(), inside, dpr));

    // Ended early by a press: the finished mark stands in the same way.
    const QList<AnnotationItem> more = addMarks(f, QStringLiteral("Highlight"), 3).mid(2);
    ASSERT_TRUE(waitForTiles(f));
    f.canvas->playMarkupSweep(more, QStringLiteral("Highlight"), QColor(255, 220, 0));
    ASSERT_TRUE(waitForTiles(f));
    f.canvas->effects().clear();
    const QPointF third = f.canvas->convertRectFromPage(more[0].first->bounds(), 0).center();
    EXPECT_TRUE(looksMarked(f.canvas->grab().toImage(), third, dpr));
}
