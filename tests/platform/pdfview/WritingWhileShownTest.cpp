// A document written on a worker (a save) while its view is shown: painting, scrolling and the pointer
// going over the pages never wait for the writer; what they put off comes once the writing is over.

#include "platform/pdf/engine/Wait.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdf/pages/TextReader.h"
#include "platform/pdf/engine/EngineGate.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/ViewTestSupport.h"
#include "support/MainThreadStall.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"
#include "support/WritingUnderWay.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::pdfview;
using vmk::test::scaledMs;

namespace {

constexpr int kPages = 24;
const QRectF kLink(20, 300, 200, 30); // page space, on every page

// Made once per binary: a long write.
const QByteArray& slowToWrite()
{
    static const QByteArray data = test::slowToWritePdf(kPages);
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
    // How long the engine wrote, seen from a thread of its own: a main thread held by the writer would
    // stall for about as long.
    std::atomic<bool> watching{true};
    std::atomic<qint64> writingMs{0};
    std::thread watcher([&] {
        QElapsedTimer clock;
        while (watching.load() || clock.isValid()) {
            const bool writing = pdf::Document::isWritingUnderWay();
            if (writing && !clock.isValid()) {
                clock.start();
            } else if (!writing && clock.isValid()) {
                writingMs = clock.elapsed();
                clock.invalidate();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    bool written = false;
    pdf::Result<QByteArray> bytes = pdf::Result<QByteArray>::failure(QStringLiteral("not written"));
    QTimer::singleShot(0, [&] {
        pdf::waitWhileAnswering([&] { bytes = document->dataRepresentationFromWorker({}); }, pdf::OnCancel::Finish, 0);
        written = true;
    });
    const qint64 stall = test::longestMainThreadStall([&] { return !written; }, scaledMs(60000));
    poke.stop();
    watching = false;
    watcher.join();
    ASSERT_TRUE(bytes.ok()) << qPrintable(bytes.error());
    EXPECT_GT(turnsWhileWriting, 2);
    // Nothing waited at the engine's gate: the wait would have lasted as long as the writing.
    EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore);
    EXPECT_LT(stall, writingMs / 2);
    qInfo("%d turns while writing for %lld ms; longest stall %lld ms", turnsWhileWriting, qint64(writingMs), stall);

    // Once written, the pages scrolled to are drawn and the link under the pointer is shown.
    EXPECT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
    EXPECT_TRUE(test::waitUntil([&] {
        return !hovered.isEmpty() && hovered.last().at(0).toString().startsWith("https://example.org/");
    }));
    const pdf::DocumentPtr reread = test::openPdf(*bytes);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->pageCount(), kPages);
}

// What is put off while writing runs once, on a turn after the last writer is done; a writer starting
// again before that turn keeps it waiting; an owner gone meanwhile takes its work with it.
TEST(WritingWhileShown, WorkPutOffRunsOnceWhenNoWriterIsLeftAndNotForAnOwnerGone)
{
    namespace gate = pdf::detail::EngineGate;
    QObject owner;
    auto* gone = new QObject;
    int ran = 0, ranGone = 0;
    gate::close();
    gate::close(); // a second document being written alongside
    pdf::Document::afterWriting(&owner, [&] { ++ran; });
    pdf::Document::afterWriting(gone, [&] { ++ranGone; });
    delete gone;
    gate::open();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0); // one writer is left
    gate::open();
    gate::close(); // another write starts before the main thread's next turn
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);
    gate::open();
    EXPECT_EQ(ran, 0); // never from the writer's call
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(ranGone, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);

    // With nothing being written it still comes on a later turn, never inside the caller.
    pdf::Document::afterWriting(&owner, [&] { ++ran; });
    EXPECT_EQ(ran, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 2);
}

// Letting go of a page's drawing, of a page copy or of a handle frees engine objects: while a document is
// being written that never waits for the writer, and what is freed is freed once the writing is over.
TEST(WritingWhileShown, LettingGoOfDrawingsCopiesAndHandlesNeverWaitsForTheWriter)
{
    const pdf::DocumentPtr document = test::openPdf(test::slowToWritePdf(2, 1000));
    ASSERT_TRUE(document);
    std::shared_ptr<pdf::PageCapture> capture = pdf::PageCapture::take(*document->page(0), true);
    ASSERT_TRUE(capture);
    pdf::RecordResult recorded = capture->record({});
    ASSERT_TRUE(recorded.snapshot);
    pdf::AnnotationPtr note = pdf::Annotation::create(QStringLiteral("Square"), QRectF(10, 10, 50, 50));
    const int waitsBefore = pdf::detail::EngineGate::mainThreadWaits();
    {
        test::WritingUnderWay writing(scaledMs(10000));
        recorded.snapshot.reset();
        capture.reset();
        note.reset();
        EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore);
        writing.end();
    }
    QCoreApplication::processEvents();

    // A search's reading that ends while a document is being written: its copies of the document go (on a
    // worker, soon after).
    pdf::TextReader reader;
    bool finished = false;
    QObject::connect(&reader, &pdf::TextReader::finished, [&] { finished = true; });
    reader.start(document);
    {
        test::WritingUnderWay writing(scaledMs(10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return finished; }, scaledMs(10000)));
        EXPECT_TRUE(QTest::qWaitFor([] { return pdf::TextReader::openCopies() == 0; }, scaledMs(10000)));
        EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore);
        writing.end();
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(document->page(1)->text().contains(QStringLiteral("Page 2 alpha beta")));

    // The engine goes on as before: the page is copied and drawn again.
    capture = pdf::PageCapture::take(*document->page(0), true);
    ASSERT_TRUE(capture);
    recorded = capture->record({});
    ASSERT_TRUE(recorded.snapshot);
    EXPECT_FALSE(recorded.snapshot->render(1.0, QRect(0, 0, 100, 100)).isNull());
    EXPECT_EQ(pdf::detail::EngineGate::mainThreadWaits(), waitsBefore);
}

// While the document is written, a page scrolled to that was never drawn is drawn before the writing ends,
// from the bytes the document was opened from; a page an edit reaches is not drawn from them (it would
// show the page without the edit) and waits for the writing to end. The file is large enough that
// writing it lasts far longer than drawing a page.
TEST(WritingWhileShown, PagesScrolledToAreDrawnBeforeTheWritingEndsUnlessAnEditReachesThem)
{
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const pdf::DocumentPtr document = test::openPdf(test::slowToWritePdf(kPages, 3 << 20));
    ASSERT_TRUE(document);
    const int unchanged = kPages / 2, edited = kPages - 1;
    document->page(edited)->addAnnotation(pdf::Annotation::create(QStringLiteral("Square"), QRectF(40, 40, 200, 200)));
    view.setDocument(document);
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));

    enum class Step { start, unchangedShown, editedShown } step = Step::start;
    bool unchangedDrawn = false, editedDrawn = false;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!pdf::Document::isWritingUnderWay())
            return;
        if (step == Step::start) {
            view.goToPage(unchanged);
            step = Step::unchangedShown;
        } else if (step == Step::unchangedShown && view.isFullyRendered()) {
            unchangedDrawn = true;
            view.goToPage(edited);
            step = Step::editedShown;
        } else if (step == Step::editedShown) {
            editedDrawn = editedDrawn || view.isFullyRendered();
        }
    });
    poke.start(5);
    bool written = false;
    pdf::Result<QByteArray> bytes = pdf::Result<QByteArray>::failure(QStringLiteral("not written"));
    QTimer::singleShot(0, [&] {
        pdf::waitWhileAnswering([&] { bytes = document->dataRepresentationFromWorker({}); }, pdf::OnCancel::Finish, 0);
        written = true;
    });
    ASSERT_TRUE(test::waitUntil([&] { return written; }, scaledMs(120000)));
    poke.stop();
    ASSERT_TRUE(bytes.ok()) << qPrintable(bytes.error());
    EXPECT_TRUE(unchangedDrawn);
    EXPECT_EQ(step, Step::editedShown);
    EXPECT_FALSE(editedDrawn);
    EXPECT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
}
