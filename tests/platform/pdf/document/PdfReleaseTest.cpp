// Letting go of a large document never holds the window's thread: the engine frees it on a worker.

#include "platform/pdf/PdfFixtures.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/TextReader.h"
#include "platform/pdfview/HostilePages.h"
#include "platform/services/HeapTrim.h"

#include "support/MainThreadStall.h"
#include "support/PaintedPdf.h"
#include "support/PdfBuilder.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace vmk;

namespace {

// Small pages sharing one content stream, packed a hundred to an object stream behind a
// cross-reference stream.
constexpr int kPages = 60000;

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

TEST(DocumentRelease, ALargeDocumentIsFreedOnAWorkerWhileTheMainThreadGoesOn)
{
    const QByteArray bytes = test::packedManyPagesPdf(kPages);
    ASSERT_NE(bytes.indexOf("/ObjStm"), -1);
    pdf::DocumentPtr document;
    {
        auto opened = pdf::Document::fromData(bytes);
        ASSERT_TRUE(opened);
        document = opened.value();
    }
    ASSERT_EQ(document->pageCount(), kPages);
    // A window reads every page's size as it lays the document out.
    for (const pdf::PagePtr& page : document->pages())
        ASSERT_TRUE(page && !page->displaySize().isEmpty());
    // Documents earlier tests let go of finish first: they would end during the wait below.
    ASSERT_TRUE(test::eventually([] { return pdf::Document::releasesUnderWay() == 0; }, test::scaledMs(10000)));
    const int before = pdf::Document::releasesUnderWay();

    // Time on the processor only: what the main thread spends on letting go, whatever the load.
    const qint64 waitedBefore = test::runQueueWaitNs();
    QElapsedTimer clock;
    clock.start();
    document.reset();
    const qint64 spentMs = (clock.nsecsElapsed() - (test::runQueueWaitNs() - waitedBefore)) / 1000000;
    // Freeing it in place took about 40 ms of the main thread's time here.
    EXPECT_LT(spentMs, test::scaledMs(7));

    QElapsedTimer waited;
    waited.start();
    while (pdf::Document::releasesUnderWay() > before && waited.elapsed() < test::scaledMs(10000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(pdf::Document::releasesUnderWay(), before);
}

TEST(DocumentRelease, APageThatOutlivesItsDocumentKeepsItUntilItGoes)
{
    ASSERT_TRUE(test::eventually([] { return pdf::Document::releasesUnderWay() == 0; }, test::scaledMs(10000)));
    const int before = pdf::Document::releasesUnderWay();
    pdf::PagePtr kept;
    {
        auto opened = pdf::Document::fromData(test::assemblePdf(
            {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>",
             "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Rotate 90 >>"}));
        ASSERT_TRUE(opened);
        kept = opened.value()->page(1);
    }
    QElapsedTimer waited;
    waited.start();
    while (pdf::Document::releasesUnderWay() > before && waited.elapsed() < test::scaledMs(10000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(pdf::Document::releasesUnderWay(), before);
    // The engine's document stayed for the page, which is freed with it here.
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->document(), nullptr);
    EXPECT_EQ(kept->displaySize(), QSizeF(200, 300));
    EXPECT_EQ(kept->rotation(), 90);
    kept.reset();
}

TEST(DocumentRelease, WhatAReadDocumentHeldGoesBackToTheSystemOnceItCloses)
{
#if defined(VMK_SANITIZE)
    GTEST_SKIP() << "the sanitizers' allocator keeps freed memory its own way";
#endif
    QStringList texts;
    const QString words = QStringLiteral("ledger column entry balance carried forward ").repeated(30);
    for (int i = 0; i < 400; ++i)
        texts << QStringLiteral("Leaf %1 %2").arg(i).arg(words);
    const QByteArray bytes = test::pdf::textPdf(texts);
    // Every page's text, read on the workers as a search reads it.
    auto readAll = [](const QByteArray& data) {
        auto opened = pdf::Document::fromData(data);
        pdf::TextReader reader;
        reader.start(opened ? opened.value() : nullptr);
        return test::eventually([&] { return !reader.isRunning(); }, test::scaledMs(60000));
    };
    // The workers' threads, and what each keeps for itself, are there for good after a first read.
    ASSERT_TRUE(readAll(test::pdf::textPdf(texts.mid(0, 40))));
    ASSERT_TRUE(test::eventually([] { return pdf::Document::releasesUnderWay() == 0; }));
    const int trimsBefore = platform::heapTrimsDone();
    const long before = residentKiB();
    long whileOpen = 0;
    {
        auto opened = pdf::Document::fromData(bytes);
        ASSERT_TRUE(opened);
        pdf::TextReader reader;
        reader.start(opened.value());
        ASSERT_TRUE(test::eventually([&] { return !reader.isRunning(); }, test::scaledMs(60000)));
        whileOpen = residentKiB();
    }
    ASSERT_TRUE(test::eventually(
        [&] {
            return pdf::Document::releasesUnderWay() == 0 && platform::heapTrimsDone() > trimsBefore &&
                   !platform::isHeapTrimUnderWay();
        },
        test::scaledMs(20000)));
    // The workers' heaps kept nearly all of it before.
    const long after = residentKiB();
    EXPECT_LT(after - before, (whileOpen - before) / 3) << before << " KiB before, " << whileOpen << " open, " << after;
}

TEST(DocumentRelease, PicturesDecodedToDrawAClosedDocumentGoBackWithIt)
{
#if defined(VMK_SANITIZE)
    GTEST_SKIP() << "the sanitizers' allocator keeps freed memory its own way";
#endif
    // Scanned pages: each picture decodes to 10 MiB, which the engine keeps to draw the page again.
    const QByteArray bytes = test::paintedPdf(3, QSizeF(612, 792), [](QPainter& p, int page) {
        QImage scan(1600, 2100, QImage::Format_RGB888);
        for (int y = 0; y < scan.height(); ++y)
            for (int x = 0; x < scan.width(); ++x)
                scan.setPixel(x, y, qRgb((x * 7 + page) % 256, (y * 3) % 256, (x ^ y) % 256));
        p.drawImage(QRectF(0, 0, 612, 792), scan);
    });
    ASSERT_TRUE(test::eventually([] { return pdf::Document::releasesUnderWay() == 0 && !platform::isHeapTrimUnderWay(); }));
    const int trimsBefore = platform::heapTrimsDone();
    const long before = residentKiB();
    long whileOpen = 0;
    {
        auto opened = pdf::Document::fromData(bytes);
        ASSERT_TRUE(opened);
        for (int i = 0; i < 3; ++i)
            ASSERT_FALSE(opened.value()->page(i)->render(1.0, pdf::RenderOptions{false, {}}).isNull());
        whileOpen = residentKiB();
    }
    ASSERT_TRUE(test::eventually(
        [&] {
            return pdf::Document::releasesUnderWay() == 0 && platform::heapTrimsDone() > trimsBefore &&
                   !platform::isHeapTrimUnderWay();
        },
        test::scaledMs(20000)));
    const long after = residentKiB();
    EXPECT_LT(after - before, (whileOpen - before) / 3) << before << " KiB before, " << whileOpen << " open, " << after;
}
