#include "platform/pdfview/PageLayout.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vmk::pdfview;

namespace {

constexpr DisplayMode kModes[] = {DisplayMode::SinglePage, DisplayMode::SinglePageContinuous, DisplayMode::TwoUp,
                                  DisplayMode::TwoUpContinuous};
constexpr int kRotations[] = {0, 90, 180, 270};

void expectNear(QPointF a, QPointF b, double tolerance = 1e-6)
{
    EXPECT_NEAR(a.x(), b.x(), tolerance);
    EXPECT_NEAR(a.y(), b.y(), tolerance);
}

// Pages of different sizes, the crop boxes away from the origin.
PageLayout makeLayout(DisplayMode mode, int rotation, int count = 5)
{
    std::vector<PageGeometry> pages;
    for (int i = 0; i < count; ++i)
        pages.push_back({QRectF(50 + i, 70, 300 + 10 * i, 400), rotation});
    PageLayout layout;
    layout.setPages(pages);
    layout.setDisplayMode(mode);
    layout.setViewportSize(QSizeF(500, 400));
    layout.setScale(1.5);
    return layout;
}

} // namespace

TEST(PageLayout, DisplayTransformPutsTheCropBoxUprightWithTheOriginAtTheLowerLeft)
{
    const QRectF crop(50, 70, 300, 400);
    const QPointF topLeft(50, 470), bottomLeft(50, 70), bottomRight(350, 70);
    // Turned clockwise: the page's top left ends at the display's top right, and so on around.
    struct Case {
        int rotation;
        QPointF topLeft, bottomLeft, bottomRight;
        QSizeF size;
    } cases[] = {
        {0, {0, 400}, {0, 0}, {300, 0}, {300, 400}},
        {90, {400, 300}, {0, 300}, {0, 0}, {400, 300}},
        {180, {300, 0}, {300, 400}, {0, 400}, {300, 400}},
        {270, {0, 0}, {400, 0}, {400, 300}, {400, 300}},
        {-90, {0, 0}, {400, 0}, {400, 300}, {400, 300}},
        {450, {400, 300}, {0, 300}, {0, 0}, {400, 300}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        const PageGeometry page{crop, c.rotation};
        const QTransform t = pageToDisplayTransform(page);
        expectNear(t.map(topLeft), c.topLeft);
        expectNear(t.map(bottomLeft), c.bottomLeft);
        expectNear(t.map(bottomRight), c.bottomRight);
        EXPECT_EQ(page.displaySize(), c.size);
    }
}

TEST(PageLayout, ConversionsRoundTripAtEveryRotationAndDisplayMode)
{
    for (DisplayMode mode : kModes) {
        for (int rotation : kRotations) {
            SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " rotation " << rotation);
            PageLayout layout = makeLayout(mode, rotation);
            layout.setShownRow(1);
            layout.setScroll(QPointF(37, 81));
            for (int page = 0; page < layout.pageCount(); ++page) {
                for (QPointF p : {QPointF(50, 70), QPointF(123.5, 301.25), QPointF(350 + page, 470)}) {
                    expectNear(layout.viewToPage(page, layout.pageToView(page, p)), p, 1e-6);
                }
                const QRectF r(80, 100, 40, 25);
                const QRectF back = layout.viewRectToPage(page, layout.pageRectToView(page, r));
                expectNear(back.topLeft(), r.topLeft());
                expectNear(back.bottomRight(), r.bottomRight());
                // The whole crop box covers exactly the page's rectangle in the view.
                const QRectF shown = layout.pageRectToView(page, layout.pages()[size_t(page)].cropBox);
                const QRectF expected = layout.pageRectInView(page);
                expectNear(shown.topLeft(), expected.topLeft());
                expectNear(shown.bottomRight(), expected.bottomRight());
            }
        }
    }
}

TEST(PageLayout, PageSpaceIsYUpAndRotationTurnsThePageClockwise)
{
    PageLayout upright = makeLayout(DisplayMode::SinglePageContinuous, 0);
    const QRectF r = upright.pageRectInView(0);
    // Page space top left (x0, y0 + height) is the view's top left of the page.
    expectNear(upright.pageToView(0, QPointF(50, 470)), r.topLeft());
    expectNear(upright.pageToView(0, QPointF(350, 70)), r.bottomRight());

    PageLayout turned = makeLayout(DisplayMode::SinglePageContinuous, 90);
    const QRectF t = turned.pageRectInView(0);
    EXPECT_GT(t.width(), t.height());
    expectNear(turned.pageToView(0, QPointF(50, 470)), t.topRight());
    expectNear(turned.pageToView(0, QPointF(50, 70)), t.topLeft());
}

TEST(PageLayout, ContinuousModesStackRowsWithPageBreaksAndTwoUpPairsMeetAtTheGutter)
{
    PageLayout single = makeLayout(DisplayMode::SinglePageContinuous, 0, 3);
    const double m = PageLayout::kPageBreakMargin;
    EXPECT_DOUBLE_EQ(single.pageRectInDocument(0).top(), m);
    EXPECT_DOUBLE_EQ(single.pageRectInDocument(1).top(), m + 400 + m);
    EXPECT_DOUBLE_EQ(single.documentSize().height(), 3 * 400 + 4 * m);
    EXPECT_DOUBLE_EQ(single.documentSize().width(), 320 + 2 * m); // the widest page
    // Narrower pages are centred.
    EXPECT_DOUBLE_EQ(single.pageRectInDocument(0).center().x(), single.pageRectInDocument(2).center().x());

    single.setPageBreaks(false);
    EXPECT_DOUBLE_EQ(single.pageRectInDocument(1).top(), 400);
    EXPECT_DOUBLE_EQ(single.documentSize().height(), 1200);

    PageLayout twoUp = makeLayout(DisplayMode::TwoUpContinuous, 0, 5);
    EXPECT_EQ(twoUp.rowCount(), 3);
    EXPECT_EQ(twoUp.rowOfPage(3), 1);
    EXPECT_EQ(twoUp.lastPageOfRow(2), 4);
    const QRectF left = twoUp.pageRectInDocument(2), right = twoUp.pageRectInDocument(3);
    EXPECT_DOUBLE_EQ(left.top(), right.top());
    EXPECT_DOUBLE_EQ(right.left() - left.right(), m);
    // Left pages are right-aligned to the gutter whatever their widths; the odd last page is on the left.
    EXPECT_DOUBLE_EQ(twoUp.pageRectInDocument(0).right(), left.right());
    EXPECT_DOUBLE_EQ(twoUp.pageRectInDocument(4).right(), left.right());
}

TEST(PageLayout, OnePageModesShowOnlyTheShownRow)
{
    for (DisplayMode mode : {DisplayMode::SinglePage, DisplayMode::TwoUp}) {
        PageLayout layout = makeLayout(mode, 0, 5);
        layout.setShownRow(1);
        const int first = layout.firstPageOfRow(1);
        EXPECT_TRUE(layout.isPageShown(first));
        EXPECT_FALSE(layout.isPageShown(0));
        const QPointF centre = layout.pageRectInView(first).center();
        EXPECT_EQ(layout.pageAt(centre, false), first);
        EXPECT_EQ(layout.pagesIn(QRectF(QPointF(0, 0), layout.viewportSize())).front(), first);
        EXPECT_DOUBLE_EQ(layout.documentSize().height(), 400 + 2 * PageLayout::kPageBreakMargin);
        layout.setShownRow(99); // clamped
        EXPECT_EQ(layout.shownRow(), layout.rowCount() - 1);
    }
}

TEST(PageLayout, PageUnderPointExactOrNearest)
{
    PageLayout layout = makeLayout(DisplayMode::SinglePageContinuous, 0, 3);
    layout.setScale(1.0);
    const QRectF first = layout.pageRectInView(0), second = layout.pageRectInView(1);
    EXPECT_EQ(layout.pageAt(first.center(), false), 0);
    EXPECT_EQ(layout.pageAt(second.topLeft() + QPointF(1, 1), false), 1);
    // In the page break between them: none exactly, the closer one as nearest.
    const QPointF gapNearSecond(first.center().x(), second.top() - 1);
    EXPECT_EQ(layout.pageAt(gapNearSecond, false), -1);
    EXPECT_EQ(layout.pageAt(gapNearSecond, true), 1);
    const QPointF gapNearFirst(first.center().x(), first.bottom() + 1);
    EXPECT_EQ(layout.pageAt(gapNearFirst, true), 0);
    // Beside the pages.
    EXPECT_EQ(layout.pageAt(QPointF(first.left() - 5, first.center().y()), false), -1);
    EXPECT_EQ(layout.pageAt(QPointF(first.left() - 5, first.center().y()), true), 0);

    PageLayout empty;
    EXPECT_EQ(empty.pageAt(QPointF(1, 1), true), -1);
}

TEST(PageLayout, FitScalesAccountForMarginsRotationAndInset)
{
    const double m = PageLayout::kPageBreakMargin;
    PageLayout layout = makeLayout(DisplayMode::SinglePageContinuous, 0, 3);
    EXPECT_DOUBLE_EQ(layout.fitWidthScale(), 500 / (320 + 2 * m));
    EXPECT_DOUBLE_EQ(layout.autoScale(), layout.fitWidthScale());

    layout.setDisplayMode(DisplayMode::SinglePage);
    layout.setShownRow(0);
    EXPECT_DOUBLE_EQ(layout.fitPageScale(), std::min(500 / (300 + 2 * m), 400 / (400 + 2 * m)));
    EXPECT_DOUBLE_EQ(layout.autoScale(), layout.fitPageScale());

    // A page turned a quarter fits by its displayed size.
    EXPECT_DOUBLE_EQ(layout.fitPageScale(0, 24), std::min((500 - 48) / 300.0, (400 - 48) / 400.0));
    PageLayout turned = makeLayout(DisplayMode::SinglePage, 90, 1);
    EXPECT_DOUBLE_EQ(turned.fitPageScale(0, 24), std::min((500 - 48) / 400.0, (400 - 48) / 300.0));
}

TEST(PageLayout, ScrollIsClampedAndSmallContentIsCentred)
{
    PageLayout layout = makeLayout(DisplayMode::SinglePageContinuous, 0, 3);
    layout.setScroll(QPointF(-20, 1e9));
    EXPECT_DOUBLE_EQ(layout.scroll().x(), 0);
    EXPECT_DOUBLE_EQ(layout.scroll().y(), layout.maxScroll().y());
    EXPECT_DOUBLE_EQ(layout.maxScroll().y(), layout.contentSize().height() - 400);

    layout.setScale(0.2); // now smaller than the viewport
    EXPECT_EQ(layout.scroll(), QPointF(0, 0));
    const QSizeF content = layout.contentSize();
    expectNear(layout.centringOffset(), QPointF((500 - content.width()) / 2, (400 - content.height()) / 2));
    expectNear(layout.documentToView(QPointF(0, 0)), layout.centringOffset());
}

TEST(PageLayout, MostVisibleRowFollowsTheScroll)
{
    PageLayout layout = makeLayout(DisplayMode::SinglePageContinuous, 0, 10);
    layout.setScale(1.0);
    EXPECT_EQ(layout.mostVisibleRow(), 0);
    layout.setScroll(layout.scrollToShow(layout.pageRectInDocument(4).topLeft()));
    EXPECT_EQ(layout.mostVisibleRow(), 4);
    layout.setScroll(layout.scroll() + QPointF(0, 300)); // mostly page 5 now
    EXPECT_EQ(layout.mostVisibleRow(), 5);
    layout.setScroll(QPointF(0, 1e9));
    EXPECT_EQ(layout.mostVisibleRow(), 9);
}

// Finding pages searches the rows near the point instead of walking every page: the answers are the
// walk's, in every mode, with pages of very different sizes, however far down a long document.
TEST(PageLayout, FindingPagesByRowAgreesWithLookingAtEveryPage)
{
    std::vector<PageGeometry> pages;
    for (int i = 0; i < 301; ++i)
        pages.push_back({QRectF(0, 0, i % 7 == 3 ? 900 : 200 + (i * 37) % 300, i % 5 == 1 ? 80 : 300 + (i * 53) % 400),
                         (i % 3) * 90});
    for (DisplayMode mode : kModes) {
        SCOPED_TRACE(int(mode));
        PageLayout layout;
        layout.setPages(pages);
        layout.setDisplayMode(mode);
        layout.setViewportSize(QSizeF(700, 500));
        layout.setScale(0.8);
        layout.setShownRow(40);
        for (double scrollY : {0.0, 12345.0, 1e9}) {
            layout.setScroll(QPointF(60, scrollY));
            auto walkAt = [&](QPointF p, bool nearest) {
                int best = -1;
                double bestDistance = 1e300;
                for (int i = 0; i < layout.pageCount(); ++i) {
                    if (!layout.isPageShown(i))
                        continue;
                    const QRectF r = layout.pageRectInView(i);
                    if (r.contains(p))
                        return i;
                    const double dx = std::max({r.left() - p.x(), 0.0, p.x() - r.right()});
                    const double dy = std::max({r.top() - p.y(), 0.0, p.y() - r.bottom()});
                    if (std::hypot(dx, dy) < bestDistance) {
                        bestDistance = std::hypot(dx, dy);
                        best = i;
                    }
                }
                return nearest ? best : -1;
            };
            for (int x = -300; x <= 1300; x += 97) {
                for (int y = -900; y <= 1400; y += 61) {
                    const QPointF p(x, y);
                    ASSERT_EQ(layout.pageAt(p, false), walkAt(p, false)) << x << "," << y << " scroll " << scrollY;
                    ASSERT_EQ(layout.pageAt(p, true), walkAt(p, true)) << x << "," << y << " scroll " << scrollY;
                }
            }
            for (const QRectF& r : {QRectF(0, 0, 700, 500), QRectF(-500, -2000, 3000, 5000), QRectF(300, 200, 1, 1)}) {
                std::vector<int> walked;
                for (int i = 0; i < layout.pageCount(); ++i)
                    if (layout.isPageShown(i) && layout.pageRectInView(i).intersects(r))
                        walked.push_back(i);
                EXPECT_EQ(layout.pagesIn(r), walked);
            }
        }
    }
}
