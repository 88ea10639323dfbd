// Drawing within a budget: a page over it ends in bounded time with the reason, whatever the engine is
// stuck in, and a plain page draws exactly as the window draws it.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/PdfFixtures.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace vmk;
using namespace vmk::pdf;
using test::TestPage;

namespace {

DocumentPtr open(const QByteArray& data)
{
    Result<DocumentPtr> doc = Document::fromData(data);
    EXPECT_TRUE(doc.ok());
    return doc.ok() ? *doc : nullptr;
}

// What the window shows for the page: recorded from a copy and drawn into a tile of its own.
QImage windowPicture(const Page& page, double scale)
{
    const RecordResult recorded = PageCapture::take(page, true)->record(RecordBudget{});
    if (!recorded.snapshot)
        return {};
    const QSizeF size = page.displaySize() * scale;
    QImage image(int(std::ceil(size.width() - 0.001)), int(std::ceil(size.height() - 0.001)), QImage::Format_RGB32);
    if (!recorded.snapshot->renderInto(image, scale, QRect(QPoint(0, 0), image.size())))
        return {};
    return image;
}

} // namespace

TEST(PdfRenderBudget, PlainPagesDrawAsTheWindowShowsThemWithOrWithoutABudget)
{
    DocumentPtr doc = open(test::testPagesPdf({TestPage::plain}));
    ASSERT_TRUE(doc);
    const PagePtr page = doc->page(0);
    const QImage plain = page->render(1.5);
    ASSERT_FALSE(plain.isNull());
    EXPECT_GT(test::pdf::inkPixels(plain, plain.rect()), 1000);
    EXPECT_EQ(plain, windowPicture(*page, 1.5));

    const DrawResult budgeted = page->render(1.5, {}, RecordBudget{5000, std::size_t(64) << 20});
    EXPECT_EQ(budgeted.outcome, RecordOutcome::recorded);
    EXPECT_EQ(budgeted.image, plain);
    // A tile is the same part of the whole picture, from the page and from a snapshot alike.
    const QRect tile(100, 300, 250, 200);
    EXPECT_EQ(page->render(1.5, {true, tile}, RecordBudget{}).image, plain.copy(tile));
    const std::shared_ptr<PageSnapshot> snapshot = page->snapshot();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->render(1.5, tile, RecordBudget{}).image, plain.copy(tile));
    EXPECT_EQ(snapshot->render(1.5), plain);
}

TEST(PdfRenderBudget, DecodingPastTheMemoryBudgetEndsAtOnceAsTooLarge)
{
    DocumentPtr doc = open(test::testPagesPdf({TestPage::giantDecode, TestPage::absurdImage, TestPage::plain}));
    ASSERT_TRUE(doc);
    const RecordBudget budget{test::scaledMs(20000), std::size_t(256) << 20};
    for (int i : {0, 1}) {
        SCOPED_TRACE(i);
        QElapsedTimer timer;
        timer.start();
        const DrawResult drawn = doc->page(i)->render(0.5, {}, budget);
        EXPECT_EQ(drawn.outcome, RecordOutcome::tooLarge);
        EXPECT_TRUE(drawn.image.isNull());
        EXPECT_LT(timer.elapsed(), test::scaledMs(8000));
    }
    // A recording holds the image undecoded: drawing the snapshot refuses it in turn.
    const std::shared_ptr<PageSnapshot> snapshot = doc->page(1)->snapshot();
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->render(0.5, {}, budget).outcome, RecordOutcome::tooLarge);
    // The document is untouched by what failed: its plain page still draws.
    EXPECT_EQ(doc->page(2)->render(0.5, {}, budget).outcome, RecordOutcome::recorded);
    EXPECT_TRUE(doc->page(0)->render(0.5).isNull());
}

TEST(PdfRenderBudget, ADecoderDeafToItsDeadlineIsLeftBehindAtTheDeadline)
{
    DocumentPtr doc = open(test::testPagesPdf({TestPage::slowDecode, TestPage::plain}));
    ASSERT_TRUE(doc);
    const PagePtr slow = doc->page(0);
    const RecordBudget budget{300, std::size_t(256) << 20};
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(slow->render(0.5, {}, budget).outcome, RecordOutcome::tooSlow);
    EXPECT_LT(timer.elapsed(), test::scaledMs(300 + 1500 + 700));
    EXPECT_GE(PageCapture::abandonedDrawings(), 1);
    // Meanwhile other pages of the document draw.
    EXPECT_EQ(doc->page(1)->render(0.5, {}, RecordBudget{}).outcome, RecordOutcome::recorded);

    // Called off from another thread: the caller hears at once, with no deadline at all.
    RecordCancel cancel;
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel.cancel();
    });
    timer.restart();
    EXPECT_EQ(slow->render(0.5, {}, RecordBudget{0, std::size_t(256) << 20}, &cancel).outcome,
              RecordOutcome::cancelled);
    canceller.join();
    EXPECT_LT(timer.elapsed(), test::scaledMs(1500));

    // The stuck work ends on its own.
    EXPECT_TRUE(test::eventually([] { return PageCapture::abandonedDrawings() == 0; }, test::scaledMs(60000)));
}

TEST(PdfRenderBudget, AnImageWhoseSamplesAreOverTheMemoryBudgetIsRefusedBeforeItIsDecoded)
{
    // 4.8 GB of samples from Flate, and a JPEG frame of the same size: decoding either passes through every
    // pixel even to draw it small, for most of a minute, and no deadline reaches a decoder half-way.
    DocumentPtr doc = open(test::testPagesPdf({TestPage::hugeFlateImage, TestPage::hugeJpegImage, TestPage::photo}));
    ASSERT_TRUE(doc);
    const RecordBudget budget{test::scaledMs(20000), std::size_t(768) << 20};
    for (int i : {0, 1}) {
        SCOPED_TRACE(i);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(doc->page(i)->render(0.5, {}, budget).outcome, RecordOutcome::tooLarge);
        // The window's way: the recording holds the image undecoded, each tile refuses it.
        const RecordResult recorded = PageCapture::take(*doc->page(i), true)->record(budget);
        ASSERT_EQ(recorded.outcome, RecordOutcome::recorded);
        QImage tile(256, 256, QImage::Format_RGB32);
        EXPECT_EQ(recorded.snapshot->renderInto(tile, 0.5, QRect(0, 0, 256, 256), budget), RecordOutcome::tooLarge);
        EXPECT_FALSE(recorded.snapshot->renderInto(tile, 0.1, QRect(0, 0, 62, 80)));
        // A tile away from the image is drawn: nothing asks for the image there.
        EXPECT_EQ(recorded.snapshot->renderInto(tile, 1.0, QRect(0, 0, 90, 90), budget), RecordOutcome::recorded);
        EXPECT_LT(timer.elapsed(), test::scaledMs(3000));
    }
    // A photo well within the budget is drawn as before, into a tile as into a picture.
    const DrawResult photo = doc->page(2)->render(0.5, {}, budget);
    ASSERT_EQ(photo.outcome, RecordOutcome::recorded);
    QImage tile(photo.image.size(), QImage::Format_RGB32);
    const RecordResult recorded = PageCapture::take(*doc->page(2), true)->record(budget);
    ASSERT_EQ(recorded.snapshot->renderInto(tile, 0.5, tile.rect(), budget), RecordOutcome::recorded);
    EXPECT_EQ(tile, photo.image);
}
