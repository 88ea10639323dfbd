// Letting go of a large document never holds the window's thread: the engine frees it on a worker.

#include "platform/pdf/PdfFixtures.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/TextReader.h"
#include "platform/pdfview/HostilePages.h"
#include "platform/services/HeapTrim.h"

#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/ProcessMemory.h"
#include "support/Slowdown.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <gtest/gtest.h>

using namespace vmk;

namespace {

// Small pages sharing one content stream, packed a hundred to an object stream behind a
// cross-reference stream.
constexpr int kPages = 60000;

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
    const long before = test::processStatusKiB("VmRSS");
    long whileOpen = 0;
    {
        auto opened = pdf::Document::fromData(bytes);
        ASSERT_TRUE(opened);
        pdf::TextReader reader;
        reader.start(opened.value());
        ASSERT_TRUE(test::eventually([&] { return !reader.isRunning(); }, test::scaledMs(60000)));
        whileOpen = test::processStatusKiB("VmRSS");
    }
    ASSERT_TRUE(test::eventually(
        [&] {
            return pdf::Document::releasesUnderWay() == 0 && platform::heapTrimsDone() > trimsBefore &&
                   !platform::isHeapTrimUnderWay();
        },
        test::scaledMs(20000)));
    // The workers' heaps kept nearly all of it before.
    const long after = test::processStatusKiB("VmRSS");
    EXPECT_LT(after - before, (whileOpen - before) / 3) << before << " KiB before, " << whileOpen << " open, " << after;
}
