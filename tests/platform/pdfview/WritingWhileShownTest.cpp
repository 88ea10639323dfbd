// A document written on a worker (a save) while its view is shown: painting, scrolling and the pointer
// going over the pages never wait for the writer; what they put off comes once the writing is over.

#include "platform/pdf/AnsweringWait.h"
#include "platform/pdf/Document.h"
#include "platform/pdf/detail/EngineGate.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/ViewTestSupport.h"
#include "support/MainThreadStall.h"
#include "support/PdfBuilder.h"
#include "support/Slowdown.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::pdfview;
using vmk::test::scaledMs;

namespace {

constexpr int kPages = 24;
const QRectF kLink(20, 300, 200, 30); // page space, on every page

// Pages of a line of text and a link each, whose content also carries a megabyte of comments: nothing
// to draw, but the writer compresses it all, a long write. Made once per binary.
const QByteArray& slowToWrite()
{
    static const QByteArray data = [] {
        test::PdfBuilder b;
        const int catalog = b.reserve(), pagesNum = b.reserve();
        const int font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        QByteArray filler;
        quint32 seed = 12345;
        while (filler.size() < (1 << 20)) {
            filler += "% ";
            for (int i = 0; i < 60; ++i) {
                seed = seed * 1664525u + 1013904223u;
                filler += char('a' + (seed >> 24) % 26);
            }
            filler += '\n';
        }
        QByteArray kids;
        for (int i = 0; i < kPages; ++i) {
            const int link = b.add("<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [20 300 220 330] /A << /S "
                                   "/URI /URI (https://example.org/" + QByteArray::number(i) + ") >> >>");
            const int content = b.addStream({}, "BT /F1 18 Tf 30 350 Td (Page " + QByteArray::number(i + 1)
                                                    + " alpha beta) Tj ET\n" + filler);
            kids += test::ref(b.add("<< /Type /Page /Parent " + test::ref(pagesNum)
                                    + " /MediaBox [0 0 300 400] /Resources << /Font << /F1 " + test::ref(font)
                                    + " >> >> /Contents " + test::ref(content) + " /Annots [" + test::ref(link)
                                    + "] >>"))
                    + ' ';
        }
        b.set(pagesNum, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(kPages) + " >>");
        b.set(catalog, "<< /Type /Catalog /Pages " + test::ref(pagesNum) + " >>");
        return b.write(catalog);
    }();
    return data;
}

void moveTo(PDFView& view, QPointF point)
{
    QMouseEvent move(QEvent::MouseMove, point, view.viewport()->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &move);
}

} // namespace

TEST(WritingWhileShown, PaintingScrollingAndThePointerNeverWaitForTheWriter)
{
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const pdf::DocumentPtr document = test::openPdf(slowToWrite());
    ASSERT_TRUE(document);
    view.setDocument(document);
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
    QSignalSpy hovered(&view, &PDFView::linkHovered);
    const int waitsBefore = pdf::detail::EngineGate::mainThreadWaits();

    // While the engine writes: the window scrolls to pages never drawn, paints at once, and the pointer
    // goes over a link.
    int turnsWhileWriting = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!pdf::Document::isWritingUnderWay())
            return;
        ++turnsWhileWriting;
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + 120);
        view.viewport()->repaint();
        const int page = view.currentPageIndex();
        moveTo(view, view.convertRectFromPage(kLink, page).center());
    });
    poke.start(2);
    bool written = false;
    pdf::Result<QByteArray> bytes = pdf::Result<QByteArray>::failure(QStringLiteral("not written"));
    QTimer::singleShot(0, [&] {
        pdf::waitWhileAnswering([&] { bytes = document->dataRepresentationFromWorker({}); }, pdf::OnCancel::Finish, 0);
        written = true;
    });
    const qint64 stall = test::longestMainThreadStall([&] { return !written; }, scaledMs(60000));
    poke.stop();
    ASSERT_TRUE(bytes.ok()) << qPrintable(bytes.error());
    EXPECT_GT(turnsWhileWriting, 2);
    // Nothing waited at the engine's gate: the wait would have lasted as long as the writing.
    EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore);
    EXPECT_LT(stall, scaledMs(150));
    qInfo("%d turns while writing; longest stall %lld ms", turnsWhileWriting, stall);

    // Once written, the pages scrolled to are drawn and the link under the pointer is shown.
    EXPECT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
    EXPECT_TRUE(test::waitUntil([&] {
        return !hovered.isEmpty() && hovered.last().at(0).toString().startsWith("https://example.org/");
    }));
    const pdf::DocumentPtr reread = test::openPdf(*bytes);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->pageCount(), kPages);
}
