// Pages that are slow or costly to interpret: interpreted on workers under a budget, shown as a
// placeholder when over it, while the window keeps answering.

#include "HostilePages.h"
#include "support/PdfBuilder.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdf/pages/PageCapture.h"
#include "platform/pdf/pages/PageSnapshot.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/PageRecordings.h"
#include "platform/pdfview/ViewTestSupport.h"
#include "support/CpuTime.h"
#include "support/MainThreadStall.h"
#include "support/Slowdown.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

using namespace vmk;
using namespace vmk::pdfview;

namespace {

constexpr int kSlowPaths = 400000;

// Made once per test binary: a slow page between two ordinary ones.
const QByteArray& slowDocumentData()
{
    static const QByteArray data = test::rawPdf({
        test::RawPage{test::textLine("Before the slow page")},
        test::RawPage{test::tinyPaths(kSlowPaths)},
        test::RawPage{test::textLine("After the slow page")},
    });
    return data;
}

pdf::DocumentPtr slowDocument()
{
    return test::openPdf(slowDocumentData());
}

qint64 runQueueWait()
{
    return test::runQueueWaitNs();
}

qint64 longestStall(const std::function<bool()>& running, int timeoutMs)
{
    return test::longestMainThreadStall(running, timeoutMs);
}

// The same measure around a call that blocks: the gaps between ticks of a 5 ms timer, less the time the
// system kept this thread off the processor.
class GapWatch {
public:
    GapWatch()
    {
        m_tick.setInterval(5);
        QObject::connect(&m_tick, &QTimer::timeout, [this] { turn(); });
        m_lastWait = runQueueWait();
        m_clock.start();
        m_tick.start();
    }
    qint64 longest()
    {
        turn();
        return m_longest;
    }

private:
    void turn()
    {
        const qint64 wait = runQueueWait();
        m_longest = std::max(m_longest, (m_clock.nsecsElapsed() - (wait - m_lastWait)) / 1000000);
        m_lastWait = wait;
        m_clock.restart();
    }
    QTimer m_tick;
    QElapsedTimer m_clock;
    qint64 m_lastWait = 0;
    qint64 m_longest = 0;
};

int inkedPixels(const QImage& image, const QRect& rect)
{
    int count = 0;
    for (int y = std::max(0, rect.top()); y <= std::min(image.height() - 1, rect.bottom()); ++y)
        for (int x = std::max(0, rect.left()); x <= std::min(image.width() - 1, rect.right()); ++x)
            count += qGray(image.pixel(x, y)) < 230 ? 1 : 0;
    return count;
}

} // namespace

TEST(PageCapture, RecordsThePageAsItIsDrawnAndHonoursItsBudget)
{
    auto document = test::openPdf(test::rawPdf({
        test::RawPage{test::textLine("Hello"), "0 0 300 400", "/Rotate 90 /CropBox [10 20 290 380]"},
        test::RawPage{test::tinyPaths(kSlowPaths)},
    }));
    const pdf::PagePtr page = document->page(0);
    auto square = pdf::Annotation::create(QStringLiteral("Square"), QRectF(40, 40, 120, 80));
    square->setColor(Qt::red);
    square->setInteriorColor(QColor(Qt::red));
    page->addAnnotation(square);

    // Same pixels as drawing the page in place: boxes, rotation and annotations come along.
    auto capture = pdf::PageCapture::take(*page, true);
    ASSERT_TRUE(capture);
    const pdf::RecordResult recorded = capture->record(pdf::RecordBudget{});
    ASSERT_EQ(recorded.outcome, pdf::RecordOutcome::recorded);
    EXPECT_EQ(recorded.snapshot->displaySize(), page->displaySize());
    const QImage copied = recorded.snapshot->render(1.0);
    const QImage inPlace = page->render(1.0);
    ASSERT_EQ(copied.size(), inPlace.size());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), inPlace.convertToFormat(QImage::Format_RGB32));
    EXPECT_GT(test::reddishPixels(copied, copied.rect()), 1000);
    EXPECT_GT(test::darkPixels(copied, copied.rect()), 20); // the text

    // Left out on request, and without annotations at all.
    auto without = pdf::PageCapture::take(*page, true, {square.get()})->record(pdf::RecordBudget{});
    EXPECT_EQ(test::reddishPixels(without.snapshot->render(1.0), copied.rect()), 0);
    auto bare = pdf::PageCapture::take(*page, false)->record(pdf::RecordBudget{});
    EXPECT_EQ(test::reddishPixels(bare.snapshot->render(1.0), copied.rect()), 0);

    // The document itself is untouched by the copy: still one annotation, still two pages.
    EXPECT_EQ(page->annotations().size(), 1u);
    EXPECT_EQ(document->pageCount(), 2);

    // Over time, over memory, cancelled.
    auto slow = pdf::PageCapture::take(*document->page(1), true);
    ASSERT_TRUE(slow);

    EXPECT_EQ(slow->record(pdf::RecordBudget{5, std::size_t(1) << 30}).outcome, pdf::RecordOutcome::tooSlow);
    EXPECT_EQ(slow->readText(pdf::RecordBudget{5, std::size_t(1) << 30}).outcome, pdf::RecordOutcome::tooSlow);
    EXPECT_EQ(slow->record(pdf::RecordBudget{60000, std::size_t(2) << 20}).outcome, pdf::RecordOutcome::tooLarge);
    pdf::RecordCancel cancel;
    cancel.cancel();
    EXPECT_EQ(slow->record(pdf::RecordBudget{}, &cancel).outcome, pdf::RecordOutcome::cancelled);
    EXPECT_TRUE(pdf::isPermanent(pdf::RecordOutcome::tooSlow));
    EXPECT_FALSE(pdf::isPermanent(pdf::RecordOutcome::cancelled));
}

TEST(PageCapture, ObjectsNestedBeyondReasonAreRefusedNotFollowed)
{
    // Resources reach through a chain of 300 indirect arrays.
    QByteArray chain;
    QList<test::RawPage> pages{test::RawPage{test::textLine("Deep")}};
    QByteArray data = test::rawPdf(pages);
    // Append the chain as an incremental update that points the page's resources at it.
    const int first = 100;
    QByteArray update;
    QList<qsizetype> offsets;
    for (int i = 0; i < 300; ++i) {
        offsets << data.size() + update.size();
        const QByteArray next = i + 1 < 300 ? QByteArray::number(first + i + 1) + " 0 R" : QByteArray("1");
        update += QByteArray::number(first + i) + " 0 obj\n[" + next + "]\nendobj\n";
    }
    const qsizetype pageOffset = data.size() + update.size();
    update += "4 0 obj\n<< /Type /Page /Parent 1 0 R /MediaBox [0 0 300 400] /Resources << /Font << /F1 2 0 R >> "
              "/Deep 100 0 R >> /Contents 3 0 R >>\nendobj\n";
    const qsizetype xref = data.size() + update.size();
    update += "xref\n4 1\n" + QByteArray::number(pageOffset).rightJustified(10, '0') + " 00000 n \n"
              + QByteArray::number(first) + " 300\n";
    for (qsizetype offset : offsets)
        update += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    const qsizetype previous = data.lastIndexOf("xref");
    update += "trailer\n<< /Size " + QByteArray::number(first + 300) + " /Root 5 0 R /Prev "
              + QByteArray::number(previous) + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    auto document = test::openPdf(data + update);
    ASSERT_EQ(document->pageCount(), 1);
    EXPECT_EQ(pdf::PageCapture::take(*document->page(0), true), nullptr);
}

TEST(PageRecordings, AFailedPageIsRememberedAndNotRecordedAgain)
{
    auto document = slowDocument();
    PageRecordings recordings;
    recordings.setBudget(pdf::RecordBudget{test::scaledMs(20), std::size_t(1) << 30});
    QSignalSpy finished(&recordings, &PageRecordings::pageFinished);
    EXPECT_EQ(recordings.get(1, 7, document->page(1)), nullptr);
    EXPECT_TRUE(recordings.isRecording(1));
    ASSERT_TRUE(test::waitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(recordings.failure(1, 7), pdf::RecordOutcome::tooSlow);
    EXPECT_EQ(recordings.get(1, 7, document->page(1)), nullptr);
    EXPECT_FALSE(recordings.isRecording(1));
    // Another look of the page is tried afresh.
    EXPECT_FALSE(recordings.failure(1, 8).has_value());

    // An ordinary page is recorded; a page scrolled away before its recording ends is not delivered. The
    // tight budget is lifted first: on a loaded machine even the ordinary page can take longer than 20 ms.
    recordings.setBudget(pdf::RecordBudget{});
    EXPECT_EQ(recordings.get(0, 7, document->page(0)), nullptr);
    ASSERT_TRUE(test::waitUntil([&] { return recordings.get(0, 7, document->page(0)) != nullptr; }));
    recordings.get(1, 9, document->page(1));
    recordings.retain({0});
    EXPECT_FALSE(recordings.isRecording(1));
    QTest::qWait(50);
    EXPECT_FALSE(recordings.failure(1, 9).has_value());
}

// How long interpreting the slow page takes on this machine right now: a window that did that work itself
// would stall at least this long, whatever the load, so it bounds what a loaded test run may tolerate.
static qint64 interpretationMs()
{
    const pdf::DocumentPtr document = slowDocument();
    const auto capture = pdf::PageCapture::take(*document->page(1), true);
    QElapsedTimer timer;
    timer.start();
    if (capture)
        capture->record(pdf::RecordBudget{});
    return timer.elapsed();
}

TEST(SlowPages, TheWindowKeepsAnsweringWhileAPageTakesLongToInterpret)
{
    const qint64 bound = std::max<qint64>(test::scaledMs(100), interpretationMs());
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setScaleFactor(1.0);
    view.setDocument(slowDocument());
    view.goToPage(1);
    // Interpreting and drawing the page takes far longer than 100 ms, all of it on workers.
    const qint64 stall = longestStall([&] { return !view.isFullyRendered(); }, 60000);
    EXPECT_TRUE(view.isFullyRendered());
    EXPECT_FALSE(view.isPagePlaceholder(1));
    EXPECT_LT(stall, bound);
    // The page is drawn: the squares are there.
    const QRect shown = view.convertRectFromPage(QRectF(20, 20, 100, 100), 1).toAlignedRect();
    EXPECT_GT(inkedPixels(view.viewport()->grab().toImage(), shown), shown.width() * shown.height() / 4);
}

TEST(SlowPages, APageOverItsBudgetBecomesAPlaceholderAndTheRestStaysUsable)
{
    const qint64 bound = std::max<qint64>(test::scaledMs(100), interpretationMs());
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    // Over memory rather than time: ordinary pages need far less, however loaded the machine is.
    view.setPageDrawingBudget(60000, std::size_t(8) << 20);
    view.setScaleFactor(1.0);
    view.setDocument(slowDocument());
    view.goToPage(1);
    const qint64 stall = longestStall([&] { return !view.isPagePlaceholder(1); }, 20000);
    ASSERT_TRUE(view.isPagePlaceholder(1));
    EXPECT_LT(stall, bound);
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
    // A plain grey card with a message, not the squares.
    const QImage image = view.viewport()->grab().toImage();
    const QRect shown = view.convertRectFromPage(QRectF(20, 20, 100, 100), 1).toAlignedRect();
    EXPECT_LT(inkedPixels(image, shown), shown.width() * shown.height() / 20);
    EXPECT_EQ(image.pixelColor(shown.center()), QColor(236, 236, 236));
    // The pages around it draw as usual.
    view.goToPage(2);
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
    EXPECT_FALSE(view.isPagePlaceholder(2));
    const QRect text = view.convertRectFromPage(QRectF(30, 345, 150, 25), 2).toAlignedRect();
    EXPECT_GT(test::darkPixels(view.viewport()->grab().toImage(), text), 20);
}

TEST(SlowPages, PointingAtAPageWhoseTextIsSlowToReadNeverHoldsTheWindow)
{
    const qint64 bound = std::max<qint64>(test::scaledMs(100), interpretationMs());
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setScaleFactor(1.0);
    // A line of text, then the slow squares: reading the page's text means interpreting all of it.
    view.setDocument(test::openPdf(test::rawPdf({test::RawPage{test::textLine("Slow words") + "\n" + test::tinyPaths(kSlowPaths)}})));
    const QPoint word = view.convertPointFromPage(QPointF(45, 356), 0).toPoint();

    // Until the text is read on a worker, the page has none: an arrow, and a click selects nothing yet.
    test::ThreadTimer hover;
    hover.start();
    QTest::mouseMove(view.viewport(), word);
    EXPECT_LT(hover.elapsed(), bound);
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, word);
    EXPECT_LT(hover.elapsed(), bound);
    EXPECT_FALSE(view.currentSelection().has_value());

    const qint64 stall = longestStall([&] { return view.characterIndexAt(word) < 0; }, 60000);
    EXPECT_LT(stall, bound);
    ASSERT_GE(view.characterIndexAt(word), 0);
    // The double click made while the text was read takes effect once it is.
    ASSERT_TRUE(test::waitUntil([&] { return view.currentSelection().has_value(); }));
    EXPECT_EQ(view.currentSelection()->string(), QStringLiteral("Slow"));
    QTest::mouseMove(view.viewport(), word + QPoint(1, 0));
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::IBeamCursor);
}

namespace {

constexpr int kCrowdedLinks = 40000;

// Made once per test binary: one page carrying tens of thousands of links without appearances, each its
// own object, as a generated index or map of a large site has them.
const QByteArray& crowdedDocumentData()
{
    static const QByteArray data = [] {
        test::PdfBuilder pdf;
        const int catalog = pdf.reserve();
        const int pages = pdf.reserve();
        const int page = pdf.reserve();
        const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int content = pdf.addStream({}, test::textLine("Crowded"));
        QByteArray annots;
        for (int i = 0; i < kCrowdedLinks; ++i) {
            const int row = i / 200, column = i % 200;
            const QByteArray rect = QByteArray::number(column * 1.5) + ' ' + QByteArray::number(row * 2) + ' '
                + QByteArray::number(column * 1.5 + 1) + ' ' + QByteArray::number(row * 2 + 1.5);
            annots += test::ref(pdf.add("<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [" + rect
                                        + "] /A << /S /URI /URI (https://example.org/" + QByteArray::number(i)
                                        + ") >> >>"))
                + ' ';
        }
        pdf.set(catalog, "<< /Type /Catalog /Pages " + test::ref(pages) + " >>");
        pdf.set(pages, "<< /Type /Pages /Kids [" + test::ref(page) + "] /Count 1 >>");
        pdf.set(page, "<< /Type /Page /Parent " + test::ref(pages) + " /MediaBox [0 0 300 400] /Resources << /Font << /F1 "
                          + test::ref(font) + " >> >> /Contents " + test::ref(content) + " /Annots [" + annots + "] >>");
        return pdf.write(catalog);
    }();
    return data;
}

// What reading every annotation of the crowded page costs on this machine right now: showing the page
// must cost the main thread a small part of that, however many links the page has.
struct CrowdedCost {
    qint64 everyAnnotationMs = 0; // reading the opened page's annotations, on this thread
    qint64 parsingCpuMs = 0;      // opening and reading them, in processor time of every thread
};

CrowdedCost crowdedCost()
{
    CrowdedCost cost;
    const QByteArray& data = crowdedDocumentData(); // made once, not part of the cost
    const double cpuBefore = test::processCpuMs();
    const pdf::DocumentPtr document = test::openPdf(data);
    QElapsedTimer timer;
    timer.start();
    QRectF extent;
    for (const pdf::AnnotationPtr& annotation : document->page(0)->annotations())
        extent |= annotation->bounds();
    cost.everyAnnotationMs = timer.elapsed();
    cost.parsingCpuMs = qint64(test::processCpuMs() - cpuBefore);
    return cost;
}

// Runs `work` where the application opens and lets go of documents: off the window's thread. What the
// work allocates and frees is then not left in the window thread's heap, whose first large allocation
// would otherwise stop to sort tens of thousands of small freed blocks.
template <typename Work>
auto offTheWindowThread(Work work)
{
    return std::async(std::launch::async, std::move(work)).get();
}

} // namespace

TEST(SlowPages, APageWithTensOfThousandsOfLinksNeverHoldsTheWindow)
{
    const CrowdedCost cost = offTheWindowThread(crowdedCost);
    const qint64 everyAnnotation = cost.everyAnnotationMs;
    // What the window must never do is parse the page's links itself: that costs about what opening and
    // reading them took here, measured in processor time so that a loaded machine leaves it as it is. Half
    // of it is still several frames of painting, which is what the window does spend, waits included.
    // In sanitizer builds the read-ahead on opening, which stops after a fixed wall-clock time, reads only
    // part of the page's objects; the window's look for annotations lacking an appearance parses the rest,
    // which can cost as much as reading every annotation, measured at another moment of a loaded machine.
    const qint64 share = test::kSlowdown == 1 ? cost.parsingCpuMs / 2 : everyAnnotation * 2;
    const qint64 bound = std::max<qint64>(test::scaledMs(50), share);
    PDFView view;
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setScaleFactor(1.0);
    view.setDocument(offTheWindowThread([] { return test::openPdf(crowdedDocumentData()); }));
    const qint64 stall = longestStall([&] { return !view.isFullyRendered(); }, 60000);
    EXPECT_TRUE(view.isFullyRendered());
    EXPECT_LT(stall, bound) << "opening and reading the links took " << cost.parsingCpuMs << " ms of processor time";
    const QRect text = view.convertRectFromPage(QRectF(30, 345, 100, 25), 0).toAlignedRect();
    EXPECT_GT(test::darkPixels(view.viewport()->grab().toImage(), text), 20);

    // Following the pointer over the links finds each one under it, never by walking all of them.
    test::ThreadTimer hover;
    qint64 longest = 0;
    for (const int i : {0, 12345, 39999}) {
        const QPointF middle((i % 200) * 1.5 + 0.5, (i / 200) * 2 + 0.75);
        const QPointF at = view.convertPointFromPage(middle, 0);
        hover.start();
        QTest::mouseMove(view.viewport(), at.toPoint());
        const pdf::AnnotationPtr hit = view.annotationAt(at);
        longest = std::max(longest, hover.elapsed());
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->linkURI(), QStringLiteral("https://example.org/%1").arg(i));
    }
    EXPECT_LT(longest, bound);
}

namespace {

// 65,540 objects in one compressed stream, which the engine parses whole on the first look at any of them
// (the catalog among them): a few hundred milliseconds of work. Made once per test binary.
const QByteArray& packedLinksData()
{
    static const QByteArray data = test::packedLinksPdf(32768);
    return data;
}

// A shown view, drawn in full, with an ordinary document: what the user has open when the heavy one comes.
void showPlainDocument(PDFView& view)
{
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setScaleFactor(1.0);
    view.setDocument(test::openPdf(test::textPdf(2)));
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }));
}

} // namespace

TEST(SlowPages, OpeningTensOfThousandsOfLinksPackedInOneObjectStreamNeverHoldsTheWindow)
{
    const QByteArray& data = packedLinksData();
    PDFView view;
    ASSERT_NO_FATAL_FAILURE(showPlainDocument(view));

    GapWatch opening;
    QElapsedTimer took;
    took.start();
    auto opened = pdf::Document::fromDataWhileAnswering(data);
    const qint64 openMs = took.elapsed();
    const qint64 openingStall = opening.longest();
    ASSERT_TRUE(opened) << qPrintable(opened.error());
    EXPECT_LT(openingStall, test::scaledMs(100)) << "opening took " << openMs << " ms";
    const pdf::DocumentPtr document = opened.value();
    ASSERT_EQ(document->pageCount(), 1);
    EXPECT_EQ(document->page(0)->annotationCount(), 32768u);

    // Showing it: the page's objects were all read while opening.
    view.setDocument(document);
    const qint64 showingStall = longestStall([&] { return !view.isFullyRendered(); }, 60000);
    EXPECT_TRUE(view.isFullyRendered());
    EXPECT_LT(showingStall, test::scaledMs(100));
    const QRect text = view.convertRectFromPage(QRectF(30, 345, 100, 25), 0).toAlignedRect();
    EXPECT_GT(test::darkPixels(view.viewport()->grab().toImage(), text), 20);
    const QPointF at = view.convertPointFromPage(QPointF((20000 % 200) * 1.5 + 0.5, (20000 / 200) * 2 + 0.75), 0);
    const pdf::AnnotationPtr hit = view.annotationAt(at);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->linkURI(), QStringLiteral("https://example.org/20000"));
}

TEST(SlowPages, UnlockingTensOfThousandsOfObjectsNeverHoldsTheWindow)
{
    // The same links behind a password: nothing past the encryption dictionary can be read until the
    // password is given, so everything opening reads ahead is read by the unlock.
    static const QByteArray data = [] {
        const pdf::DocumentPtr plain = test::openPdf(packedLinksData());
        return plain->dataRepresentation(pdf::WriteOptions::protect(QStringLiteral("secret"))).value();
    }();
    PDFView view;
    ASSERT_NO_FATAL_FAILURE(showPlainDocument(view));
    auto opened = pdf::Document::fromDataWhileAnswering(data);
    ASSERT_TRUE(opened) << qPrintable(opened.error());
    const pdf::DocumentPtr document = opened.value();
    ASSERT_TRUE(document->isLocked());

    GapWatch unlocking;
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(document->unlock(QStringLiteral("secret")), pdf::PasswordKind::Owner);
    const qint64 unlockMs = took.elapsed();
    EXPECT_LT(unlocking.longest(), test::scaledMs(100)) << "unlocking took " << unlockMs << " ms";
    ASSERT_EQ(document->pageCount(), 1);
    EXPECT_EQ(document->page(0)->annotationCount(), 32768u);
}

TEST(SlowPages, PagesPackedInLargeObjectStreamsOfTheirOwnAreReadWhileOpeningNotWhenShown)
{
    // Each page's 32,768 links and their actions in a compressed stream of the page's own: more than
    // opening's read-ahead for damage gets through in its time, and each stream is parsed whole on the
    // first look at any of its objects, on whichever thread looks.
    constexpr int kPages = 6;
    static const QByteArray data = test::packedPagesPdf(kPages, 32768);
    QElapsedTimer took;
    took.start();
    auto opened = pdf::Document::fromDataWhileAnswering(data);
    const qint64 openMs = took.elapsed();
    ASSERT_TRUE(opened) << qPrintable(opened.error());
    const pdf::DocumentPtr document = opened.value();
    ASSERT_EQ(document->pageCount(), kPages);

    // What showing a page reads first: where its links are. That must cost a small part of opening. In
    // sanitizer builds opening's wall-clock budget for object streams gets through only some pages' streams
    // (always the first two pages': one while reading ahead for damage, one under that budget), and the first
    // look at any other page parses its own stream: less than opening, which parsed two at least.
    const qint64 share = test::kSlowdown == 1 ? openMs / (2 * kPages) : openMs;
    const qint64 bound = std::max<qint64>(test::scaledMs(20), share);
    for (int p = 0; p < kPages; ++p) {
        GapWatch reading;
        const auto outlines = document->page(p)->annotationOutlines();
        EXPECT_LT(reading.longest(), bound) << "page " << p << ", opening took " << openMs << " ms";
        ASSERT_EQ(outlines.size(), 32768u);
    }
    EXPECT_EQ(document->page(kPages - 1)->annotations().back()->linkURI(),
              QStringLiteral("https://example.org/%1/32767").arg(kPages - 1));
}

TEST(SlowPages, TheHandlesOfTensOfThousandsOfPagesAreMadeWhileOpening)
{
    // 60,000 pages sharing one content stream: what a window does first with a document is list them.
    constexpr int kPages = 60000;
    static const QByteArray data = [] {
        test::PdfBuilder pdf;
        const int catalog = pdf.reserve();
        const int tree = pdf.reserve();
        const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
        const int content = pdf.addStream({}, test::textLine("Many pages"));
        const QByteArray page = "<< /Type /Page /Parent " + test::ref(tree) + " /MediaBox [0 0 300 400] /Resources "
                                "<< /Font << /F1 " + test::ref(font) + " >> >> /Contents " + test::ref(content) + " >>";
        QByteArray kids;
        kids.reserve(kPages * 10);
        for (int i = 0; i < kPages; ++i)
            kids += test::ref(pdf.add(page)) + ' ';
        pdf.set(catalog, "<< /Type /Catalog /Pages " + test::ref(tree) + " >>");
        pdf.set(tree, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(kPages) + " >>");
        return pdf.write(catalog);
    }();
    QElapsedTimer took;
    took.start();
    auto opened = pdf::Document::fromDataWhileAnswering(data);
    const qint64 openMs = took.elapsed();
    ASSERT_TRUE(opened) << qPrintable(opened.error());
    const pdf::DocumentPtr document = opened.value();

    GapWatch listing;
    const std::vector<pdf::PagePtr> pages = document->pages();
    EXPECT_LT(listing.longest(), std::max<qint64>(test::scaledMs(20), openMs / 20)) << "opening took " << openMs << " ms";
    ASSERT_EQ(pages.size(), size_t(kPages));
    EXPECT_EQ(pages.back(), document->page(kPages - 1));
    EXPECT_EQ(document->pages().front(), pages.front());
}
