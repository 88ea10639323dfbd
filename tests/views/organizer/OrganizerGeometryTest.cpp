#include "views/OrganizerLayout.h"
#include "views/PageCell.h"
#include "views/ThumbnailRenderer.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

using namespace vmk::views;

TEST(OrganizerGeometry, ItemWidthRulesOfZoomAndSidebar)
{
    EXPECT_EQ(organizerItemSize(150), QSizeF(150, 225));
    // Pinching out from 300 by 0.5 stops at 340; pinching in from 100 by -0.5 stops at 90.
    EXPECT_DOUBLE_EQ(zoomedItemWidth(300, 1.5), 340);
    EXPECT_DOUBLE_EQ(zoomedItemWidth(100, 0.5), 90);
    EXPECT_DOUBLE_EQ(zoomedItemWidth(150, 1.25), 187.5);
    // The sidebar's items are its width less 40, only followed past 4 points.
    EXPECT_DOUBLE_EQ(sidebarItemWidth(200, 120), 160);
    EXPECT_DOUBLE_EQ(sidebarItemWidth(203, 160), 160);
    EXPECT_DOUBLE_EQ(sidebarItemWidth(205, 160), 165);
    EXPECT_DOUBLE_EQ(sidebarItemWidth(40, 120), 60);
    EXPECT_DOUBLE_EQ(sidebarItemWidth(900, 120), 220);
}

TEST(OrganizerGeometry, FlowLayoutPlacesRowsAndFindsItems)
{
    const OrganizerMetrics m = OrganizerMetrics::grid();
    OrganizerFlowLayout layout;
    layout.setItemSize(organizerItemSize(150));
    layout.setSpacing(m.minInteritemSpacing, m.minLineSpacing);
    layout.setInsets(m.insets);
    layout.setWidth(900);
    layout.setCount(11);
    // (900 − 60 + 20) ÷ 170 gives five columns, spread over the width.
    EXPECT_EQ(layout.columns(), 5);
    EXPECT_EQ(layout.rows(), 3);
    EXPECT_EQ(layout.itemRect(0), QRectF(30, 72, 150, 225));
    EXPECT_DOUBLE_EQ(layout.itemRect(4).right(), 870);
    EXPECT_DOUBLE_EQ(layout.itemRect(5).top(), 72 + 225 + 26);
    EXPECT_DOUBLE_EQ(layout.contentSize().height(), 72 + 3 * 225 + 2 * 26 + 80);
    EXPECT_EQ(layout.indexAt(layout.itemRect(7).center()), 7);
    EXPECT_EQ(layout.indexAt(QPointF(10, 10)), -1);
    const auto [first, last] = layout.indexesBetween(300, 330);
    EXPECT_EQ(first, 5); // the band meets the second row only
    EXPECT_EQ(last, 9);
}

TEST(OrganizerGeometry, DropPositionGoesBeforeTheCardUnderThePointer)
{
    OrganizerFlowLayout layout;
    layout.setItemSize(organizerItemSize(150));
    layout.setSpacing(20, 26);
    layout.setInsets(QMarginsF(30, 72, 30, 80));
    layout.setWidth(900);
    layout.setCount(7);
    const QRectF third = layout.itemRect(2);
    // Over the middle of a card: before it, never onto it.
    EXPECT_EQ(layout.dropIndexAt(third.center()), 2);
    EXPECT_EQ(layout.dropIndexAt(QPointF(third.left() + 5, third.center().y())), 2);
    // Over its right quarter: after it.
    EXPECT_EQ(layout.dropIndexAt(QPointF(third.right() - 5, third.center().y())), 3);
    // Right of the last card of the first row: after the row.
    EXPECT_EQ(layout.dropIndexAt(QPointF(899, third.center().y())), 5);
    // Below everything: the end.
    EXPECT_EQ(layout.dropIndexAt(QPointF(800, 5000)), 7);
    EXPECT_EQ(layout.dropIndexAt(QPointF(0, 0)), 0);
    OrganizerFlowLayout empty;
    EXPECT_EQ(empty.dropIndexAt(QPointF(10, 10)), 0);
}

TEST(OrganizerGeometry, SidebarShowsOneCentredItemPerRow)
{
    const OrganizerMetrics m = OrganizerMetrics::sidebar();
    OrganizerFlowLayout layout;
    layout.setItemSize(organizerItemSize(160));
    layout.setSpacing(m.minInteritemSpacing, m.minLineSpacing);
    layout.setInsets(m.insets);
    layout.setWidth(200);
    layout.setCount(3);
    EXPECT_EQ(layout.columns(), 1);
    EXPECT_DOUBLE_EQ(layout.itemRect(0).left(), 20);
    EXPECT_DOUBLE_EQ(layout.itemRect(1).top(), 4 + 238 + 10);
}

TEST(PageCellLayout, CardKeepsThePageProportionsInsideTheArea)
{
    // Letter size fills the 138 × 193 area's width.
    PageCellGeometry g = PageCell::layoutCard(QSizeF(150, 225), 0.77, 7);
    EXPECT_DOUBLE_EQ(g.card.left(), 6);
    EXPECT_DOUBLE_EQ(g.card.width(), 138);
    EXPECT_NEAR(g.card.height(), 138 / 0.77, 2.0); // grown outward to whole points
    // Landscape: as wide as the area, shorter, standing on its bottom, right over the number badge.
    g = PageCell::layoutCard(QSizeF(150, 225), 1.5, 7);
    EXPECT_DOUBLE_EQ(g.card.width(), 138);
    EXPECT_DOUBLE_EQ(g.card.bottom(), 6 + 193);
    EXPECT_DOUBLE_EQ(g.badge.top() - g.card.bottom(), 4);
    // Very tall: as high as the area, narrower, centred horizontally.
    g = PageCell::layoutCard(QSizeF(150, 225), 0.25, 7);
    EXPECT_DOUBLE_EQ(g.card.top(), 6);
    EXPECT_DOUBLE_EQ(g.card.height(), 193);
    EXPECT_NEAR(g.card.center().x(), 75, 1.0);
    // Expanded outward to whole points.
    EXPECT_EQ(g.card, g.card.toAlignedRect());
}

TEST(PageCellLayout, BadgeFitsThePageNumber)
{
    const QSizeF item(150, 225);
    const PageCellGeometry small = PageCell::layoutCard(item, 0.77, 7);
    EXPECT_DOUBLE_EQ(small.badge.width(), 26);
    EXPECT_EQ(small.badge, QRectF(62, 225 - 22, 26, 18));
    EXPECT_EQ(small.label, QRectF(62, 225 - 20, 26, 15));
    PageCell cell;
    cell.pageNumber = 1234;
    const double natural = QFontMetricsF(PageCell::labelFont()).horizontalAdvance(QStringLiteral("1234"));
    EXPECT_DOUBLE_EQ(cell.geometry(item).badge.width(), std::max(26.0, natural + 14));
    // Without a thumbnail the placeholder aspect shapes the card; a thumbnail's own aspect wins.
    cell.placeholderAspect = 1.0;
    EXPECT_DOUBLE_EQ(cell.aspect(), 1.0);
    cell.thumbnail = Thumbnail{QImage(200, 100, QImage::Format_RGB32), QSize(100, 50)};
    EXPECT_DOUBLE_EQ(cell.aspect(), 2.0);
}

TEST(PageCellLayout, HoverAndLiftSetTheShadowAtOnce)
{
    PageCell cell;
    int updates = 0;
    cell.setUpdateHandler([&] { ++updates; });
    cell.setHovering(true);
    EXPECT_DOUBLE_EQ(cell.shadowRadius(), 9);
    EXPECT_DOUBLE_EQ(cell.shadowOpacity(), 0.24);
    cell.animateShadow(PageCell::kLiftRadius, PageCell::kLiftOpacity);
    EXPECT_DOUBLE_EQ(cell.shadowRadius(), 14);
    cell.setHovering(false);
    EXPECT_DOUBLE_EQ(cell.shadowRadius(), 5);
    EXPECT_DOUBLE_EQ(cell.shadowOpacity(), 0.18);
    EXPECT_GT(updates, 0);
    // The spring starts at rest, overshoots, and settles on its target.
    EXPECT_DOUBLE_EQ(defaultSpringValue(0), 0);
    EXPECT_GT(defaultSpringValue(0.35), 1.0);
    EXPECT_NEAR(defaultSpringValue(defaultSpringSettlingDuration()), 1.0, 0.002);
}

TEST(ThumbnailSizes, ScaleAndBitmapFollowTheItemWidth)
{
    const QSizeF letter(612, 792);
    const double scale = ThumbnailRenderer::requestedScale(150, letter);
    EXPECT_NEAR(scale, 0.4924, 0.0001);
    const QSize pixels = ThumbnailRenderer::pixelSize(letter, scale);
    EXPECT_EQ(pixels, QSize(301, 390));
    EXPECT_EQ(ThumbnailRenderer::cost(pixels), 469560);
    // The largest items: the long side is 884 pixels and the 6000-pixel cap does not bind.
    EXPECT_EQ(ThumbnailRenderer::pixelSize(letter, ThumbnailRenderer::requestedScale(340, letter)).height(), 884);
    // A huge page hits the cap.
    const QSizeF poster(20000, 10000);
    EXPECT_EQ(ThumbnailRenderer::pixelSize(poster, 1.0), QSize(6000, 3000));
    EXPECT_TRUE(ThumbnailRenderer::pixelSize(QSizeF(612, 0), scale).isEmpty());
}
