#include "views/BackgroundSampling.h"
#include "views/CanvasGesture.h"
#include "views/NoteAnnotation.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"

#include <cmath>
#include <optional>
#include <numbers>

using namespace vmk;
using namespace vmk::views;
using namespace vmk::test;

TEST(ShapeSnapping, LinesTurnToTheNearestFortyFiveDegreesKeepingTheirLength)
{
    const QPointF start(10, 10);
    struct Case {
        QPointF end;
        double degrees;
    } cases[] = {{{110, 60}, 45}, {{110, 30}, 0}, {{20, 110}, 90}, {{-90, -60}, -135}, {{-90, 20}, 180}};
    for (const Case& c : cases) {
        const QPointF snapped = snapShapeEnd(start, c.end, Tool::arrow);
        const QPointF d = snapped - start;
        const QPointF raw = c.end - start;
        EXPECT_NEAR(std::hypot(d.x(), d.y()), std::hypot(raw.x(), raw.y()), 1e-9);
        EXPECT_NEAR(std::atan2(d.y(), d.x()) * 180 / std::numbers::pi, c.degrees, 1e-9) << c.end.x() << "," << c.end.y();
    }
}

TEST(ShapeSnapping, BoxesBecomeSquaresOnThePointersSide)
{
    EXPECT_EQ(snapShapeEnd({0, 0}, {30, -80}, Tool::rectangle), QPointF(80, -80));
    EXPECT_EQ(snapShapeEnd({0, 0}, {-50, 20}, Tool::ellipse), QPointF(-50, 50));
    EXPECT_EQ(snapShapeEnd({5, 5}, {5, 25}, Tool::rectangle), QPointF(25, 25)); // zero counts as positive
    EXPECT_EQ(clickShapeEnds({100, 100}, Tool::ellipse), std::make_pair(QPointF(40, 60), QPointF(160, 140)));
    EXPECT_EQ(clickShapeEnds({100, 100}, Tool::line), std::make_pair(QPointF(50, 100), QPointF(150, 100)));
}

TEST(Resizing, EachCornerAnchorsItsOppositeAndAspectIsKeptByShrinking)
{
    pdf::AnnotationPtr box = pdf::Annotation::create(QStringLiteral("Square"), QRectF(100, 100, 100, 50));
    const core::AnnotationGeometry original = core::captureGeometry(*box);
    // Corner 0 (min x, min y) anchors (max x, max y).
    EXPECT_EQ(applyResizeGeometry(original, *box, Handle::cornerAt(0), {80, 90}, false).bounds, QRectF(80, 90, 120, 60));
    // Corner 1 (max x, min y) anchors (min x, max y).
    EXPECT_EQ(applyResizeGeometry(original, *box, Handle::cornerAt(1), {250, 120}, false).bounds,
              QRectF(100, 120, 150, 30));
    // Corner 3 (min x, max y) anchors (max x, min y); past it the box flips.
    EXPECT_EQ(applyResizeGeometry(original, *box, Handle::cornerAt(3), {260, 80}, false).bounds,
              QRectF(200, 80, 60, 20));
    // Shift keeps 2:1 by shrinking the side that is too long.
    EXPECT_EQ(applyResizeGeometry(original, *box, Handle::cornerAt(2), {400, 130}, true).bounds,
              QRectF(100, 100, 60, 30));

    // A signature (Stamp) keeps its aspect without Shift.
    pdf::AnnotationPtr stamp = pdf::Annotation::create(QStringLiteral("Stamp"), QRectF(0, 0, 90, 30));
    const QRectF r = applyResizeGeometry(core::captureGeometry(*stamp), *stamp, Handle::cornerAt(2), {300, 300}, false).bounds;
    EXPECT_EQ(r, QRectF(0, 0, 300, 100));
}

TEST(Resizing, InkScalesWithItsBoxAndLineEndsMoveAlone)
{
    pdf::AnnotationPtr ink = pdf::Annotation::create(QStringLiteral("Ink"), QRectF(0, 0, 100, 100));
    QPainterPath path;
    path.moveTo(10, 10);
    path.lineTo(90, 50);
    ink->addPath(path);
    const core::AnnotationGeometry g =
        applyResizeGeometry(core::captureGeometry(*ink), *ink, Handle::cornerAt(2), {200, 50}, false);
    ASSERT_TRUE(g.paths);
    EXPECT_EQ(g.paths->first().elementAt(1), QPointF(180, 25));

    pdf::AnnotationPtr line = pdf::Annotation::create(QStringLiteral("Line"), QRectF(0, 0, 200, 100));
    line->setStartPoint({10, 10});
    line->setEndPoint({190, 90});
    line->setLineWidth(2.0);
    const core::AnnotationGeometry moved =
        applyResizeGeometry(core::captureGeometry(*line), *line, Handle::lineEnd(), {300, 20}, false);
    // Bounds around both ends, grown by width × 4 + 6 = 14.
    EXPECT_EQ(moved.bounds, QRectF(-4, -4, 318, 38));
    EXPECT_EQ(moved.start + moved.bounds.topLeft(), QPointF(10, 10));
    EXPECT_EQ(moved.end + moved.bounds.topLeft(), QPointF(300, 20));

    const auto handles = handlePagePoints(*line);
    ASSERT_EQ(handles.size(), 2);
    EXPECT_EQ(handles[0].first, Handle::lineStart());
    EXPECT_EQ(handles[1].second, QPointF(190, 90));
    pdf::AnnotationPtr note = pdf::Annotation::create(QStringLiteral("Text"), QRectF(0, 0, 22, 22));
    EXPECT_TRUE(handlePagePoints(*note).isEmpty());
}

TEST(BackgroundSampling, TakesThePerChannelMedianOfTheCornersInsideTheImage)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    // A dark band over the bottom two rows (y up: rows 8 and 9 from the top).
    for (int x = 0; x < 10; ++x)
        for (int y = 8; y < 10; ++y)
            image.setPixel(x, y, qRgb(20, 20, 60));
    const QList<QPointF> twoDark = {{1, 1}, {8, 1}, {1, 8}, {8, 8}};
    EXPECT_EQ(medianOfSamples(image, twoDark), QColor(Qt::white));
    const QList<QPointF> threeDark = {{1, 1}, {8, 1}, {5, 0.5}, {8, 8}};
    EXPECT_EQ(medianOfSamples(image, threeDark), QColor(20, 20, 60));
    // −0.5 lies outside the image: only the white corner is sampled.
    const QList<QPointF> outside = {{-0.5, 1}, {1, -0.5}, {10.2, 1}, {5, 5}};
    EXPECT_EQ(medianOfSamples(image, outside), QColor(Qt::white));
    EXPECT_EQ(medianOfSamples(image, {{-1, -1}}), QColor(Qt::white));
}

TEST(BackgroundSampling, ReadsTheDrawnPageOnlyAroundTheBlockTurnedOrNot)
{
    // A tinted band under the block's top left and top right corners only: a sample a few points off
    // lands in white.
    for (int rotation : {0, 90}) {
        pdf::PagePtr page = pdf::Page::createBlank(QRectF(0, 0, 200, 300));
        page->setRotation(rotation);
        pdf::AnnotationPtr band = pdf::Annotation::create(QStringLiteral("Square"), QRectF(40, 64, 100, 16));
        band->setColor(QColor(250, 200, 40));
        band->setInteriorColor(QColor(250, 200, 40));
        page->addAnnotation(band);
        // Corners 3 points out: (47, 47), (133, 47) in white, (47, 73), (133, 73) in the band.
        const QColor twoInBand = sampleBackgroundColor(page, QRectF(50, 50, 80, 20));
        EXPECT_EQ(twoInBand, QColor(Qt::white)) << rotation; // the upper middle of two white, two tinted
        const QColor inBand = sampleBackgroundColor(page, QRectF(50, 70, 80, 4));
        EXPECT_NEAR(inBand.red(), 250, 3) << rotation;
        EXPECT_NEAR(inBand.blue(), 40, 3) << rotation;
        EXPECT_EQ(sampleBackgroundColor(page, QRectF(150, 200, 20, 20)), QColor(Qt::white)) << rotation;
    }
    EXPECT_EQ(sampleBackgroundColor(nullptr, QRectF(0, 0, 1, 1)), QColor(Qt::white));
}

TEST(BackgroundSampling, ASlowPageIsDrawnAwayFromTheWindowAndGivesWhiteWhenItTakesTooLong)
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int slow = addSlowForm(pdf, 4000, 60, "0.2 0.2 0.7");
    const int contents = pdf.addStream({}, "/Slow Do");
    const int page = pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 300 300] /Contents "
                             + ref(contents) + " /Resources << /XObject << /Slow " + ref(slow) + " >> >> >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + ref(page) + "] /Count 1 >>");
    auto opened = pdf::Document::fromData(pdf.write(catalog));
    ASSERT_TRUE(opened.ok());
    const pdf::PagePtr slowPage = opened.value()->page(0);

    views::BackgroundSampler sampler;
    std::optional<QColor> sampled;
    const ThreadTimes before = threadTimes();
    sampler.request(slowPage, QRectF(100, 100, 50, 20), [&](const QColor& colour) { sampled = colour; });
    // Copying the page is all the window's thread does: drawing it takes seconds.
    EXPECT_LT((threadTimes().runningNs - before.runningNs) / 1000000, scaledMs(50));
    EXPECT_FALSE(sampled);
    const qint64 stall = longestMainThreadStall([&] { return !sampled; }, scaledMs(30000));
    ASSERT_TRUE(sampled);
    EXPECT_LT(stall, scaledMs(100));
    EXPECT_EQ(*sampled, QColor(Qt::white)); // over the drawing budget
}

TEST(NoteIcon, ScalesWithItsBoundsWithAFoldAndNeverTooThinStrokes)
{
    const NoteAnnotation::Icon wide = NoteAnnotation::icon(QRectF(0, 0, 200, 50), QColor(255, 0, 0, 60));
    EXPECT_EQ(wide.paper.alpha(), 255); // drawn opaque
    const QRectF fold = wide.fold.boundingRect();
    EXPECT_NEAR(fold.width(), 0.3 * wide.sheet.width(), 1e-9);
    EXPECT_NEAR(fold.height(), fold.width(), 1e-9);
    EXPECT_NEAR(fold.right(), wide.sheet.right(), 1e-9);
    EXPECT_NEAR(fold.bottom(), wide.sheet.bottom(), 1e-9); // the top, y being up
    const NoteAnnotation::Icon tiny = NoteAnnotation::icon(QRectF(0, 0, 4, 4), Qt::yellow);
    EXPECT_DOUBLE_EQ(tiny.borderWidth, 0.4);
    EXPECT_DOUBLE_EQ(tiny.lineWidth, 0.5);
}

TEST(NoteIcon, NotesDrawAsAPaperSheetInTheirColour)
{
    NoteAnnotation::install();
    pdf::PagePtr page = pdf::Page::createBlank(QRectF(0, 0, 100, 100));
    pdf::AnnotationPtr note = pdf::Annotation::create(QStringLiteral("Text"), QRectF(20, 20, 60, 60));
    note->setColor(QColor(0, 122, 255));
    page->addAnnotation(note);
    const QImage image = page->render(1.0);
    // The middle of the sheet is the note's blue (y down in the image).
    const QColor middle = image.pixelColor(45, 55);
    EXPECT_LT(middle.red(), 40);
    EXPECT_GT(middle.blue(), 200);
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));
}
