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

TEST(CanvasEffects, LineBarsStayVisibleOnShortMarksAndThickenOnTallOnes)
{
    // Where each bar lies on its mark is seen on the painted canvas below; here, how thick lines are.
    double previous = 0;
    for (double height : {6.0, 12.0, 100.0}) {
        const QRectF mark(10, 100, 200, height);
        for (const char* kind : {"Underline", "StrikeOut"}) {
            const QRectF line = CanvasEffects::sweepBar(QString::fromLatin1(kind), mark);
            EXPECT_GE(line.height(), 1.0) << kind << " " << height; // never a hairline
            EXPECT_LT(line.height(), mark.height() / 2) << kind << " " << height;
        }
        EXPECT_GE(CanvasEffects::sweepBar(QStringLiteral("Underline"), mark).height(), previous);
        previous = CanvasEffects::sweepBar(QStringLiteral("Underline"), mark).height();
    }
}

TEST(CanvasEffects, ThePenWritesAcrossTheSignatureAndTheBadgePopsHoldsAndFades)
{
    for (const QRectF sig : {QRectF(100, 50, 250, 60), QRectF(0, 0, 40, 10), QRectF(-20, 300, 600, 200)}) {
        // From the left end at mid-height to the right end, always rightward, up and down within the signature.
        EXPECT_EQ(CanvasEffects::penPosition(sig, 0), QPointF(sig.left(), sig.center().y()));
        EXPECT_EQ(CanvasEffects::penPosition(sig, 1), QPointF(sig.right(), sig.center().y()));
        double x = sig.left() - 1, high = sig.center().y(), low = high;
        for (double p = 0; p <= 1.0; p += 0.02) {
            const QPointF at = CanvasEffects::penPosition(sig, p);
            EXPECT_GT(at.x(), x) << p;
            EXPECT_TRUE(sig.contains(at)) << p;
            x = at.x();
            high = std::min(high, at.y());
            low = std::max(low, at.y());
        }
        EXPECT_GT(low - high, 0.2 * sig.height());
        // A pen one can see beside a small signature that does not bury a large one.
        EXPECT_GE(CanvasEffects::penSize(sig), 24);
        EXPECT_LE(CanvasEffects::penSize(sig), 96);
    }
    // The badge springs up from small past its size and settles; it fades in, holds, and is gone at its end.
    double peak = 0, opacity = 0;
    bool fading = false, fadedGradually = false;
    for (int ms = -20; ms <= CanvasEffects::kBadgeMs + 20; ms += 10) {
        peak = std::max(peak, CanvasEffects::badgeScale(ms));
        const double now = CanvasEffects::badgeOpacity(ms);
        EXPECT_TRUE(now >= 0 && now <= 1 + 1e-9) << ms;
        fading = fading || now < opacity;
        if (fading) {
            EXPECT_LE(now, opacity) << ms; // once it starts to fade it does not come back
            fadedGradually = fadedGradually || (now > 0 && now < 1);
        }
        opacity = now;
    }
    EXPECT_TRUE(fadedGradually);
    EXPECT_LT(CanvasEffects::badgeScale(0), 0.5);
    EXPECT_NEAR(CanvasEffects::badgeScale(10), CanvasEffects::badgeScale(0), 0.1); // no jump as it starts
    EXPECT_GT(peak, 1.0);
    EXPECT_NEAR(CanvasEffects::badgeScale(CanvasEffects::kBadgeMs), 1.0, 0.01);
    EXPECT_EQ(CanvasEffects::badgeOpacity(0), 0);
    EXPECT_EQ(CanvasEffects::badgeOpacity(CanvasEffects::kBadgeMs / 2), 1);
    EXPECT_EQ(CanvasEffects::badgeOpacity(CanvasEffects::kBadgeMs), 0);
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

TEST(CanvasEffects, EachSweepPaintsOverItsOwnLineOfTheMarkAndNowhereElse)
{
    // Which thirds of the mark (top, middle, bottom) each kind of sweep covers by the end of its run.
    const struct {
        const char* subtype;
        bool thirds[3];
    } cases[] = {{"Highlight", {true, true, true}}, {"Underline", {false, false, true}}, {"StrikeOut", {false, true, false}}};
    CanvasFixture f;
    playMotion(f, false);
    ASSERT_TRUE(waitForTiles(f));
    double y = 500;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subtype);
        pdf::AnnotationPtr mark = pdf::Annotation::create(QString::fromLatin1(c.subtype), QRectF(72, y, 300, 30));
        y -= 100;
        mark->setColor(QColor(0, 0, 255));
        f.page()->addAnnotation(mark);
        f.canvas->playMarkupSweep({{mark, f.page()}}, QString::fromLatin1(c.subtype), QColor(0, 0, 255));
        ASSERT_TRUE(waitForTiles(f));
        f.canvas->effects().setElapsed(CanvasEffects::kSweepMs - 1);
        const qreal dpr = f.canvas->devicePixelRatioF();
        const QImage frame = f.canvas->grab().toImage();
        const QRectF r = f.canvas->convertRectFromPage(mark->bounds(), 0);
        // The share of the mark's columns with blue in a band of rows (view points).
        auto covered = [&](double top, double bottom) {
            int hit = 0, columns = 0;
            for (double x = r.left() + 2; x < r.right() - 2; x += 2, ++columns) {
                bool blue = false;
                for (double row = top; row <= bottom && !blue; row += 0.5) {
                    const QColor px = frame.pixelColor((QPointF(x, row) * dpr).toPoint());
                    blue = px.blue() - px.red() > 60;
                }
                hit += blue ? 1 : 0;
            }
            return double(hit) / columns;
        };
        const double third = r.height() / 3;
        for (int k = 0; k < 3; ++k) {
            const double share = covered(r.top() + k * third + 1, r.top() + (k + 1) * third - 1);
            if (c.thirds[k]) {
                EXPECT_GT(share, 0.95) << "third " << k; // the whole run of the mark
            } else {
                EXPECT_EQ(share, 0.0) << "third " << k;
            }
        }
        EXPECT_EQ(covered(r.top() - 8, r.top() - 4), 0.0);
        EXPECT_EQ(covered(r.bottom() + 4, r.bottom() + 8), 0.0);
        f.canvas->effects().setElapsed(10000);
    }
}
