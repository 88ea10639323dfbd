#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Page.h"
#include "platform/pdfview/PDFView.h"
#include "platform/pdfview/ViewTestSupport.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vmk;
using namespace vmk::pdfview;
using vmk::test::waitUntil;

namespace {

struct ViewFixture : ::testing::Test {
    PDFView view;
    void SetUp() override
    {
        view.resize(600, 500);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    void show(const pdf::DocumentPtr& document)
    {
        ASSERT_TRUE(document);
        view.setDocument(document);
    }
    bool rendered() { return waitUntil([&] { return view.isFullyRendered(); }); }
    QImage grabbed() { return view.viewport()->grab().toImage(); }
    void expectNear(QPointF a, QPointF b, double tolerance = 1e-6)
    {
        EXPECT_NEAR(a.x(), b.x(), tolerance);
        EXPECT_NEAR(a.y(), b.y(), tolerance);
    }
};

} // namespace

TEST_F(ViewFixture, RendersTheVisiblePagesInTilesOffTheMainThread)
{
    show(test::openPdf(test::textPdf(20)));
    view.setAutoScales(true);
    ASSERT_TRUE(rendered());
    EXPECT_GT(view.cachedTileCount(), 0u);
    const QImage image = grabbed();
    // The first line of text on page 1 shows, the margin around the page shows the background.
    const QRect line = view.convertRectFromPage(QRectF(15, 350, 200, 25), 0).toAlignedRect();
    EXPECT_GT(test::darkPixels(image, line), 20);
    EXPECT_EQ(image.pixelColor(1, 1), view.backgroundColor());
    EXPECT_EQ(view.currentPageIndex(), 0);
    // Continuous and scaled to fit the width of the viewport.
    EXPECT_NEAR(view.scaleFactor(), view.layout().fitWidthScale(), 1e-9);
}

TEST_F(ViewFixture, PagesCastASoftShadowBelowAndBesideThemAndNoneOnThemselves)
{
    show(test::openPdf(test::textPdf(3)));
    view.setScaleFactor(1.0);
    ASSERT_TRUE(rendered());
    const QImage image = grabbed();
    const QRect page = view.layout().pageRectInView(0).toAlignedRect();
    const QColor background = view.backgroundColor();
    const int x = page.center().x();
    const int y = page.center().y();
    // Darkest next to the page and fading out; what the page covers stays white.
    const QColor below = image.pixelColor(x, page.bottom() + 1);
    const QColor further = image.pixelColor(x, page.bottom() + 4);
    EXPECT_LT(below.lightness(), further.lightness());
    EXPECT_LT(further.lightness(), background.lightness());
    EXPECT_EQ(image.pixelColor(x, page.bottom() + 8), background);
    EXPECT_LT(image.pixelColor(page.right() + 1, y).lightness(), background.lightness());
    EXPECT_EQ(image.pixelColor(page.right() + 6, y), background);
    EXPECT_LT(image.pixelColor(page.left() - 1, y).lightness(), background.lightness());
    EXPECT_EQ(image.pixelColor(x, page.top() - 2), background);
    EXPECT_EQ(image.pixelColor(page.right() - 1, page.bottom() - 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(page.left(), page.top()), QColor(Qt::white));

    view.setPageShadowsEnabled(false);
    const QImage plain = grabbed();
    EXPECT_EQ(plain.pixelColor(x, page.bottom() + 1), background);
    EXPECT_EQ(plain.pixelColor(page.right() + 1, y), background);
}

TEST_F(ViewFixture, ConversionsMatchThePdfLayerAtEveryRotationAndDisplayMode)
{
    auto document = test::openPdf(test::textPdf(4));
    ASSERT_TRUE(document);
    for (int rotation : {0, 90, 180, 270}) {
        for (int i = 0; i < document->pageCount(); ++i) {
            document->page(i)->setCropBox(QRectF(40, 30, 200, 300));
            document->page(i)->setRotation(rotation);
        }
        show(document);
        for (DisplayMode mode : {DisplayMode::SinglePage, DisplayMode::SinglePageContinuous, DisplayMode::TwoUp,
                                 DisplayMode::TwoUpContinuous}) {
            SCOPED_TRACE(testing::Message() << "rotation " << rotation << " mode " << int(mode));
            view.setDisplayMode(mode);
            view.setScaleFactor(1.3);
            const int page = 2;
            view.goToPage(page);
            EXPECT_EQ(view.currentPageIndex(), page);
            const QRectF shown = view.pageRectInView(page);
            const QTransform display = document->page(page)->displayTransform();
            for (QPointF p : {QPointF(40, 30), QPointF(100, 250), QPointF(240, 330)}) {
                const QPointF v = view.convertPointFromPage(p, page);
                expectNear(view.convertPointToPage(v, page), p, 1e-6);
                // The layer's display transform (y up, from the lower left) agrees with the view.
                const QPointF d = display.map(p);
                expectNear(v, QPointF(shown.left() + d.x() * 1.3, shown.bottom() - d.y() * 1.3), 1e-6);
            }
            EXPECT_EQ(view.pageIndexAt(shown.center(), false), page);
        }
    }
}

TEST_F(ViewFixture, CurrentPageFollowsScrollingAndJumpsAreRecordedForBackAndForward)
{
    show(test::openPdf(test::textPdf(30)));
    view.setScaleFactor(1.0);
    QSignalSpy pageSpy(&view, &PDFView::currentPageChanged);
    QSignalSpy scrollSpy(&view, &PDFView::scrolled);

    view.verticalScrollBar()->setValue(int(view.layout().pageRectInDocument(6).top() + 50));
    EXPECT_EQ(view.currentPageIndex(), 6);
    EXPECT_EQ(pageSpy.count(), 1);
    EXPECT_EQ(pageSpy.last().at(0).toInt(), 6);
    EXPECT_GE(scrollSpy.count(), 1);
    EXPECT_FALSE(view.canGoBack());

    view.goToPage(20);
    EXPECT_EQ(view.currentPageIndex(), 20);
    EXPECT_NEAR(view.pageRectInView(20).top(), PageLayout::kPageBreakMargin, 1.0);
    view.goToPage(25);
    ASSERT_TRUE(view.canGoBack());
    view.goBack();
    EXPECT_EQ(view.currentPageIndex(), 20);
    view.goBack();
    EXPECT_EQ(view.currentPageIndex(), 6);
    EXPECT_FALSE(view.canGoBack());
    ASSERT_TRUE(view.canGoForward());
    view.goForward();
    EXPECT_EQ(view.currentPageIndex(), 20);

    view.goToLastPage();
    EXPECT_EQ(view.currentPageIndex(), 29);
    EXPECT_FALSE(view.canGoToNextPage());
    view.goToPreviousPage();
    EXPECT_EQ(view.currentPageIndex(), 28);
    view.goToFirstPage();
    EXPECT_EQ(view.currentPageIndex(), 0);
    EXPECT_EQ(view.scrollOrigin().y(), 0);

    // Keys scroll; End goes to the last page.
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.currentPageIndex(), 29);
    const double before = view.scrollOrigin().y();
    QTest::keyClick(&view, Qt::Key_PageUp);
    EXPECT_LT(view.scrollOrigin().y(), before);
}

TEST_F(ViewFixture, OnePageModesTurnPagesAtTheEdgesAndFitThePage)
{
    show(test::openPdf(test::textPdf(5)));
    view.setDisplayMode(DisplayMode::SinglePage);
    view.setAutoScales(true);
    EXPECT_NEAR(view.scaleFactor(), view.layout().fitPageScale(), 1e-9);
    EXPECT_EQ(view.layout().maxScroll(), QPointF(0, 0)); // the whole page fits
    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_EQ(view.currentPageIndex(), 1);
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(view.currentPageIndex(), 2);
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(view.currentPageIndex(), 1);
    // Only the shown page is under the pointer.
    EXPECT_EQ(view.pageIndexAt(view.pageRectInView(1).center(), false), 1);

    view.setDisplayMode(DisplayMode::TwoUp);
    view.goToPage(3);
    EXPECT_EQ(view.currentPageIndex(), 3);
    EXPECT_TRUE(view.layout().isPageShown(2));
    view.goToNextPage();
    EXPECT_EQ(view.currentPageIndex(), 4);
    EXPECT_FALSE(view.canGoToNextPage());
}

TEST_F(ViewFixture, ScaleIsLimitedAndZoomToFitPageAccountsForRotation)
{
    auto document = test::openPdf(test::textPdf(3));
    ASSERT_TRUE(document);
    document->page(1)->setRotation(90);
    show(document);
    QSignalSpy scaleSpy(&view, &PDFView::scaleChanged);
    view.setMaxScaleFactor(4.0);
    view.setScaleFactor(100);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 4.0);
    EXPECT_FALSE(view.canZoomIn());
    EXPECT_TRUE(view.canZoomOut());
    view.zoomOut();
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 4.0 / 1.25);
    view.setMinScaleFactor(0.5);
    view.setScaleFactor(0.01);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 0.5);
    EXPECT_FALSE(view.canZoomOut());
    EXPECT_GE(scaleSpy.count(), 3);
    EXPECT_FALSE(view.autoScales());

    view.zoomToFitPage(1);
    const QSize viewport = view.viewport()->size();
    // The turned page is 400 wide and 300 high as displayed.
    EXPECT_NEAR(view.scaleFactor(), std::min((viewport.width() - 48) / 400.0, (viewport.height() - 48) / 300.0), 1e-9);
    EXPECT_EQ(view.currentPageIndex(), 1);
    const QRectF page = view.pageRectInView(1);
    EXPECT_NEAR(page.center().x(), viewport.width() / 2.0, 1.0);
    EXPECT_NEAR(page.center().y(), viewport.height() / 2.0, 1.0);
    EXPECT_GT(page.width(), page.height());
}

TEST_F(ViewFixture, ZoomKeepsTheViewportCentreInPlace)
{
    show(test::openPdf(test::textPdf(10)));
    view.setScaleFactor(1.0);
    view.verticalScrollBar()->setValue(900);
    int before = -1;
    const QPointF centre = view.viewportCentreInPage(&before);
    view.setScaleFactor(2.0);
    int after = -1;
    const QPointF moved = view.viewportCentreInPage(&after);
    EXPECT_EQ(before, after);
    expectNear(moved, centre, 1.0);
}

TEST_F(ViewFixture, SwappingTheDocumentKeepsPagePointAndScale)
{
    const QByteArray data = test::textPdf(12);
    show(test::openPdf(data));
    view.setScaleFactor(1.7);
    view.goToPoint(7, QPointF(30, 250));
    const QPointF origin = view.scrollOrigin();
    const QPointF topLeft = view.convertPointToPage(QPointF(0, 0), 7);
    EXPECT_NEAR(topLeft.y(), 250, 1.0);
    QSignalSpy documentSpy(&view, &PDFView::documentChanged);

    auto replacement = test::openPdf(data);
    view.swapDocument(replacement);
    EXPECT_EQ(view.document(), replacement);
    EXPECT_EQ(documentSpy.count(), 1);
    EXPECT_EQ(view.currentPageIndex(), 7);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 1.7);
    expectNear(view.scrollOrigin(), origin, 1.0);
    expectNear(view.convertPointToPage(QPointF(0, 0), 7), topLeft, 1.0);

    // A shorter document: the page is clamped to its last page.
    view.swapDocument(test::openPdf(test::textPdf(3)));
    EXPECT_EQ(view.currentPageIndex(), 2);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 1.7);
}

TEST_F(ViewFixture, TilesScrolledAwayAreEvictedSoMemoryStaysBounded)
{
    show(test::openPdf(test::textPdf(200)));
    view.setScaleFactor(1.0);
    ASSERT_TRUE(rendered());
    ASSERT_TRUE(waitUntil([&] { return view.cachedTileCount() > 2; })); // the page below is rendered ahead
    std::size_t peak = 0;
    for (int page : {50, 100, 150, 199}) {
        view.goToPage(page);
        ASSERT_TRUE(rendered());
        peak = std::max(peak, view.cachedTileBytes());
    }
    // A 600 × 500 viewport plus a screen above and below holds about four 300 × 400 pages at this
    // scale, one tile each: the cache keeps a few MiB of them, where 200 pages would take 96 MiB.
    EXPECT_LT(peak, std::size_t(8) << 20);
    view.goToPage(199);
    ASSERT_TRUE(rendered());
    for (int i = 0; i < 3; ++i)
        QTest::qWait(10);
    EXPECT_LT(view.cachedTileCount(), 12u);
}

TEST_F(ViewFixture, AnnotationsChangedRerendersThatPage)
{
    auto document = test::openPdf(test::textPdf(3));
    show(document);
    view.setScaleFactor(1.0);
    ASSERT_TRUE(rendered());
    const QRectF box(150, 150, 100, 60);
    const QRect shown = view.convertRectFromPage(box, 0).toAlignedRect().adjusted(4, 4, -4, -4);
    EXPECT_EQ(test::reddishPixels(grabbed(), shown), 0);

    auto square = pdf::Annotation::create(QStringLiteral("Square"), box);
    ASSERT_TRUE(square);
    square->setColor(Qt::red);
    square->setInteriorColor(QColor(Qt::red));
    document->page(0)->addAnnotation(square);
    view.annotationsChanged(0);
    ASSERT_TRUE(rendered());
    EXPECT_GT(test::reddishPixels(grabbed(), shown), shown.width() * shown.height() / 2);
    EXPECT_EQ(view.annotationAt(view.convertPointFromPage(box.center(), 0)), square);
    EXPECT_EQ(view.annotationAt(view.convertPointFromPage(QPointF(20, 20), 0)), nullptr);
}

TEST_F(ViewFixture, DraggingOverTextSelectsItAndTheSelectionCanBeReadSplitAndCleared)
{
    show(test::openPdf(test::textPdf(2)));
    view.setScaleFactor(1.5);
    QSignalSpy selectionSpy(&view, &PDFView::selectionChanged);
    // The first line's baseline is 40 pt below the top, the second's 70 pt.
    const QPoint from = view.convertPointFromPage(QPointF(18, 400 - 36), 0).toPoint();
    const QPoint to = view.convertPointFromPage(QPointF(80, 400 - 66), 0).toPoint();
    // The page's text is read on a worker: a drag made before it arrives selects once it does.
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), (from + to) / 2);
    QTest::mouseMove(view.viewport(), to);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    ASSERT_TRUE(test::waitUntil([&] { return view.currentSelection().has_value(); }));
    EXPECT_GE(view.characterIndexAt(view.convertPointFromPage(QPointF(24, 400 - 36), 0)), 0);
    EXPECT_EQ(view.characterIndexAt(view.convertPointFromPage(QPointF(250, 100), 0)), -1);
    const QString text = view.currentSelection()->string();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Page 1 alpha"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("second"))) << text.toStdString();
    EXPECT_EQ(view.currentSelection()->selectionsByLine().size(), 2);
    EXPECT_GE(selectionSpy.count(), 1);

    view.clearSelection();
    EXPECT_FALSE(view.currentSelection().has_value());
    // A press beside the text selects nothing.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.convertPointFromPage(QPointF(250, 100), 0).toPoint());
    EXPECT_FALSE(view.currentSelection().has_value());
}

TEST_F(ViewFixture, DraggingAcrossPagesSelectsTheTextBetween)
{
    show(test::openPdf(test::textPdf(3)));
    view.setScaleFactor(0.6); // all three pages in view
    const QPoint from = view.convertPointFromPage(QPointF(18, 400 - 36), 0).toPoint();
    const QPoint to = view.convertPointFromPage(QPointF(60, 400 - 36), 2).toPoint();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), to);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    ASSERT_TRUE(test::waitUntil([&] { return view.currentSelection() && view.currentSelection()->pages().size() == 3; }));
    const QString text = view.currentSelection()->string();
    EXPECT_TRUE(text.contains(QStringLiteral("Page 2 alpha"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Page 3"))) << text.toStdString();
}

TEST_F(ViewFixture, LinksGoToTheirPageOrReportTheirAddressWithThePointingCursor)
{
    show(test::openPdf(test::linkPdf()));
    view.setScaleFactor(1.0);
    QSignalSpy externalSpy(&view, &PDFView::externalLinkActivated);
    const QPoint internal = view.convertPointFromPage(QPointF(60, 352), 0).toPoint();
    const QPoint web = view.convertPointFromPage(QPointF(60, 300), 0).toPoint();

    QTest::mouseMove(view.viewport(), internal);
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(view.viewport(), view.convertPointFromPage(QPointF(250, 100), 0).toPoint());
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, internal);
    EXPECT_EQ(view.currentPageIndex(), 1);
    EXPECT_TRUE(view.canGoBack());
    EXPECT_FALSE(view.currentSelection().has_value());
    view.goBack();
    EXPECT_EQ(view.currentPageIndex(), 0);

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, web);
    ASSERT_EQ(externalSpy.count(), 1);
    EXPECT_EQ(externalSpy.at(0).at(0).toUrl(), QUrl(QStringLiteral("https://example.org/")));
    EXPECT_EQ(view.currentPageIndex(), 0);
}

namespace {
// As a presentation does: every click turns the page, without selection or links; an overlay is drawn.
class ClickThroughView : public PDFView {
public:
    int overlayPaints = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        goToNextPage();
        event->accept();
    }
    void paintOverlay(QPainter& painter, const QRect&) override
    {
        ++overlayPaints;
        painter.fillRect(QRect(0, 0, 10, 10), Qt::red);
    }
};
} // namespace

TEST(PDFViewSubclass, CanReplaceTheBaseClickHandlingAndPaintAnOverlay)
{
    ClickThroughView view;
    view.resize(400, 400);
    view.setDisplayMode(DisplayMode::SinglePage);
    view.setBackgroundColor(Qt::black);
    view.setPageShadowsEnabled(false);
    view.setDisplaysPageBreaks(false);
    view.setAutoScales(true);
    view.setDocument(test::openPdf(test::linkPdf()));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QPoint onLink = view.convertPointFromPage(QPointF(60, 352), 0).toPoint();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onLink);
    EXPECT_EQ(view.currentPageIndex(), 1);
    EXPECT_FALSE(view.canGoBack() && view.currentPageIndex() == 0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onLink);
    EXPECT_EQ(view.currentPageIndex(), 1); // the last page stays
    const QImage image = view.viewport()->grab().toImage();
    EXPECT_GT(view.overlayPaints, 0);
    EXPECT_EQ(image.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() / 2), QColor(Qt::black));
}

TEST_F(ViewFixture, TheCurrentHighlightIsDrawnInAStrongerColourThanTheOthers)
{
    const pdf::DocumentPtr document = test::openPdf(test::textPdf(1));
    show(document);
    view.setScaleFactor(1.0);
    ASSERT_TRUE(rendered());
    const pdf::PagePtr page = document->page(0);
    auto word = [&](const QString& text) {
        pdf::Selection selection = page->selection(int(page->text().indexOf(text)), int(text.size()));
        QColor yellow(255, 204, 0);
        yellow.setAlphaF(0.6f);
        selection.setColor(yellow);
        return selection;
    };
    const QList<pdf::Selection> hits{word(QStringLiteral("alpha")), word(QStringLiteral("gamma"))};
    auto rectOf = [&](int i) {
        return view.convertRectFromPage(hits[i].bounds(page), 0).toAlignedRect() & view.viewport()->rect();
    };
    // Orange: full red, green well below the plain hits' yellow, little blue; glyph pixels are dark and never count.
    auto orangePixels = [](const QImage& image, const QRect& rect) {
        int count = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 220 && c.green() > 130 && c.green() < 200 && c.blue() < 80;
            }
        return count;
    };
    auto yellowPixels = [](const QImage& image, const QRect& rect) {
        int count = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 220 && c.green() >= 210 && c.blue() < 140;
            }
        return count;
    };

    view.setHighlightedSelections(hits, 1);
    QImage image = grabbed();
    const int area = rectOf(0).width() * rectOf(0).height();
    ASSERT_GT(area, 20);
    EXPECT_GT(yellowPixels(image, rectOf(0)), area / 3);
    EXPECT_EQ(orangePixels(image, rectOf(0)), 0);
    EXPECT_GT(orangePixels(image, rectOf(1)), area / 3);

    view.setHighlightedSelections(hits, 0);
    image = grabbed();
    EXPECT_GT(orangePixels(image, rectOf(0)), area / 3);
    EXPECT_EQ(orangePixels(image, rectOf(1)), 0);

    view.clearHighlightedSelections();
    image = grabbed();
    EXPECT_EQ(orangePixels(image, rectOf(0)) + yellowPixels(image, rectOf(0)), 0);
}
