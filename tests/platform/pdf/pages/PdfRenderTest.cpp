// Geometry of rotated and cropped pages, rendering, snapshots on worker threads, flattening.

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/PdfFixtures.h"
#include "platform/services/ThreadHandOff.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <gtest/gtest.h>

using namespace vmk::pdf;
namespace fixtures = vmk::test::pdf;

namespace {

DocumentPtr open(const QByteArray& data) { return vmk::test::pdf::openPdf(data); }

// A page whose crop box starts away from the origin, with a red square annotation at a known place.
PagePtr croppedPageWithMark(const DocumentPtr& doc, int rotation)
{
    PagePtr page = Page::createBlank(QRectF(0, 0, 600, 800), rotation);
    doc->insertPage(page, 0);
    page->setCropBox(QRectF(100, 200, 300, 400));
    AnnotationPtr mark = Annotation::create("Square", QRectF(110, 210, 40, 20)); // near the crop's lower left
    mark->setColor(QColor(255, 0, 0));
    mark->setInteriorColor(QColor(255, 0, 0));
    page->addAnnotation(mark);
    return page;
}

} // namespace

TEST(PdfRender, DisplayTransformMatchesRenderingAtEveryRotation)
{
    for (int rotation : {0, 90, 180, 270}) {
        SCOPED_TRACE(rotation);
        DocumentPtr doc = Document::createEmpty();
        PagePtr page = croppedPageWithMark(doc, rotation);
        EXPECT_EQ(page->rotation(), rotation);
        EXPECT_EQ(page->cropBox(), QRectF(100, 200, 300, 400));
        const QSizeF display = page->displaySize();
        EXPECT_EQ(display, (rotation % 180) ? QSizeF(400, 300) : QSizeF(300, 400));

        const QTransform t = page->displayTransform();
        // The crop box maps exactly onto the displayed page.
        EXPECT_EQ(t.mapRect(page->cropBox()).toRect(), QRect(QPoint(0, 0), display.toSize()));
        // Round trip.
        const QPointF p(123.5, 456.25);
        const QPointF back = t.inverted().map(t.map(p));
        EXPECT_NEAR(back.x(), p.x(), 1e-9);
        EXPECT_NEAR(back.y(), p.y(), 1e-9);

        // The mark's centre, mapped to the displayed page (y up) and then to pixels (y down), is red.
        const QImage image = page->render(1.0);
        ASSERT_EQ(image.size(), display.toSize());
        const QPointF shown = t.map(QPointF(130, 220));
        const QPoint pixel(int(shown.x()), int(display.height() - shown.y()));
        EXPECT_EQ(image.pixelColor(pixel), QColor(255, 0, 0));
        // And a point of the crop box far from the mark is white.
        const QPointF blank = t.map(QPointF(350, 550));
        EXPECT_EQ(image.pixelColor(int(blank.x()), int(display.height() - blank.y())), QColor(Qt::white));

        // Without annotations, the rendering is blank; a tile is the matching piece of the whole.
        EXPECT_EQ(fixtures::inkPixels(page->render(1.0, {false, {}}), image.rect()), 0);
        const QRect tile(pixel - QPoint(5, 5), QSize(10, 10));
        EXPECT_EQ(page->render(1.0, {true, tile}), image.copy(tile));
    }
    // Rotation is normalised.
    PagePtr page = Page::createBlank(QRectF(0, 0, 10, 10));
    page->setRotation(-90);
    EXPECT_EQ(page->rotation(), 270);
    page->setRotation(450);
    EXPECT_EQ(page->rotation(), 90);
}

TEST(PdfRender, SnapshotRendersOnWorkerThreadsWhileTheMainThreadWorks)
{
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts << QStringLiteral("Page %1 with some words to draw").arg(i + 1);
    DocumentPtr doc = open(fixtures::textPdf(texts));
    std::vector<std::shared_ptr<PageSnapshot>> snapshots;
    std::vector<QImage> expected;
    for (int i = 0; i < doc->pageCount(); ++i) {
        snapshots.push_back(doc->page(i)->snapshot());
        expected.push_back(doc->page(i)->render(1.5));
        ASSERT_TRUE(snapshots.back());
    }
    std::atomic<int> started{0};
    QList<QFuture<QImage>> futures;
    for (const auto& snapshot : snapshots)
        futures.append(QtConcurrent::run(vmk::platform::handedOver([snapshot, &started] {
            ++started;
            return snapshot->render(1.5);
        })));
    // The main thread keeps using the document meanwhile.
    int mainThreadRenders = 0;
    while (std::any_of(futures.begin(), futures.end(), [](const QFuture<QImage>& f) { return !f.isFinished(); })) {
        doc->page(mainThreadRenders % doc->pageCount())->render(0.5);
        doc->page(0)->text();
        ++mainThreadRenders;
    }
    EXPECT_GT(mainThreadRenders, 0);
    for (int i = 0; i < futures.size(); ++i)
        EXPECT_EQ(futures[i].result(), expected[size_t(i)]) << i;

    // The snapshot holds no reference to the page: it stays usable after the document is gone.
    std::shared_ptr<PageSnapshot> orphan = snapshots[0];
    snapshots.clear();
    doc.reset();
    EXPECT_EQ(QtConcurrent::run(vmk::platform::handedOver([orphan] { return orphan->render(1.5); })).result(),
              expected[0]);
}

TEST(PdfRender, FlattenedPageCarriesDisplayedAnnotationsAsContent)
{
    DocumentPtr doc = Document::createEmpty();
    PagePtr page = croppedPageWithMark(doc, 90);
    AnnotationPtr hidden = Annotation::create("Square", QRectF(300, 500, 40, 40));
    hidden->setColor(QColor(0, 0, 255));
    hidden->setInteriorColor(QColor(0, 0, 255));
    hidden->setShouldDisplay(false);
    page->addAnnotation(hidden);

    Result<QByteArray> flat = page->flattenedPdf();
    ASSERT_TRUE(flat.ok()) << qPrintable(flat.error());
    DocumentPtr flatDoc = open(*flat);
    ASSERT_EQ(flatDoc->pageCount(), 1);
    PagePtr flatPage = flatDoc->page(0);
    EXPECT_EQ(flatPage->rotation(), 0);
    EXPECT_EQ(flatPage->mediaBox().size(), QSizeF(400, 300));
    EXPECT_TRUE(flatPage->annotations().empty());
    const QImage flatImage = flatPage->render(1.0, {false, {}});
    EXPECT_EQ(flatImage, page->render(1.0));

    // Drawing the displayed annotations over a page image at another scale.
    const QImage base = page->render(2.0, {false, {}});
    const QImage over = page->drawAnnotationsOver(base);
    EXPECT_EQ(over.size(), base.size());
    EXPECT_EQ(over, page->render(2.0));
    PagePtr plain = Page::createBlank(QRectF(0, 0, 100, 100));
    const QImage untouched = plain->render(1.0);
    EXPECT_EQ(plain->drawAnnotationsOver(untouched).cacheKey(), untouched.cacheKey());
}
