// Entering Edit mode on a document with a page that takes very long to read: the window goes on answering
// while the session is prepared, the slow page is never decoded for it, and the session edits and saves.

#include "EditorTestSupport.h"

#include "core/pdfium/PDFEditSession.h"
#include "platform/pdf/pages/ContentSplit.h"
#include "support/CpuTime.h"
#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/TestFiles.h"
#include "support/Wait.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::test;

namespace {


// Page 0: two lines of Helvetica, one text object each. Page 1: a picture drawn from the slow JBIG2 stream.
// Page 2 (unless left out): content behind the slow JBIG2 filter itself.
QByteArray slowPages(bool slowContent = true)
{
    PdfBuilder pdf;
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    const int text = pdf.addStream({}, "BT /F1 14 Tf 72 700 Td (Quarterly report) Tj ET\n"
                                       "q 0 0 1 rg 72 500 100 50 re f Q\n"
                                       "BT /F1 12 Tf 72 400 Td (Figures follow) Tj ET\n");
    QByteArrayList kids;
    kids << ref(pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 612 792] /Resources << /Font << /F1 "
                        + ref(font) + " >> >> /Contents " + ref(text) + " >>"));
    const int image = pdf.addStream("/Type /XObject /Subtype /Image /Width 4000 /Height 4000 /ColorSpace /DeviceGray "
                                    "/BitsPerComponent 1 /Filter /JBIG2Decode",
                                    slowJbig2(4000, 400));
    const int draw = pdf.addStream({}, "q 400 0 0 400 100 200 cm /Im0 Do Q\n");
    kids << ref(pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 612 792] /Resources << /XObject << /Im0 "
                        + ref(image) + " >> >> /Contents " + ref(draw) + " >>"));
    if (slowContent) {
        const int slow = pdf.addStream("/Filter /JBIG2Decode", slowJbig2(4000, 400));
        kids << ref(pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 612 792] /Contents " + ref(slow)
                            + " >>"));
    }
    pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + kids.join(' ') + "] /Count " + QByteArray::number(kids.size()) + " >>");
    return pdf.write(catalog);
}

} // namespace

TEST(EditEntry, TheWindowAnswersWhileTheSessionIsPreparedAndTheSessionSaves)
{
    if (!QFileInfo::exists(core::PDFEditSession::pdfiumLibraryPath()))
        GTEST_SKIP() << "PDFium is not in this build";
    EditorFixture f(pdf::Document::fromData(slowPages()).value());
    bool entered = false;
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, [&] {
        f.editor->setMode(EditorMode::edit);
        entered = true;
    });
    const qint64 stall = longestMainThreadStall([&] { return !entered; }, scaledMs(15000));
    ASSERT_TRUE(entered);
    EXPECT_LT(stall, scaledMs(400));
    // Neither slow stream was decoded on the way (either would take the best part of a minute).
    EXPECT_LT(clock.elapsed(), scaledMs(10000));
    ASSERT_NE(f.editor->editSession(), nullptr) << (f.editor->toast() ? f.editor->toast()->text.toStdString() : "");

    const auto target = f.editor->editTargetAt(0, QPointF(80, 704));
    ASSERT_TRUE(target && target->isText());
    f.editor->commitTextEdit(target->block, 0, QStringLiteral("Annual report"));
    EXPECT_TRUE(f.undo().canUndo());
    const QString text = f.page(0)->text().simplified();
    EXPECT_TRUE(text.contains(QStringLiteral("Annual report"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Figures follow"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Quarterly"))) << text.toStdString();
    EXPECT_EQ(f.pdf()->pageCount(), 3);

    if (!commandExists(QStringLiteral("qpdf")))
        GTEST_SKIP() << "qpdf is not installed";
    const QString saved = f.dir.filePath(QStringLiteral("saved.pdf"));
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(f.pdf()->dataRepresentation().value());
    file.close();
    // qpdf cannot read JBIG2 content at all, so the last page (kept as it came) is left out of its check.
    const QString firstTwo = f.dir.filePath(QStringLiteral("first-two.pdf"));
    const CommandResult extract = runCommand(
        QStringLiteral("qpdf"), {QStringLiteral("--empty"), QStringLiteral("--pages"), saved, QStringLiteral("1-2"),
                                 QStringLiteral("--"), firstTwo});
    ASSERT_EQ(extract.exitCode, 0) << extract.err.toStdString();
    const CommandResult check = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), firstTwo});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
    const CommandResult whole = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--check"), saved});
    EXPECT_FALSE(whole.out.contains("page 1:") || whole.out.contains("page 2:")) << whole.out.toStdString();
}

TEST(EditEntry, SplittingLeavesPagesBehindPictureFiltersWholeAndStopsAtItsBudget)
{
    const QByteArray data = slowPages();
    // The text page is cut; the slow content is not read (decoding it would outlast the test by far) and
    // neither is the slow picture.
    const QByteArray split = pdf::splitPageContents(data, {}, -1);
    EXPECT_NE(split, data);
    const auto opened = pdf::Document::fromData(split);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened.value()->pageCount(), 3);
    EXPECT_EQ(opened.value()->page(0)->text().simplified(), QStringLiteral("Quarterly report Figures follow"));
    // Past the budget the document comes back as it was.
    EXPECT_EQ(pdf::splitPageContents(data, {}, 0), data);
}

TEST(EditEntry, EscStopsPreparingTheSessionSoonAndLeavesTheDocumentAsItWas)
{
    if (!QFileInfo::exists(core::PDFEditSession::pdfiumLibraryPath()))
        GTEST_SKIP() << "PDFium is not in this build";
    // Forty pages sharing one content stream of 150,000 text objects: each page's is read and gone through
    // in turn to be cut, seconds in all, before the splitting's budget gives up on it.
    static const QByteArray data = [] {
        PdfBuilder pdf;
        const int catalog = pdf.reserve();
        const int pages = pdf.reserve();
        const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int content = pdf.addStream({}, QByteArray("BT /F1 9 Tf 72 700 Td (Busy page) Tj ET\n").repeated(150000));
        QByteArrayList kids;
        for (int i = 0; i < 40; ++i)
            kids << ref(pdf.add("<< /Type /Page /Parent " + ref(pages) + " /MediaBox [0 0 612 792] /Resources << /Font "
                                "<< /F1 " + ref(font) + " >> >> /Contents " + ref(content) + " >>"));
        pdf.set(catalog, "<< /Type /Catalog /Pages " + ref(pages) + " >>");
        pdf.set(pages, "<< /Type /Pages /Kids [" + kids.join(' ') + "] /Count 40 >>");
        return pdf.write(catalog);
    }();
    EditorFixture f(pdf::Document::fromData(data).value());
    const QByteArray before = f.pdf()->dataRepresentation().value();
    QWidget window;
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Soon is judged by the work done after the key, in processor time of the whole process: at most a
    // tenth of a second here, where entering untouched costs some four seconds. The clock on the wall
    // would also count the time a loaded machine keeps the worker waiting for a processor.
    QElapsedTimer clock;
    qint64 pressedAt = -1, returnedAt = -1;
    double cpuAtPress = 0, cpuAtReturn = 0;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(300, [&] {
            pressedAt = clock.elapsed();
            cpuAtPress = processCpuMs();
            QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
        });
        clock.start();
        f.editor->setMode(EditorMode::edit);
        cpuAtReturn = processCpuMs();
        returnedAt = clock.elapsed();
    });
    // The time allowed only ends a preparation that never stops.
    ASSERT_TRUE(eventually([&] { return returnedAt >= 0; }, scaledMs(60000)));
    ASSERT_GE(pressedAt, 0) << "the session was ready in " << returnedAt << " ms, before the key";
    EXPECT_LT(cpuAtReturn - cpuAtPress, scaledMs(600))
        << "returned " << returnedAt - pressedAt << " ms after the key";
    // Nothing was opened and no error is shown; the editor goes back to reading, the document unchanged.
    EXPECT_EQ(f.editor->editSession(), nullptr);
    EXPECT_FALSE(f.editor->toast().has_value());
    f.scheduler.runDue();
    EXPECT_EQ(f.editor->mode(), EditorMode::read);
    EXPECT_EQ(f.pdf()->dataRepresentation().value(), before);
    EXPECT_FALSE(f.undo().canUndo());
}
