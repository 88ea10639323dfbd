// Finding links and annotations under the pointer on pages that carry very many of them, and pages
// far larger than the screen, whose tile loops must follow what is visible.

#include "HostilePages.h"
#include "platform/pdf/Annotation.h"
#include "platform/pdf/Page.h"
#include "platform/pdfview/AnnotationHitIndex.h"
#include "platform/pdfview/BitmapPool.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/ViewTestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using namespace vmk;
using namespace vmk::pdfview;

namespace {

// A 300 × 400 page covered by a 100 × 100 grid of 2 × 3 pt links, each to its own address, plus one
// big link under all of them (first, so lowest) and a square note over the middle (last, so topmost).
QByteArray manyLinks()
{
    QByteArray annots = "/Annots [<< /Type /Annot /Subtype /Link /Rect [0 0 300 400] /A << /S /URI /URI "
                        "(https://example.org/under) >> >> ";
    for (int row = 0; row < 100; ++row)
        for (int column = 0; column < 100; ++column)
            annots += "<< /Type /Annot /Subtype /Link /Rect [" + QByteArray::number(column * 3) + ' '
                + QByteArray::number(row * 4) + ' ' + QByteArray::number(column * 3 + 2) + ' '
                + QByteArray::number(row * 4 + 3) + "] /A << /S /URI /URI (https://example.org/" + QByteArray::number(row)
                + '-' + QByteArray::number(column) + ") >> >> ";
    annots += "<< /Type /Annot /Subtype /Square /Rect [140 190 160 210] >> ]";
    return test::rawPdf({test::RawPage{test::textLine("Links"), "0 0 300 400", annots}});
}

} // namespace

TEST(AnnotationHitIndex, FindsTheTopmostAnnotationAmongTenThousandAndFollowsChanges)
{
    auto document = test::openPdf(manyLinks());
    const pdf::PagePtr page = document->page(0);
    ASSERT_EQ(page->annotations().size(), 10002u);
    AnnotationHitIndex index;
    auto link = index.linkAt(0, 1, page, QPointF(3 * 42 + 1, 4 * 17 + 1));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->linkURI(), QStringLiteral("https://example.org/17-42"));
    // Between the small links only the big one is there.
    EXPECT_EQ(index.linkAt(0, 1, page, QPointF(3 * 42 + 2.5, 4 * 17 + 1))->linkURI(),
              QStringLiteral("https://example.org/under"));
    // The note over the middle is the topmost annotation there, though not a link.
    EXPECT_EQ(index.annotationAt(0, 1, page, QPointF(150, 200))->type(), QStringLiteral("Square"));
    EXPECT_EQ(index.linkAt(0, 1, page, QPointF(150.5, 200.5))->linkURI(), QStringLiteral("https://example.org/50-50"));
    EXPECT_EQ(index.at(0, 1, page, QPointF(150.5, 200.5)).size(), 3u); // bottom to top: big link, small link, note
    EXPECT_EQ(index.linkAt(0, 1, page, QPointF(400, 400)), nullptr);
    // With a tolerance, neighbours within reach are found too.
    EXPECT_GE(index.at(0, 1, page, QPointF(3 * 42 + 2.5, 4 * 17 + 1), 1.0).size(), 3u);

    // An annotation added since is found even before the page's look changes; a moved one once it does.
    auto added = pdf::Annotation::create(QStringLiteral("Square"), QRectF(10, 10, 5, 5));
    page->addAnnotation(added);
    EXPECT_EQ(index.annotationAt(0, 1, page, QPointF(12, 12)), added);
    added->setBounds(QRectF(250, 350, 5, 5));
    EXPECT_EQ(index.annotationAt(0, 2, page, QPointF(252, 352)), added);
    EXPECT_EQ(index.pagesIndexed(), 1u);
}

TEST(AnnotationHitIndex, AnnotationsFoundBeforeThePageListsThemKeepOneIdentityAndTheirEdits)
{
    // Saved and opened again, so that the annotations are objects of the file with appearances.
    auto made = test::openPdf(test::rawPdf({test::RawPage{test::textLine("Notes")}}));
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(40, 40, 60, 60));
    square->setColor(Qt::blue);
    made->page(0)->addAnnotation(square);
    made->page(0)->addAnnotation(pdf::Annotation::create(QStringLiteral("Square"), QRectF(200, 200, 40, 40)));
    auto document = test::openPdf(*made->dataRepresentation());
    const pdf::PagePtr page = document->page(0);

    AnnotationHitIndex index;
    EXPECT_EQ(page->annotationCount(), 2u);
    const pdf::AnnotationPtr found = index.annotationAt(0, 1, page, QPointF(70, 70));
    ASSERT_TRUE(found);
    EXPECT_EQ(index.annotationAt(0, 1, page, QPointF(70, 70)), found);
    EXPECT_EQ(found->page(), page);
    // Edited through the handle found, the page draws the edit.
    found->setColor(Qt::red);
    EXPECT_GT(test::reddishPixels(page->render(1.0), QRect(40, 300, 60, 60)), 100);
    // The page's list hands out the same handle.
    const std::vector<pdf::AnnotationPtr> all = page->annotations();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], found);
    EXPECT_EQ(page->annotationForKey(12345), nullptr);
    page->removeAnnotation(found);
    EXPECT_EQ(index.annotationAt(0, 1, page, QPointF(70, 70)), nullptr);
    EXPECT_TRUE(index.annotationAt(0, 1, page, QPointF(220, 220)));
}

TEST(AnnotationHitIndex, TheViewFindsLinksOnACrowdedPage)
{
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setScaleFactor(1.0);
    view.setDocument(test::openPdf(manyLinks()));
    const auto hit = view.annotationAt(view.convertPointFromPage(QPointF(3 * 5 + 1, 4 * 90 + 1), 0));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->linkURI(), QStringLiteral("https://example.org/90-5"));
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
}

TEST(TileLoops, AnAbsurdlyLargePageIsPaintedByWhatIsVisible)
{
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setScaleFactor(1.0);
    // A hundred million points square: tens of millions of tiles if anything walked the whole page.
    view.setDocument(test::openPdf(test::rawPdf({test::RawPage{test::textLine("Huge"), "0 0 100000000 100000000"},
                                                 test::RawPage{test::textLine("Small")}})));
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
    view.viewport()->repaint();
    EXPECT_LT(view.cachedTileCount(), 40u);
    view.goToPage(1);
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
    EXPECT_LT(view.cachedTileCount(), 80u);
}

TEST(BitmapPool, TileBitmapsAreReusedOnceTheirImagesAreGone)
{
    QImage first = BitmapPool::acquire(QSize(512, 300));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), QSize(512, 300));
    EXPECT_EQ(first.format(), QImage::Format_RGB32);
    const uchar* memory = first.constBits();
    const int idle = BitmapPool::idleCount();
    first = QImage();
    EXPECT_EQ(BitmapPool::idleCount(), idle + 1);
    QImage second = BitmapPool::acquire(QSize(510, 301)); // another size needing as much memory
    EXPECT_EQ(second.constBits(), memory);
    EXPECT_EQ(BitmapPool::idleCount(), idle);
    // Copies share the buffer; it comes back only when the last one goes.
    QImage copy = second;
    second = QImage();
    EXPECT_EQ(BitmapPool::idleCount(), idle);
    copy = QImage();
    EXPECT_EQ(BitmapPool::idleCount(), idle + 1);
    // What the pool keeps idle is bounded in bytes, however many full tiles come back at once.
    {
        std::vector<QImage> full;
        for (int i = 0; i < 20; ++i)
            full.push_back(BitmapPool::acquire(QSize(BitmapPool::kSide, BitmapPool::kSide)));
    }
    const std::size_t fullBytes = std::size_t(BitmapPool::kSide) * BitmapPool::kSide * 4;
    EXPECT_LE(std::size_t(BitmapPool::idleCount() - idle - 1) * fullBytes, BitmapPool::kMaxIdleBytes);
    // Larger than a tile: an ordinary image.
    EXPECT_EQ(BitmapPool::acquire(QSize(BitmapPool::kSide + 88, 10)).size(), QSize(BitmapPool::kSide + 88, 10));
}
