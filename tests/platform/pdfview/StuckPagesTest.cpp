// Closing a window while one of its pages is stuck in a decoder that never looks at its cancel flag: the
// close returns at once, the stuck work ends on its own later without touching what was closed, and the
// end of the application still waits for writes.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/PageRecordings.h"
#include "platform/pdfview/PageTexts.h"
#include "platform/pdfview/RenderScheduler.h"
#include "platform/pdfview/ViewTestSupport.h"
#include "platform/pdfview/WorkerPool.h"
#include "support/SlowContent.h"
#include "support/MainThreadStall.h"
#include "support/Slowdown.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace vmk;
using namespace vmk::pdfview;

namespace {

constexpr char kCloseWhileStuck[] = "VMK_CLOSE_WHILE_STUCK";


// Page 1 is drawn from that stream (its content is garbage once decoded); page 2 is ordinary. The
// default takes about a minute to decode.
QByteArray stuckPdf(int side = 4000, int regions = 400)
{
    const QByteArray jbig2 = test::slowJbig2(side, regions);
    QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(jbig2.size()) + " /Filter /JBIG2Decode >>\nstream\n" + jbig2 +
            "\nendstream",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Contents 6 0 R >>",
        "<< /Length 0 >>\nstream\n\nendstream",
    };
    QByteArray pdf = "%PDF-1.7\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

} // namespace

// Run by the test below in a child process, which ends while the stuck work is still running.
TEST(StuckPages, ClosingChild)
{
    const QString marker = qEnvironmentVariable(kCloseWhileStuck);
    if (marker.isEmpty())
        GTEST_SKIP() << "runs only as a child of ClosingAWindowNeverWaitsForAStuckPageButTheEndWaitsForWrites";
    pdf::DocumentPtr document = test::openPdf(stuckPdf());
    ASSERT_TRUE(document);
    auto* view = new PDFView;
    view->resize(500, 600);
    view->show();
    view->setDocument(document);
    // The text of the stuck page, as pointing at it asks for.
    auto* texts = new PageTexts;
    EXPECT_FALSE(texts->ready(0, 0, document->page(0)));
    // A tile whose drawing never returns either.
    auto* tiles = new RenderScheduler(1);
    std::atomic_bool drawing{false};
    tiles->request(TileKey{0, 1000, 0, 0, 0}, RenderScheduler::CancellableRender([&drawing](const pdf::RecordCancel&) {
        drawing = true;
        std::this_thread::sleep_for(std::chrono::minutes(5));
        return QImage();
    }));
    // Long enough for the workers to be deep in the decoder.
    ASSERT_TRUE(test::waitUntil([&] { return drawing.load(); }, 10000));
    QTest::qWait(300);
    EXPECT_TRUE(texts->isReading(0));
    EXPECT_FALSE(view->isFullyRendered());

    test::ThreadTimer closing;
    closing.start();
    delete view;
    delete texts;
    delete tiles;
    document.reset(); // the workers hold copies of their own
    std::printf("closed in %lld ms\n", static_cast<long long>(closing.elapsed()));
    std::fflush(stdout);
    EXPECT_GE(WorkerPool::retiredCount(), 3);

    // A write started just before the end is finished before the process goes.
    QThreadPool::globalInstance()->start([marker] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QFile file(marker);
        if (file.open(QIODevice::WriteOnly))
            file.write("written");
    });
}

TEST(StuckPages, ClosingAWindowNeverWaitsForAStuckPageButTheEndWaitsForWrites)
{
    QTemporaryDir folder;
    const QString marker = folder.filePath(QStringLiteral("written"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kCloseWhileStuck, marker);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=StuckPages.ClosingChild"});
    // Decoding the page takes tens of seconds (minutes for the tile): the child outlives this if closing
    // or ending waits for it.
    const bool finished = child.waitForFinished(test::scaledMs(20000));
    if (!finished)
        child.kill();
    const QByteArray output = child.readAllStandardOutput();
    ASSERT_TRUE(finished) << output.constData();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    const qsizetype at = output.indexOf("closed in ");
    ASSERT_GE(at, 0) << output.constData();
    const int closedMs = output.mid(at + 10).split(' ').first().toInt();
    EXPECT_LT(closedMs, test::scaledMs(500));
    QFile written(marker);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("written"));
}

TEST(StuckPages, WorkLeftRunningByAClosedWindowEndsOnItsOwnAndFreesWhatItHeld)
{
    ASSERT_TRUE(test::waitUntil([] { return WorkerPool::retiredCount() == 0; }, test::scaledMs(30000)));
    const int copiesBefore = pdf::PageCapture::copyDocumentsAlive();
    // About a second of decoding, less than the budget: the work ends on its own, with a result for an
    // owner that is gone.
    pdf::DocumentPtr document = test::openPdf(stuckPdf(4000, 8));
    auto* recordings = new PageRecordings(1);
    auto* texts = new PageTexts;
    auto* tiles = new RenderScheduler(1);
    QSemaphore gate;
    std::atomic_bool drawn{false};
    EXPECT_FALSE(recordings->get(0, 0, document->page(0)));
    EXPECT_FALSE(texts->ready(0, 0, document->page(0)));
    tiles->request(TileKey{0, 1000, 0, 0, 0}, RenderScheduler::RenderFunction([&gate, &drawn] {
        gate.acquire();
        drawn = true;
        return QImage(64, 64, QImage::Format_RGB32);
    }));
    QTest::qWait(100);
    ASSERT_TRUE(recordings->isRecording(0));

    test::ThreadTimer closing;
    closing.start();
    delete recordings;
    delete texts;
    delete tiles;
    document.reset();
    EXPECT_LT(closing.elapsed(), test::scaledMs(300));
    EXPECT_GE(WorkerPool::retiredCount(), 2);

    gate.release();
    // Each pool is freed once its last work ends; the copies of the page go with the work.
    EXPECT_TRUE(test::waitUntil([] { return WorkerPool::retiredCount() == 0; }, test::scaledMs(30000)));
    EXPECT_TRUE(drawn.load());
    QTest::qWait(20); // any call the work queued for its owner
    EXPECT_EQ(pdf::PageCapture::copyDocumentsAlive(), copiesBefore);
}
