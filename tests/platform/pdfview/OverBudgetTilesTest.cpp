// Pages whose drawing goes over its budget inside one image: the engine checks its deadline only between
// drawing operations, so a single huge or slow image would keep the page blank for as long as its decoder
// runs. The view shows the placeholder within about the budget instead, keeps drawing the other pages and
// answering input, and never tries the page again.

#include "platform/pdf/document/Document.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/ViewTestSupport.h"
#include "platform/pdfview/WorkerPool.h"
#include "support/MainThreadStall.h"
#include "support/SlowContent.h"
#include "support/Slowdown.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>

using namespace vmk;
using namespace vmk::pdfview;
using test::TestPage;

namespace {

// Made once per test binary: the huge image is 4.7 MB of Flate.
const QByteArray& hugeImagesData()
{
    static const QByteArray data = test::testPagesPdf({TestPage::hugeFlateImage, TestPage::plain, TestPage::hugeJpegImage});
    return data;
}

// Warnings that the view gave up on a tile still drawing past its budget, counted while it lives.
class GiveUpCount {
public:
    GiveUpCount() { s_previous = qInstallMessageHandler(&GiveUpCount::handle); }
    ~GiveUpCount() { qInstallMessageHandler(s_previous); }
    int count() const { return s_count.load(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.contains(QLatin1String("still drawing")))
            ++s_count;
        if (s_previous)
            s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline std::atomic_int s_count{0};
};

void show(PDFView& view, double scale)
{
    view.resize(600, 500);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setScaleFactor(scale);
}

// Pixels of the page as the view shows it that differ from the page drawn on its own at the view's scale.
int pixelsUnlikeThePage(PDFView& view, const pdf::Page& page, int index)
{
    const double scale = view.scaleFactor();
    const QImage expected = page.render(scale);
    const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPointF origin = view.convertRectFromPage(QRectF(QPointF(0, 0), page.displaySize()), index).topLeft();
    const QPoint at(int(std::round(origin.x())), int(std::round(origin.y())));
    const QRect compared = QRect(at, expected.size()).intersected(shown.rect());
    if (compared.height() < 50)
        return -1; // the page is barely on screen
    int unlike = 0;
    for (int y = compared.top(); y <= compared.bottom(); ++y)
        for (int x = compared.left(); x <= compared.right(); ++x)
            unlike += shown.pixel(x, y) != expected.pixel(x - at.x(), y - at.y());
    return unlike;
}

// The placeholder's grey near the page's top left corner, away from its message.
bool showsPlaceholderGrey(PDFView& view, int index)
{
    const QPoint corner = view.convertPointFromPage(QPointF(20, view.document()->page(index)->displaySize().height() - 20),
                                                    index).toPoint();
    return view.viewport()->grab().toImage().pixelColor(corner) == QColor(236, 236, 236);
}

// Whether the page shows words in the middle of its visible part, where the hint that it is being drawn goes.
bool showsWordsInItsMiddle(PDFView& view, int index)
{
    const QRect visible = view.convertRectFromPage(QRectF(QPointF(0, 0), view.document()->page(index)->displaySize()), index)
                              .toAlignedRect()
                              .intersected(view.viewport()->rect());
    const QRect middle(visible.center() - QPoint(visible.width() / 4, 30), QSize(visible.width() / 2, 60));
    const QImage shown = view.viewport()->grab().toImage();
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x)
            if (qGray(shown.pixel(x, y)) < 200)
                return true;
    return false;
}

} // namespace

TEST(OverBudgetTiles, AnImageTooLargeToDecodeShowsThePlaceholderAtOnceWhileTheNextPageDraws)
{
    PDFView view;
    ASSERT_NO_FATAL_FAILURE(show(view, 0.5));
    const pdf::DocumentPtr document = test::openPdf(hugeImagesData());
    ASSERT_TRUE(document);
    QElapsedTimer clock;
    clock.start();
    view.setDocument(document);
    // At the view's own budget of tens of seconds: the memory budget answers first, before any decoding.
    const qint64 stall = test::longestMainThreadStall([&] { return !view.isPagePlaceholder(0); }, test::scaledMs(15000));
    ASSERT_TRUE(view.isPagePlaceholder(0));
    EXPECT_LT(clock.elapsed(), test::scaledMs(3000));
    EXPECT_LT(stall, test::scaledMs(100));
    EXPECT_EQ(view.pagePlaceholderMessage(0), QStringLiteral("This page needs too much memory to draw."));
    EXPECT_TRUE(view.pagePlaceholderMessage(1).isEmpty());

    // The page below is drawn exactly as it is on its own; the placeholder is the plain grey card.
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }, test::scaledMs(10000)));
    EXPECT_TRUE(showsPlaceholderGrey(view, 0));
    EXPECT_EQ(pixelsUnlikeThePage(view, *document->page(1), 1), 0);

    // The JPEG declaring the same size ends the same way, and nothing is tried twice: coming back to the
    // first page at another scale finds its placeholder at once.
    view.goToPage(2);
    ASSERT_TRUE(test::waitUntil([&] { return view.isPagePlaceholder(2); }, test::scaledMs(3000)));
    EXPECT_EQ(view.pagePlaceholderMessage(2), QStringLiteral("This page needs too much memory to draw."));
    view.setScaleFactor(0.6);
    view.goToPage(0);
    EXPECT_TRUE(view.isPagePlaceholder(0));
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }, test::scaledMs(10000)));
    EXPECT_TRUE(showsPlaceholderGrey(view, 0));
}

TEST(OverBudgetTiles, ATileStuckInADecoderPastItsBudgetShowsThePlaceholderAndTheRestDraws)
{
    // A few seconds of JBIG2 decoding in little memory, which nothing can interrupt, against a budget of a
    // fraction of that; the budget is far above what the plain page needs even on a loaded machine, and
    // more than the second after which a blank page says it is being drawn. It is the same in every build:
    // the sanitizers hardly slow that decoding (3.4 s here, 3.6 s under the race checker, where the plain
    // page takes 30 ms), and a budget scaled like the other bounds would let the decoding end first.
    const int budget = 1300;
    ASSERT_TRUE(test::waitUntil([] { return WorkerPool::writtenOffCount() == 0; }, test::scaledMs(30000)));
    GiveUpCount givenUp;
    PDFView view;
    ASSERT_NO_FATAL_FAILURE(show(view, 1.0));
    view.setPageDrawingBudget(budget, std::size_t(768) << 20);
    const pdf::DocumentPtr document = test::openPdf(test::testPagesPdf({TestPage::slowImage, TestPage::plain}));
    ASSERT_TRUE(document);
    QElapsedTimer clock;
    clock.start();
    view.setDocument(document);
    // Blank at first; a moment later the page says it is being drawn, until its placeholder comes.
    QTest::qWait(200);
    EXPECT_FALSE(showsWordsInItsMiddle(view, 0));
    ASSERT_TRUE(test::waitUntil([&] { return view.isPagePlaceholder(0) || showsWordsInItsMiddle(view, 0); }));
    EXPECT_FALSE(view.isPagePlaceholder(0));
    EXPECT_GE(clock.elapsed(), 1000);
    const qint64 stall = test::longestMainThreadStall([&] { return !view.isPagePlaceholder(0); }, test::scaledMs(15000));
    const qint64 placeholderAfter = clock.elapsed();
    ASSERT_TRUE(view.isPagePlaceholder(0));
    EXPECT_GE(placeholderAfter, budget);
    EXPECT_LT(placeholderAfter, budget + test::scaledMs(1500));
    EXPECT_LT(stall, test::scaledMs(100));
    EXPECT_EQ(view.pagePlaceholderMessage(0), QStringLiteral("This page takes too long to draw."));
    EXPECT_EQ(givenUp.count(), 1);

    // While the decoder goes on alone, the next page draws, exactly, and keys are answered at once.
    test::ThreadTimer key;
    key.start();
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_LT(key.elapsed(), test::scaledMs(100));
    ASSERT_TRUE(test::waitUntil([&] { return view.isFullyRendered(); }, test::scaledMs(10000)));
    EXPECT_FALSE(view.isPagePlaceholder(1));
    EXPECT_EQ(pixelsUnlikeThePage(view, *document->page(1), 1), 0);
    EXPECT_GE(WorkerPool::writtenOffCount(), 1) << "the decoder ended before the next page was drawn";

    // Back at the page and at another scale: the placeholder stays, and the page is not tried again.
    key.start();
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_LT(key.elapsed(), test::scaledMs(100));
    view.setScaleFactor(0.8);
    const qint64 later = test::longestMainThreadStall([&] { return view.isPagePlaceholder(0); }, 3 * budget);
    EXPECT_LT(later, test::scaledMs(100));
    EXPECT_TRUE(view.isPagePlaceholder(0));
    EXPECT_TRUE(showsPlaceholderGrey(view, 0));
    EXPECT_EQ(givenUp.count(), 1);

    // The decoder ends on its own; what it drew is dropped. A few seconds of decoding can take several times
    // that on a crowded machine: the time allowed only ends a decoder that never stops.
    ASSERT_TRUE(test::waitUntil([] { return WorkerPool::writtenOffCount() == 0; }, test::scaledMs(120000)));
    QTest::qWait(50);
    EXPECT_TRUE(view.isPagePlaceholder(0));
    EXPECT_EQ(givenUp.count(), 1);
}
