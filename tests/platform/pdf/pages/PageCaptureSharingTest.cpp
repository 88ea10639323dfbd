// Copied pages interpreted on several workers at once, their private documents freed on whichever worker
// lets go last: no worker may ever meet another copy's objects, however the work interleaves.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"

#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "support/PdfBuilder.h"
#include "support/Slowdown.h"

using namespace vmk::pdf;
using vmk::test::PdfBuilder;
using vmk::test::ref;

namespace {

constexpr char kWorkersChild[] = "VMK_CAPTURE_SHARING_CHILD";

// Pages painted in spot colours whose colour spaces and tint functions are written inline in each page's
// resources, the same on every page. The engine keeps what it loads from such inline objects under keys
// it compares by value, so every copy's keys equal every other copy's.
QByteArray spotColourPages(int pages, int spots)
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int root = pdf.reserve();
    QByteArray colourSpaces = "/ColorSpace <<";
    QByteArray content = "BT /F1 12 Tf 20 20 Td (Spot colours) Tj ET\n";
    for (int i = 0; i < spots; ++i) {
        const QByteArray n = QByteArray::number(i);
        colourSpaces += " /CS" + n + " [/Separation /Spot" + n + " /DeviceCMYK << /FunctionType 2 /Domain [0 1]"
            + " /C0 [0 0 0 0] /C1 [0 1 " + QByteArray::number(i % 2) + " 0] /N 1 >>]";
        content += "/CS" + n + " cs 0.8 scn " + QByteArray::number(10 + 12 * i) + " 100 10 10 re f\n";
    }
    colourSpaces += " >>";
    const QByteArray resources = "/Resources << " + colourSpaces
        + " /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>";
    QByteArray kids;
    for (int p = 0; p < pages; ++p) {
        const int contents = pdf.addStream({}, content);
        const int page = pdf.add("<< /Type /Page /Parent " + ref(root) + " /MediaBox [0 0 200 200] /Contents "
                                 + ref(contents) + " " + resources + " >>");
        kids += ref(page) + " ";
    }
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(root) + " >>");
    pdf.set(root, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
    return pdf.write(catalog);
}

} // namespace

// Run by the test below in a child process, so that a hang ends as a failure instead of stopping the suite.
TEST(CaptureSharing, WorkersChild)
{
    if (qEnvironmentVariableIsEmpty(kWorkersChild))
        GTEST_SKIP() << "runs only as a child of CopiesInterpretedAndFreedOnManyWorkersNeverMeet";
    auto opened = Document::fromData(spotColourPages(240, 16));
    ASSERT_TRUE(opened.ok());
    const DocumentPtr document = opened.value();
    const int pages = document->pageCount();
    ASSERT_EQ(pages, 240);
    std::atomic_int recorded{0}, texts{0}, inked{0};
    for (int round = 0; round < 6; ++round) {
        std::vector<std::shared_ptr<PageCapture>> captures;
        for (int i = 0; i < pages; ++i)
            captures.push_back(PageCapture::take(*document->page(i), false));
        std::atomic_int next{0};
        std::vector<std::thread> workers;
        for (int w = 0; w < 4; ++w) {
            workers.emplace_back([&] {
                for (int i = next++; i < pages; i = next++) {
                    std::shared_ptr<PageCapture> capture = std::move(captures[std::size_t(i)]);
                    if (!capture)
                        continue;
                    RecordResult result = capture->record(RecordBudget{});
                    if (result.outcome == RecordOutcome::recorded && result.snapshot) {
                        ++recorded;
                        // Drawn here too: the spot colours must come out as their own tints.
                        const QImage image = result.snapshot->render(1.0, QRect());
                        if (!image.isNull() && qRed(image.pixel(15, 95)) > 200 && qGreen(image.pixel(15, 95)) < 150)
                            ++inked;
                    }
                    if (capture->readText(RecordBudget{}).outcome == RecordOutcome::recorded)
                        ++texts;
                    // The last page of a copy let go here frees that copy on this worker, while the
                    // others are interpreting pages of theirs.
                    result = {};
                    capture.reset();
                }
            });
        }
        for (std::thread& worker : workers)
            worker.join();
    }
    std::printf("recorded %d read %d inked %d alive %d\n", recorded.load(), texts.load(), inked.load(),
                PageCapture::copyDocumentsAlive());
    std::fflush(stdout);
}

TEST(CaptureSharing, CopiesInterpretedAndFreedOnManyWorkersNeverMeet)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kWorkersChild, QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=CaptureSharing.WorkersChild"});
    const bool finished = child.waitForFinished(vmk::test::scaledMs(30000));
    if (!finished)
        child.kill();
    const QByteArray output = child.readAllStandardOutput();
    ASSERT_TRUE(finished) << "the workers hung";
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.constData();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("recorded 1440 read 1440 inked 1440 ")) << output.constData();
    // Copies retired as pages were let go were freed; the document keeps its few current ones.
    const qsizetype at = output.indexOf(" alive ");
    ASSERT_GE(at, 0) << output.constData();
    EXPECT_LE(output.mid(at + 7).split('\n').first().toInt(), 6);
}
