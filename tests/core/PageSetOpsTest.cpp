#include "CoreFixtures.h"

#include "core/PDFOps.h"

#include "platform/pdf/document/Page.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::core;

namespace {

pdf::DocumentPtr document(int pages, const QList<QSizeF>& sizes = {})
{
    return PDFOps::openChecked(coretest::makePdf(pages, sizes), "t.pdf").value();
}

// The width of each page identifies it in these tests.
QList<int> widths(const pdf::Document& d)
{
    QList<int> w;
    for (const auto& p : PDFOps::pages(d))
        w.append(qRound(p->mediaBox().width()));
    return w;
}

} // namespace

TEST(PageSets, MergeCopiesEveryPageInOrderAndLeavesSourcesAlone)
{
    auto a = document(2, {{100, 500}, {200, 500}});
    auto b = document(1, {{300, 500}});
    auto merged = PDFOps::merge({a, b});
    EXPECT_EQ(widths(*merged), (QList<int>{100, 200, 300}));
    EXPECT_EQ(a->pageCount(), 2);
    EXPECT_EQ(b->pageCount(), 1);
    EXPECT_NE(merged->page(0), a->page(0));
    EXPECT_EQ(PDFOps::merge({})->pageCount(), 0);
}

TEST(PageSets, CombineIsAllOrNothing)
{
    QTemporaryDir dir;
    const QString one = test::writeFile(dir, "one.pdf", coretest::makePdf(2));
    const QString two = test::writeFile(dir, "two.pdf", coretest::makePdf(3));
    auto combined = PDFOps::combine({one, two});
    ASSERT_TRUE(combined.ok());
    EXPECT_EQ(combined.value()->pageCount(), 5);

    const QString locked = coretest::encryptWithQpdf(dir, "secret.pdf", coretest::makePdf(1), "pw");
    auto refused = PDFOps::combine({one, locked, two});
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), PDFOpsError::locked("secret.pdf"));
    EXPECT_EQ(refused.error().message(),
              QString::fromUtf8("“secret.pdf” is password-protected. Open it first to unlock it."));

    const QString junk = test::writeFile(dir, "notes.pdf", "not a pdf");
    auto unreadable = PDFOps::combine({one, junk});
    ASSERT_FALSE(unreadable.ok());
    EXPECT_EQ(unreadable.error().message(), QString::fromUtf8("“notes.pdf” isn’t a PDF we can read."));
    EXPECT_EQ(PDFOps::combine({dir.filePath("gone.pdf")}).error(), PDFOpsError::unreadable("gone.pdf"));
}

TEST(PageSets, ExtractTakesCopiesInAscendingOrder)
{
    auto source = document(5, {{100, 500}, {110, 500}, {120, 500}, {130, 500}, {140, 500}});
    auto extracted = PDFOps::extractPages({4, 0}, *source);
    EXPECT_EQ(widths(*extracted), (QList<int>{100, 140}));
    EXPECT_EQ(source->pageCount(), 5);
}

TEST(PageSets, ReorderMovesListedPagesToTheirPositions)
{
    auto d = document(3, {{100, 500}, {200, 500}, {300, 500}});
    auto a = d->page(0), b = d->page(1), c = d->page(2);
    PDFOps::reorder(*d, {c, a, b});
    EXPECT_EQ(widths(*d), (QList<int>{300, 100, 200}));
    // The same page objects, so that undo can hand them back.
    EXPECT_EQ(d->page(0), c);
    PDFOps::reorder(*d, {a, b, c});
    EXPECT_EQ(widths(*d), (QList<int>{100, 200, 300}));
}

TEST(PageSets, CropClipsToTheMediaBoxAndReturnsEveryPreviousBox)
{
    auto d = document(3);
    const QRectF full(0, 0, 612, 792);

    // Drawn from upper right to lower left: same as the normalised rectangle.
    auto previous = PDFOps::crop(*d, {0}, QRectF(300, 400, -200, -300));
    EXPECT_EQ(previous, (QMap<int, QRectF>{{0, full}}));
    EXPECT_EQ(d->page(0)->cropBox(), QRectF(100, 100, 200, 300));

    // Too thin: unchanged, but still reported.
    previous = PDFOps::crop(*d, {1, 7}, QRectF(10, 10, 0.5, 300));
    EXPECT_EQ(previous, (QMap<int, QRectF>{{1, full}}));
    EXPECT_EQ(d->page(1)->cropBox(), full);

    // Larger than the page: the media box.
    PDFOps::crop(*d, {2}, QRectF(-50, -50, 1000, 1000));
    EXPECT_EQ(d->page(2)->cropBox(), full);

    // Missing the page entirely: unchanged.
    PDFOps::crop(*d, {1}, QRectF(700, 900, 50, 50));
    EXPECT_EQ(d->page(1)->cropBox(), full);

    // Undo puts the recorded boxes back.
    previous = PDFOps::crop(*d, {0, 1}, QRectF(0, 0, 50, 50));
    for (auto it = previous.begin(); it != previous.end(); ++it)
        d->page(it.key())->setCropBox(it.value());
    EXPECT_EQ(d->page(0)->cropBox(), QRectF(100, 100, 200, 300));
    EXPECT_EQ(d->page(1)->cropBox(), full);
}
