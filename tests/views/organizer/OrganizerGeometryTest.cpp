// The organizer's layout as a user meets it: cards in rows that stay inside the view and never touch,
// each card keeping its page's shape right over its number, and the pointer finding the card drawn under it.

#include "views/OrganizerLayout.h"
#include "views/PageCell.h"
#include "views/ThumbnailRenderer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vmk::views;

namespace {

struct Flow {
    OrganizerMetrics metrics;
    double itemWidth, viewWidth;
    int count;
    OrganizerFlowLayout layout;
};

// Grid and sidebar at item and view widths from the smallest to the largest, with full and partial rows.
std::vector<Flow> flows()
{
    std::vector<Flow> all;
    auto add = [&all](const OrganizerMetrics& m, double item, double view, int count) {
        Flow f{m, item, view, count, {}};
        f.layout.setItemSize(organizerItemSize(item));
        f.layout.setSpacing(m.minInteritemSpacing, m.minLineSpacing);
        f.layout.setInsets(m.insets);
        f.layout.setWidth(view);
        f.layout.setCount(count);
        all.push_back(f);
    };
    for (double item : {kMinItemWidth, 150.0, kMaxItemWidth})
        for (double view : {480.0, 899.0, 900.0, 1600.0})
            for (int count : {1, 7, 11})
                add(OrganizerMetrics::grid(), item, view, count);
    for (double view : {100.0, 200.0, 205.0, 400.0})
        add(OrganizerMetrics::sidebar(), sidebarItemWidth(view, 120), view, 5);
    return all;
}

} // namespace

TEST(OrganizerGeometry, CardsFlowInReadingOrderInsideTheViewWithoutTouching)
{
    for (const Flow& f : flows()) {
        SCOPED_TRACE(testing::Message() << "item " << f.itemWidth << " in view " << f.viewWidth << ", " << f.count);
        const OrganizerFlowLayout& l = f.layout;
        const QMarginsF in = f.metrics.insets;
        const double room = f.viewWidth - in.left() - in.right();
        const int n = l.columns();
        // As many columns as fit, and not one more (the sidebar's spacing leaves room for one).
        EXPECT_LE(n * f.itemWidth + (n - 1) * f.metrics.minInteritemSpacing, std::max(room, f.itemWidth));
        EXPECT_GT((n + 1) * f.itemWidth + n * f.metrics.minInteritemSpacing, room);
        for (int i = 0; i < f.count; ++i) {
            const QRectF r = l.itemRect(i);
            EXPECT_GE(r.left(), in.left()) << i;
            EXPECT_LE(r.right(), f.viewWidth - in.right()) << i;
            EXPECT_GE(r.top(), in.top()) << i;
            // The pointer finds the card anywhere on it, to its corners.
            for (const QPointF at : {r.center(), r.topLeft() + QPointF(1, 1), r.bottomRight() - QPointF(1, 1)})
                EXPECT_EQ(l.indexAt(at), i) << at.x() << "," << at.y();
            if (i == 0)
                continue;
            const QRectF before = l.itemRect(i - 1);
            if (i % n != 0) { // the same row, further right
                EXPECT_EQ(r.top(), before.top()) << i;
                EXPECT_GE(r.left() - before.right(), f.metrics.minInteritemSpacing - 1e-9) << i;
                EXPECT_EQ(l.indexAt(QPointF(before.right() + 1, r.center().y())), -1) << "gap before " << i;
            } else { // the next row, from the left again
                EXPECT_GE(r.top() - before.bottom(), f.metrics.minLineSpacing - 1e-9) << i;
                EXPECT_EQ(r.left(), l.itemRect(0).left()) << i;
                EXPECT_EQ(l.indexAt(QPointF(r.center().x(), r.top() - 1)), -1) << "gap above " << i;
            }
        }
        // A full row is spread across the view, a single card centred in it.
        const QRectF first = l.itemRect(0), lastOfRow = l.itemRect(std::min(n, f.count) - 1);
        if (f.count >= n) {
            EXPECT_NEAR(first.left(), f.viewWidth - lastOfRow.right(), 1e-6);
        }
        // The last row can be scrolled fully into view, with the bottom inset below it.
        EXPECT_NEAR(l.contentSize().height(), l.itemRect(f.count - 1).bottom() + in.bottom(), 1e-6);
        EXPECT_EQ(l.indexAt(QPointF(first.left() + 1, in.top() - 1)), -1);

        // What a band of the view shows is exactly the cards that reach into it.
        for (double y0 = 0.5; y0 < l.contentSize().height(); y0 += 37) {
            for (double y1 : {y0 + 20, y0 + 300}) {
                std::pair<int, int> meets{0, -1};
                for (int i = 0; i < f.count; ++i) {
                    if (l.itemRect(i).bottom() > y0 && l.itemRect(i).top() <= y1)
                        meets = {meets.second < 0 ? i : meets.first, i};
                }
                EXPECT_EQ(l.indexesBetween(y0, y1), meets) << y0 << "..." << y1;
            }
        }
    }
}

TEST(OrganizerGeometry, ADroppedPageLandsBesideTheCardUnderThePointerAndTheMarkShowsWhere)
{
    for (const Flow& f : flows()) {
        SCOPED_TRACE(testing::Message() << "item " << f.itemWidth << " in view " << f.viewWidth << ", " << f.count);
        const OrganizerFlowLayout& l = f.layout;
        const int n = l.columns();
        for (int i = 0; i < f.count; ++i) {
            const QRectF r = l.itemRect(i);
            const int rowEnd = std::min(f.count, (i / n + 1) * n);
            // Over a card's left part the page goes before it, never onto it; over its right quarter, after it.
            EXPECT_EQ(l.dropIndexAt(r.center()), i);
            EXPECT_EQ(l.dropIndexAt(QPointF(r.left() + 5, r.center().y())), i);
            EXPECT_EQ(l.dropIndexAt(QPointF(r.right() - 5, r.center().y())), i + 1);
            // Right of a row, or in the gap just below or above a card, it goes with that row.
            EXPECT_EQ(l.dropIndexAt(QPointF(f.viewWidth - 1, r.center().y())), rowEnd);
            EXPECT_EQ(l.dropIndexAt(QPointF(r.left() + 5, r.bottom() + 2)), i);
            EXPECT_EQ(l.dropIndexAt(QPointF(r.left() + 5, r.top() - 2)), i);
            // The mark stands in the gap before the card, as tall as it, touching no card.
            const QRectF mark = l.dropIndicatorRect(i);
            EXPECT_LT(mark.right(), r.left());
            EXPECT_GE(mark.left(), 0);
            EXPECT_EQ(mark.top(), r.top());
            EXPECT_EQ(mark.height(), r.height());
            if (i % n != 0) {
                EXPECT_GT(mark.left(), l.itemRect(i - 1).right());
            }
        }
        EXPECT_EQ(l.dropIndexAt(QPointF(0, 0)), 0);
        EXPECT_EQ(l.dropIndexAt(QPointF(f.viewWidth - 1, l.contentSize().height() + 5000)), f.count);
        EXPECT_GT(l.dropIndicatorRect(f.count).left(), l.itemRect(f.count - 1).right());
    }
    EXPECT_EQ(OrganizerFlowLayout().dropIndexAt(QPointF(10, 10)), 0);
}

TEST(PageCellLayout, EachCardKeepsItsPagesShapeCentredOverItsNumberAndBadgesOfARowStayInLine)
{
    for (double width : {kMinItemWidth, 150.0, kMaxItemWidth}) {
        const QSizeF item = organizerItemSize(width);
        std::vector<PageCellGeometry> cells;
        double widest = 0, tallest = 0;
        for (double aspect : {0.1, 0.25, 0.5, 0.77, 1.0, 1.5, 4.0}) {
            for (int number : {1, 88, 1234, 100000}) {
                SCOPED_TRACE(QStringLiteral("item %1, aspect %2, page %3").arg(width).arg(aspect).arg(number).toStdString());
                PageCell cell;
                cell.pageNumber = number;
                cell.placeholderAspect = aspect;
                const PageCellGeometry g = cell.geometry(item);
                const QRectF card = g.card;
                // Inside the item with room for its shadow, on whole points, centred across.
                EXPECT_TRUE(QRectF(QPointF(1, 1), item - QSizeF(2, 2)).contains(card));
                EXPECT_EQ(card, QRectF(card.toAlignedRect()));
                EXPECT_NEAR(card.center().x(), item.width() / 2, 1.0);
                // The page's proportions, give or take the whole points it was grown out to.
                EXPECT_LE(std::abs(card.width() - aspect * card.height()), 2 + 2 * aspect);
                // The number stands right under the card, turned pages included, centred and uncut.
                EXPECT_GE(g.badge.top(), card.bottom());
                EXPECT_LE(g.badge.top() - card.bottom(), 6);
                EXPECT_TRUE(QRectF(QPointF(), item).contains(g.badge));
                EXPECT_NEAR(g.badge.center().x(), item.width() / 2, 0.5);
                EXPECT_GE(g.badge.width(), g.badge.height()); // a pill, never squeezed
                EXPECT_TRUE(g.badge.contains(g.label));
                const double text = QFontMetricsF(PageCell::labelFont()).horizontalAdvance(QString::number(number));
                EXPECT_GE(g.label.width(), text + 8);
                widest = std::max(widest, card.width());
                tallest = std::max(tallest, card.height());
                cells.push_back(g);
            }
        }
        // Every card takes the whole width or the whole height there is, and that is most of the item.
        for (const PageCellGeometry& g : cells) {
            EXPECT_TRUE(g.card.width() >= widest - 2 || g.card.height() >= tallest - 2) << g.card.width() << "×" << g.card.height();
            EXPECT_EQ(g.card.bottom(), cells.front().card.bottom());
            EXPECT_EQ(g.badge.top(), cells.front().badge.top());
        }
        EXPECT_GE(widest, 0.85 * item.width());
        EXPECT_GE(tallest, 0.85 * cells.front().badge.top());
    }
    // A finished thumbnail's shape wins over the placeholder's.
    PageCell cell;
    cell.placeholderAspect = 1.0;
    cell.thumbnail = Thumbnail{QImage(200, 100, QImage::Format_RGB32), QSize(100, 50)};
    EXPECT_DOUBLE_EQ(cell.aspect(), 2.0);
}

TEST(PageCellLayout, HoverRaisesTheShadowALiftRaisesItMoreAndLeavingLowersIt)
{
    PageCell cell;
    int updates = 0;
    cell.setUpdateHandler([&] { ++updates; });
    const double restRadius = cell.shadowRadius(), restOpacity = cell.shadowOpacity();
    cell.setHovering(true);
    const double hoverRadius = cell.shadowRadius(), hoverOpacity = cell.shadowOpacity();
    EXPECT_GT(hoverRadius, restRadius);
    EXPECT_GT(hoverOpacity, restOpacity);
    cell.animateShadow(PageCell::kLiftRadius, PageCell::kLiftOpacity);
    EXPECT_GT(cell.shadowRadius(), hoverRadius);
    EXPECT_GT(cell.shadowOpacity(), hoverOpacity);
    cell.setHovering(false);
    EXPECT_EQ(cell.shadowRadius(), restRadius);
    EXPECT_EQ(cell.shadowOpacity(), restOpacity);
    EXPECT_GT(updates, 0);
    // The spring starts at rest, overshoots, and settles on its target.
    EXPECT_DOUBLE_EQ(defaultSpringValue(0), 0);
    EXPECT_GT(defaultSpringValue(0.35), 1.0);
    EXPECT_NEAR(defaultSpringValue(defaultSpringSettlingDuration()), 1.0, 0.002);
}

TEST(PageCellLayout, ACardShowsTheThumbnailItHoldsNowAtTheSizeItIsDrawn)
{
    // Cards keep what they drew from one paint to the next: a new thumbnail (a page edited) or a new size
    // (a zoom step) must not show the old picture.
    PageCell cell;
    auto hold = [&](QColor colour) {
        QImage picture(300, 390, QImage::Format_RGB32);
        picture.fill(colour);
        cell.thumbnail = Thumbnail{picture, picture.size() / 2};
    };
    auto paint = [&](QSize item) {
        QImage shot(item, QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::transparent);
        QPainter painter(&shot);
        cell.paint(painter, QRectF(QPointF(0, 0), item), QPalette());
        return shot;
    };
    const QSize small(150, 225), large(300, 420);
    hold(Qt::red);
    EXPECT_EQ(paint(small).pixelColor(cell.geometry(small).card.center().toPoint()), QColor(Qt::red));
    hold(Qt::blue);
    EXPECT_EQ(paint(small).pixelColor(cell.geometry(small).card.center().toPoint()), QColor(Qt::blue));
    // The picture fills the larger card to its edges.
    const QImage shot = paint(large);
    const QRect card = cell.geometry(large).card.toRect();
    for (const QPoint& inside : {card.topLeft() + QPoint(6, 6), card.bottomRight() - QPoint(6, 6)})
        EXPECT_EQ(shot.pixelColor(inside), QColor(Qt::blue));
}

TEST(ThumbnailSizes, TheBitmapIsSharpOnADoubleDensityScreenKeepsTheShapeAndStaysUnderTheCap)
{
    for (double width : {kMinItemWidth, 150.0, kMaxItemWidth}) {
        for (const QSizeF page : {QSizeF(612, 792), QSizeF(792, 612), QSizeF(612, 20), QSizeF(20000, 10000)}) {
            SCOPED_TRACE(QStringLiteral("item %1, page %2×%3").arg(width).arg(page.width()).arg(page.height()).toStdString());
            const QSize pixels = ThumbnailRenderer::pixelSize(page, ThumbnailRenderer::requestedScale(width, page));
            const double aspect = page.width() / page.height();
            EXPECT_NEAR(pixels.width(), aspect * pixels.height(), std::max(1.0, aspect));
            const QRectF card = PageCell::layoutCard(organizerItemSize(width), aspect, 10).card;
            const double longSide = std::max(pixels.width(), pixels.height());
            EXPECT_LE(longSide, ThumbnailRenderer::kMaxPixelSide);
            // Two pixels to the card's point, not many more: enough for a sharp card, little memory spent.
            EXPECT_GE(longSide, std::min(2 * std::max(card.width(), card.height()) - 2, ThumbnailRenderer::kMaxPixelSide));
            EXPECT_LE(longSide, 3.5 * std::max(card.width(), card.height()));
        }
    }
    // A huge page is drawn at the cap, and a page without height not at all.
    EXPECT_EQ(ThumbnailRenderer::pixelSize(QSizeF(20000, 10000), 1.0), QSize(6000, 3000));
    EXPECT_TRUE(ThumbnailRenderer::pixelSize(QSizeF(612, 0), 0.5).isEmpty());
}
