#include "OrganizerTestSupport.h"

#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/pdfview/WorkerPool.h"
#include "support/SlowContent.h"
#include "support/MainThreadStall.h"
#include "support/Slowdown.h"
#include "support/WritingUnderWay.h"
#include "views/ThumbnailRenderer.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::views;

namespace {

pdf::DocumentPtr pages(int count, QSizeF size = QSizeF(612, 792))
{
    return pdf::Document::fromData(test::numberedPdf(count, size)).value();
}

} // namespace

TEST(ThumbnailKeys, ChangeWithWhatChangesThePicture)
{
    const pdf::DocumentPtr doc = pages(2);
    const pdf::PagePtr page = doc->page(0);
    const QString key = ThumbnailRenderer::thumbnailKey(*page, 3, 150.7);
    EXPECT_EQ(key, QStringLiteral("%1-0-612x792-3-150").arg(quintptr(page.get())));
    EXPECT_NE(key, ThumbnailRenderer::thumbnailKey(*doc->page(1), 3, 150));
    EXPECT_NE(key, ThumbnailRenderer::thumbnailKey(*page, 4, 150));
    EXPECT_NE(key, ThumbnailRenderer::thumbnailKey(*page, 3, 160));
    // Moving a page keeps its key; rotating or cropping it does not.
    doc->exchangePages(0, 1);
    EXPECT_EQ(key, ThumbnailRenderer::thumbnailKey(*page, 3, 150));
    page->setRotation(90);
    EXPECT_NE(key, ThumbnailRenderer::thumbnailKey(*page, 3, 150));
    EXPECT_NEAR(ThumbnailRenderer::pageAspect(*page), 792.0 / 612.0, 1e-9);
    page->setRotation(0);
    page->setCropBox(QRectF(0, 0, 300, 400));
    EXPECT_NE(key, ThumbnailRenderer::thumbnailKey(*page, 3, 150));
    EXPECT_DOUBLE_EQ(ThumbnailRenderer::pageAspect(*page), 0.75);
}

TEST(ThumbnailRendering, RendersOffTheMainThreadThreeAtATimeIntoTheCache)
{
    const pdf::DocumentPtr doc = pages(8);
    ThumbnailRenderer renderer(167772160);
    EXPECT_EQ(renderer.queue().name(), QStringLiteral("Vellumark.thumbnails"));
    test::GatedRender gated;
    renderer.setRenderFunction(gated.function());
    QList<QString> delivered;
    QSet<QThread*> deliveryThreads;
    renderer.setDeliveryHandler([&](const QString& key, const Thumbnail&) {
        delivered << key;
        deliveryThreads.insert(QThread::currentThread());
    });
    QStringList keys;
    for (int i = 0; i < 8; ++i) {
        keys << ThumbnailRenderer::thumbnailKey(*doc->page(i), 0, 150);
        renderer.schedule(doc->page(i), keys.last(), 150);
    }
    // A page already queued is not queued twice.
    renderer.schedule(doc->page(0), keys.first(), 150);
    EXPECT_EQ(renderer.pendingCount(), 8);

    ASSERT_TRUE(QTest::qWaitFor([&] { return gated.running.load() == 3; }, 10000));
    EXPECT_EQ(gated.started.load(), 3);
    gated.gate.release(8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() == 8; }, 20000));

    EXPECT_EQ(gated.maxRunning.load(), 3);
    EXPECT_EQ(gated.started.load(), 8);
    EXPECT_FALSE(gated.threads.contains(QThread::currentThread()));
    EXPECT_EQ(deliveryThreads, QSet<QThread*>{QThread::currentThread()});
    EXPECT_EQ(renderer.pendingCount(), 0);
    const Thumbnail* first = renderer.cached(keys.first());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->image.size(), QSize(301, 390));
    EXPECT_EQ(first->pointSize, QSize(150, 195));
    EXPECT_EQ(renderer.cacheTotalCost(), 8 * 469560);
    // The page is drawn: the thumbnail is not blank.
    EXPECT_NE(first->image.pixel(150, 120), first->image.pixel(2, 2));
}

// Counts the calls queued to an object that its thread's event loop runs.
class QueuedCallCounter : public QObject {
public:
    int calls = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++calls;
        return false;
    }
};

TEST(ThumbnailRendering, PagesWaitingBehindAFullQueueLeaveTheMainThreadAsleep)
{
    const pdf::DocumentPtr doc = pages(20);
    ThumbnailRenderer renderer(167772160);
    test::GatedRender gated;
    renderer.setRenderFunction(gated.function());
    int delivered = 0;
    renderer.setDeliveryHandler([&](const QString&, const Thumbnail&) { ++delivered; });
    QueuedCallCounter counter;
    renderer.installEventFilter(&counter);
    for (int i = 0; i < 20; ++i)
        renderer.schedule(doc->page(i), ThumbnailRenderer::thumbnailKey(*doc->page(i), 0, 120), 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gated.running.load() == 3; }, 10000));

    // Nothing can move until a render finishes, so once the pages ahead of the workers are copied out
    // (at least one per turn) the loop has nothing to run for the renderer; a turn re-armed while pages
    // wait would run thousands of times in each of these waits.
    int whileFull = -1;
    for (int i = 0; i < 40 && whileFull != counter.calls; ++i) {
        whileFull = counter.calls;
        QTest::qWait(50);
    }
    QTest::qWait(100);
    EXPECT_EQ(counter.calls, whileFull);
    EXPECT_LE(whileFull, ThumbnailRenderer::kMaxConcurrent + ThumbnailRenderer::kCapturedAhead + 1);

    // Each finished render still brings the next page in, until every page is drawn.
    gated.gate.release(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered == 20; }, 20000));
    EXPECT_EQ(gated.started.load(), 20);
    EXPECT_EQ(renderer.pendingCount(), 0);
    // One call per finished render and at most one per turn that copied pages out.
    EXPECT_LE(counter.calls, 2 * 20 + 2);
}

TEST(ThumbnailRendering, CancelledOrOrphanedRendersAreNeitherShownNorCached)
{
    pdf::DocumentPtr doc = pages(5);
    ThumbnailRenderer renderer(62914560);
    test::GatedRender gated;
    renderer.setRenderFunction(gated.function());
    QStringList delivered;
    renderer.setDeliveryHandler([&](const QString& key, const Thumbnail&) { delivered << key; });
    QStringList keys;
    for (int i = 0; i < 5; ++i)
        keys << ThumbnailRenderer::thumbnailKey(*doc->page(i), 0, 120);
    for (int i = 0; i < 3; ++i)
        renderer.schedule(doc->page(i), keys[i], 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gated.running.load() == 3; }, 10000));
    // Queued behind the three running renders, then cancelled before it starts.
    renderer.schedule(doc->page(3), keys[3], 120);
    renderer.cancel(keys[3]);
    EXPECT_FALSE(renderer.isPending(keys[3]));
    // A render whose page goes away before it is delivered.
    {
        pdf::PagePtr orphan = doc->page(4)->copy();
        renderer.schedule(orphan, QStringLiteral("orphan"), 120);
        QTest::qWait(20); // copied out in a turn of its own
    }
    gated.gate.release(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() == 3 && renderer.pendingCount() == 0; }, 20000));
    QTest::qWait(50);
    EXPECT_EQ(delivered.size(), 3);
    EXPECT_EQ(renderer.cached(keys[3]), nullptr);
    EXPECT_EQ(renderer.cached(QStringLiteral("orphan")), nullptr);
    EXPECT_EQ(gated.started.load(), 4); // the cancelled render never ran
}

TEST(ThumbnailRendering, APageWhoseImageCannotBeDecodedWithinTheBudgetGetsACardSayingSo)
{
    // The page records quickly; drawing it would decode an image of more than a gigabyte.
    const pdf::DocumentPtr doc =
        pdf::Document::fromData(test::testPagesPdf({test::TestPage::absurdImage, test::TestPage::plain})).value();
    ThumbnailRenderer renderer(167772160);
    renderer.setBudget(pdf::RecordBudget{test::scaledMs(10000), std::size_t(256) << 20});
    QMap<QString, QImage> delivered;
    renderer.setDeliveryHandler([&](const QString& key, const Thumbnail& t) { delivered[key] = t.image; });
    renderer.schedule(doc->page(0), QStringLiteral("absurd"), 150);
    renderer.schedule(doc->page(1), QStringLiteral("plain"), 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() == 2; }, test::scaledMs(15000)));
    const QSize size = ThumbnailRenderer::pixelSize(QSizeF(612, 792), ThumbnailRenderer::requestedScale(150, QSizeF(612, 792)));
    EXPECT_EQ(delivered["absurd"], ThumbnailRenderer::placeholder(size, pdf::RecordOutcome::tooLarge));
    EXPECT_EQ(delivered["plain"].size(), size);
    EXPECT_NE(delivered["plain"], ThumbnailRenderer::placeholder(size, pdf::RecordOutcome::failed));
}

TEST(ThumbnailRendering, AnnotationsAreDrawnOverTheThumbnail)
{
    const pdf::DocumentPtr doc = pages(1);
    const pdf::PagePtr page = doc->page(0);
    ThumbnailRenderer renderer(167772160);
    std::optional<Thumbnail> plain, marked;
    renderer.setDeliveryHandler([&](const QString& key, const Thumbnail& t) {
        (key == QStringLiteral("plain") ? plain : marked) = t;
    });
    renderer.schedule(page, QStringLiteral("plain"), 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return plain.has_value(); }, 10000));

    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(20, 20, 200, 200));
    square->setColor(QColor(255, 0, 0));
    square->setInteriorColor(QColor(255, 0, 0));
    page->addAnnotation(square);
    renderer.schedule(page, QStringLiteral("marked"), 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return marked.has_value(); }, 10000));
    // Page space (100, 100) is near the bottom left of the thumbnail.
    const QColor before = plain->image.pixelColor(50, 390 - 50);
    const QColor after = marked->image.pixelColor(50, 390 - 50);
    EXPECT_GT(before.green(), 200);
    EXPECT_GT(after.red(), 200);
    EXPECT_LT(after.green(), 80);
}

TEST(ThumbnailRendering, ClosingNeverWaitsForAStartedRenderWhichEndsOnItsOwnUndelivered)
{
    ASSERT_TRUE(QTest::qWaitFor([] { return pdfview::WorkerPool::retiredCount() == 0; }, test::scaledMs(30000)));
    pdf::DocumentPtr doc = pages(2);
    test::GatedRender gated; // outlives the renderer: its renders are still running when it goes
    int delivered = 0;
    auto* renderer = new ThumbnailRenderer(167772160);
    renderer->setRenderFunction(gated.function());
    renderer->setDeliveryHandler([&](const QString&, const Thumbnail&) { ++delivered; });
    renderer->schedule(doc->page(0), QStringLiteral("first"), 150);
    renderer->schedule(doc->page(1), QStringLiteral("second"), 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gated.running.load() == 2; }, 10000));

    test::ThreadTimer closing;
    closing.start();
    delete renderer; // a render stuck in a decoder would hold this for minutes if it waited
    doc.reset();
    EXPECT_LT(closing.elapsed(), test::scaledMs(300));
    EXPECT_EQ(pdfview::WorkerPool::retiredCount(), 1);

    gated.gate.release(2);
    EXPECT_TRUE(QTest::qWaitFor([] { return pdfview::WorkerPool::retiredCount() == 0; }, test::scaledMs(30000)));
    EXPECT_EQ(gated.running.load(), 0);
    QTest::qWait(20);
    EXPECT_EQ(delivered, 0);
}

TEST(ThumbnailRendering, PagesAskedForWhileADocumentIsWrittenAreCopiedOnceTheWritingIsOver)
{
    const pdf::DocumentPtr doc = pages(4);
    ThumbnailRenderer renderer(167772160);
    QStringList delivered;
    renderer.setDeliveryHandler([&](const QString& key, const Thumbnail&) { delivered << key; });
    const int waitsBefore = pdf::detail::EngineGate::mainThreadWaits();
    {
        test::WritingUnderWay writing(test::scaledMs(30000));
        for (int i = 0; i < 4; ++i)
            renderer.schedule(doc->page(i), QString::number(i), 120);
        QTest::qWait(100);
        EXPECT_TRUE(delivered.isEmpty());
        EXPECT_EQ(renderer.pendingCount(), 4);
        EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore); // nothing waited for the writer
        writing.end();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.size() == 4; }, test::scaledMs(10000)));
    EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore);
}
